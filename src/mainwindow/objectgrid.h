#pragma once
// The grid view: every object of one kind in a table. Which objects a kind
// lists, and which of its columns name the object for the detail pages, the
// tree and the dependency report, is decided here, apart from the widgets.

#include "platform/database.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

namespace quillor {

class AppContext;

// The entries of cmbShowObjectType, in list order.
enum GridKind : int { GridCallHandlers = 0, GridSubscribers = 1, GridInterviewHandlers = 2, GridDirectoryHandlers = 3 };

// What the window does with a row of one kind. Columns count from 0, the
// first field of the query.
struct GridKindInfo {
    int objectIdColumn;     // the ObjectID the detail pages and the tree take
    qint16 nodeType;        // the node type handed along with it
    int reportIdColumn;     // the ObjectID the dependency report takes
    qint16 reportObjectType;
    bool canCopy;           // whether "Create Copy" is offered
};

// nullptr for an index that is not a kind (no entry chosen).
const GridKindInfo *gridKindInfo(int kind);
// The captions of cmbShowObjectType.
QStringList gridKindCaptions();
// The query that lists a kind; "" for an index that is not a kind.
QString gridQuery(int kind);

// The rows of the kind last loaded, kept until the next load. Only the
// fields the query names are held; the view shows all of them.
class ObjectGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ObjectGridModel(QObject *parent = nullptr);

    // Lists `kind` afresh. On failure (or for an index that is not a kind) the
    // model is left empty and false is returned with `error` set.
    bool load(AppContext &ctx, int kind, platform::DbError *error = nullptr);
    // Empties the model.
    void clear();

    int kind() const { return m_kind; }
    const GridKindInfo *info() const { return gridKindInfo(m_kind); }
    // The text of a cell; "" for Null and outside the rows.
    QString text(int row, int column) const;
    // The row's ObjectIDs braced, as the links of the tree hold them, whatever
    // form the server read them back in: the page, its web address and a tree
    // rooted there are the same however the object was reached.
    QString objectId(int row) const;
    QString reportObjectId(int row) const;
    // The first row whose ObjectID (for the detail pages) is `objectId`, compared
    // without regard to braces and case; -1 when none.
    int rowOfObject(const QString &objectId) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    platform::Recordset rsGridView;
    int m_kind = -1;
};

// The grid's table. A right press reports the row under the pointer (-1
// below the rows) and leaves the current row to whoever handles it, so the
// popup acts on the row it was opened on.
class ObjectGridView : public QTableView {
    Q_OBJECT
public:
    explicit ObjectGridView(QWidget *parent = nullptr);

signals:
    void rightPressed(int row, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
};

} // namespace quillor
