#pragma once
// The view of an OutlineModel: a tree view that keeps its open and closed rows
// in step with the model in both directions, stops painting while the model's
// redraw is off, and reports the row under the mouse. Only Left and Right
// close and open rows from the keyboard, and a right click selects nothing
// by itself: whoever handles it decides.

#include <QTreeView>

namespace quillor::platform {

class OutlineModel;
class OutlineNode;

class OutlineTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit OutlineTreeView(QWidget *parent = nullptr);

    void setOutlineModel(OutlineModel *model);
    OutlineModel *outlineModel() const { return m_model; }

    OutlineNode *selectedNode() const;
    void selectNode(OutlineNode *node);
    // The row under the last mouse press; nullptr when it was below the rows.
    OutlineNode *mouseNode() const { return m_mouseNode; }

signals:
    // The selection moved to another row (also when the program moved it); not
    // emitted when no row is left current.
    void selectionMoved(quillor::platform::OutlineNode *node);
    // The right button was pressed over `node`; the selection is left as it was.
    void rightClicked(quillor::platform::OutlineNode *node, const QPoint &globalPos);
    void rowDoubleClicked(quillor::platform::OutlineNode *node);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void followExpansion(OutlineNode *node, bool expanded);
    void followOpenRows();
    bool isBelowClosedRow(const QModelIndex &index) const;

    OutlineModel *m_model = nullptr;
    OutlineNode *m_mouseNode = nullptr;
    bool m_syncing = false;
};

} // namespace quillor::platform
