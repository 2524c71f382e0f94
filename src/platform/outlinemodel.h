#pragma once
// The outline grid behind the routing tree: a tree of rows, each with an
// outline level, an open or closed state, a visible "Main" text, a picture
// key and hidden cells found by column key. It is testable without widgets;
// a QTreeView shows it (one visible column, "Main").
//
// Rows are nodes, not indexes: inserting or removing a subtree costs what the
// subtree holds, not what the whole tree holds, so trees of hundreds of
// thousands of rows stay quick. "Row 0" of the routing tree is root().
//
// A row is kept small, because a tree can hold a million of them: its text is
// an implicitly shared string, its picture a number standing for the key, and
// its hidden cells a set that rows showing the same thing share.

#include <QAbstractItemModel>
#include <QIcon>
#include <QSharedData>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillor::platform {

class OutlineModel;

// The hidden cells of a row, by column. Copies share one set until one of them
// is changed, so rows that carry the same values cost one set between them.
class OutlineCells {
public:
    // Invalid for a column that was never set.
    QVariant value(int column) const
    {
        return d && column >= 0 && size_t(column) < d->values.size() ? d->values[size_t(column)] : QVariant();
    }
    void set(int column, const QVariant &value);
    bool isEmpty() const { return !d; }

private:
    struct Data : QSharedData {
        std::vector<QVariant> values;
    };
    QSharedDataPointer<Data> d;
};

class OutlineNode {
public:
    OutlineNode *parent() const { return m_parent; }
    int childCount() const { return int(m_children.size()); }
    OutlineNode *child(int i) const { return i >= 0 && i < childCount() ? m_children[size_t(i)].get() : nullptr; }
    OutlineNode *firstChild() const { return child(0); }
    OutlineNode *lastChild() const { return child(childCount() - 1); }
    OutlineNode *nextSibling() const;
    OutlineNode *previousSibling() const;
    int indexInParent() const { return m_row; } // 0 for the root
    int level() const { return m_level; } // the root is level 0
    bool isExpanded() const { return m_expanded; }

private:
    friend class OutlineModel;
    OutlineNode *m_parent = nullptr;
    std::vector<std::unique_ptr<OutlineNode>> m_children;
    QString m_main;
    OutlineCells m_cells;
    int m_level = 0;
    int m_row = 0; // position among the parent's children, renumbered on insert and remove
    quint32 m_picture = 0; // the model's number for the picture key; 0 is no picture
    bool m_expanded = false;
    bool m_pending = false; // appended in an append scope and not announced yet
};

class OutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // `hiddenColumns`: the keys of the hidden cells every row carries
    // (for the routing tree "Conversation", "Action", "ObjectID", "NodeType", "ChildAlias").
    explicit OutlineModel(QStringList hiddenColumns, QObject *parent = nullptr);
    ~OutlineModel() override;

    // --- rows
    OutlineNode *root() const { return m_root.get(); }
    bool isEmpty() const { return !m_root; }
    int totalRows() const { return m_totalRows; } // every row, open or not (rows still pending included)
    void clear();
    // Replaces whatever the model holds by a single root row.
    OutlineNode *setRoot(const QString &mainText);
    // Inserts a row under `parent` at `position` (0 .. childCount; -1 appends).
    // New rows are closed.
    OutlineNode *insertChild(OutlineNode *parent, int position, const QString &mainText);
    OutlineNode *appendChild(OutlineNode *parent, const QString &mainText) { return insertChild(parent, -1, mainText); }
    // Removes the row with everything below it (the root empties the model).
    void removeNode(OutlineNode *node);
    void removeChildren(OutlineNode *node);

    // The row that follows `node` in depth-first order, open or not (nullptr after the last).
    OutlineNode *nextInTree(const OutlineNode *node) const;
    // The row's position in depth-first order over every row (the root is 0). Walks the tree.
    int rowNumber(const OutlineNode *node) const;
    // The node at a depth-first position; nullptr when out of range. Walks the tree.
    OutlineNode *nodeAtRow(int row) const;

    // --- filling a row
    // Rows appended under `parent` between these calls reach views as one
    // insertion at the end, complete with whatever they got meanwhile (text,
    // picture, cells, rows of their own): a view told of each new row and of
    // each change to it pays for every one. Until then they are not among
    // `parent`'s children (they have it as their parent already); any other
    // change to `parent`'s children announces them first. Scopes nest.
    void beginAppendRows(OutlineNode *parent);
    void endAppendRows();

    // --- cells
    QString mainText(const OutlineNode *node) const { return node ? node->m_main : QString(); }
    void setMainText(OutlineNode *node, const QString &text);
    int columnIndex(const QString &key) const; // -1 for an unknown key (matched without regard to case)
    QVariant cell(const OutlineNode *node, const QString &key) const;
    void setCell(OutlineNode *node, const QString &key, const QVariant &value);
    // All hidden cells of a row at once; rows given the same set share it.
    OutlineCells cells(const OutlineNode *node) const { return node ? node->m_cells : OutlineCells(); }
    void setCells(OutlineNode *node, const OutlineCells &cells);
    QString picture(const OutlineNode *node) const;
    void setPicture(OutlineNode *node, const QString &key);
    // Turns picture keys into icons for the view; each key is asked for once.
    void setPictureProvider(std::function<QIcon(const QString &)> provider);

    // --- open and closed
    // Opening a row first emits beforeExpand, whose handler may cancel it (and
    // may change the row's children meanwhile, but not remove the row itself).
    // Answers whether the row is open now.
    bool setExpanded(OutlineNode *node, bool expanded);
    // Shows the outline down to `level`: rows above that level that have
    // children are opened, rows at that level and below are closed; no
    // beforeExpand is emitted (showOutlineToLevel(1): the root open, its links closed).
    void showOutlineToLevel(int level);

    // --- redraw
    // While redraw is off the tree is being built: views stop painting and the
    // tree's events take the tree as busy.
    void setRedraw(bool on);
    bool redraw() const { return m_redraw; }

    // --- changes to a large part of the tree
    // Between begin and end, views are told nothing row by row: they get one
    // reset at the end and take every row's open state from the model then.
    // Telling a view of each row costs more than the rows themselves once it
    // holds many open rows (each insertion walks all of its kept indexes).
    // Calls nest; beforeExpand is still emitted.
    void beginBulkChange();
    void endBulkChange();
    bool inBulkChange() const { return m_bulk > 0; }

    // --- QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QModelIndex indexOf(const OutlineNode *node) const;
    OutlineNode *nodeOf(const QModelIndex &index) const;

signals:
    // Emitted before a closed row opens; set `cancel` to keep it closed.
    void beforeExpand(quillor::platform::OutlineNode *node, bool &cancel);
    // A row was opened or closed (by setExpanded or showOutlineToLevel); views follow it.
    void expansionChanged(quillor::platform::OutlineNode *node, bool expanded);
    void redrawChanged(bool on);

private:
    bool owns(const OutlineNode *node) const;
    // Whether views know the row: it is neither pending nor below a pending row.
    bool announced(const OutlineNode *node) const;
    void announcePending();
    void forgetAppendScopes(const OutlineNode *removed);
    void changed(OutlineNode *node, int role);
    int countSubtree(const OutlineNode *node) const;
    static void releaseSubtree(std::unique_ptr<OutlineNode> node);
    QStringList m_keys;
    std::unique_ptr<OutlineNode> m_root;
    int m_totalRows = 0;
    bool m_redraw = true;
    int m_bulk = 0;
    std::function<QIcon(const QString &)> m_pictures;
    QStringList m_pictureKeys{QString()}; // by the rows' picture numbers
    mutable std::vector<std::optional<QIcon>> m_icons; // by picture number, made when first shown
    std::vector<OutlineNode *> m_appendParents; // the open append scopes, innermost last
    std::vector<std::unique_ptr<OutlineNode>> m_pending; // rows appended in the innermost scope
};

} // namespace quillor::platform
