#include "platform/outlineview.h"

#include "platform/outlinemodel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>

namespace quillor::platform {

OutlineTreeView::OutlineTreeView(QWidget *parent)
    : QTreeView(parent)
{
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);

    // The user opened a row (arrow, double click): the model decides, and its
    // beforeExpand handler may fill the row or refuse it. The row is shown
    // closed meanwhile: rows added under a row shown open make the view lay
    // out the whole tree again, rows added under a closed one cost nothing,
    // and opening it once they are there lays out only what it holds.
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (m_syncing || !m_model)
            return;
        OutlineNode *node = m_model->nodeOf(index);
        if (!node)
            return;
        const QPersistentModelIndex row(index);
        if (!node->isExpanded()) {
            const QScopedValueRollback guard(m_syncing, true);
            collapse(index);
        }
        // Once open, the model says so and the view follows (followExpansion).
        if (!m_model->setExpanded(node, true) && row.isValid()) {
            const QScopedValueRollback guard(m_syncing, true);
            collapse(row);
        }
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (m_syncing || !m_model)
            return;
        if (OutlineNode *node = m_model->nodeOf(index))
            m_model->setExpanded(node, false);
    });
}

void OutlineTreeView::setOutlineModel(OutlineModel *model)
{
    if (model == m_model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    m_mouseNode = nullptr;
    setModel(model);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    if (!model) {
        setUpdatesEnabled(true);
        return;
    }

    connect(model, &OutlineModel::expansionChanged, this, &OutlineTreeView::followExpansion);
    // While the program builds rows nothing is painted; the open state is still
    // followed, so the view is right the moment painting resumes. Nor is
    // anything painted during a bulk change, when the view's rows are stale
    // until the model's reset.
    connect(model, &OutlineModel::redrawChanged, this,
            [this](bool on) { setUpdatesEnabled(on && !(m_model && m_model->inBulkChange())); });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &parent, int first, int last) {
                if (!m_mouseNode || !m_model)
                    return;
                const OutlineNode *parentNode = m_model->nodeOf(parent);
                for (const OutlineNode *n = m_mouseNode; n; n = n->parent()) {
                    if (n->parent() == parentNode) {
                        if (n->indexInParent() >= first && n->indexInParent() <= last)
                            m_mouseNode = nullptr;
                        return;
                    }
                }
            });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_mouseNode = nullptr;
        setUpdatesEnabled(false);
    });
    // A reset forgets which rows were open: they are taken from the model again.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_model)
            return;
        followOpenRows();
        setUpdatesEnabled(m_model->redraw());
    });
    connect(model, &QObject::destroyed, this, [this] {
        m_model = nullptr;
        m_mouseNode = nullptr;
    });

    followOpenRows();
    setUpdatesEnabled(model->redraw() && !model->inBulkChange());
}

// The model's open state wins. Opening or closing one row lays out only the
// rows it shows or hides, however many rows the tree holds; while a layout of
// the whole tree is pending anyway, the view only records the state.
void OutlineTreeView::followExpansion(OutlineNode *node, bool expanded)
{
    if (!m_model)
        return;
    const QModelIndex index = m_model->indexOf(node);
    if (!index.isValid() || isExpanded(index) == expanded)
        return;
    const QScopedValueRollback guard(m_syncing, true);
    if (expanded)
        expand(index);
    else
        collapse(index);
}

// Every open row at once (after a reset): one layout of the whole tree
// afterwards instead of one per row.
void OutlineTreeView::followOpenRows()
{
    scheduleDelayedItemsLayout();
    for (OutlineNode *n = m_model->root(); n; n = m_model->nextInTree(n)) {
        if (n->isExpanded())
            followExpansion(n, true);
    }
}

// A row below a row shown closed is not laid out: there is nothing to
// repaint or to lay out when it changes. (The tree view would look for the
// row among all the rows it shows to find that out.)
bool OutlineTreeView::isBelowClosedRow(const QModelIndex &index) const
{
    const QModelIndex parent = index.parent();
    return parent.isValid() && !isExpanded(parent);
}

void OutlineTreeView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    if (isBelowClosedRow(topLeft))
        return;
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void OutlineTreeView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid() && isBelowClosedRow(parent)) {
        QAbstractItemView::rowsInserted(parent, start, end);
        return;
    }
    QTreeView::rowsInserted(parent, start, end);
}

OutlineNode *OutlineTreeView::selectedNode() const
{
    return m_model ? m_model->nodeOf(currentIndex()) : nullptr;
}

void OutlineTreeView::selectNode(OutlineNode *node)
{
    QItemSelectionModel *selection = selectionModel();
    // During a bulk change the view's rows are stale; the caller selects again after it.
    if (!m_model || !selection || m_model->inBulkChange())
        return;
    const QModelIndex index = m_model->indexOf(node);
    if (!index.isValid()) {
        selection->clear();
        return;
    }
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void OutlineTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    if (OutlineNode *node = m_model ? m_model->nodeOf(current) : nullptr)
        emit selectionMoved(node);
}

void OutlineTreeView::mousePressEvent(QMouseEvent *event)
{
    m_mouseNode = m_model ? m_model->nodeOf(indexAt(event->position().toPoint())) : nullptr;
    switch (event->button()) {
    case Qt::LeftButton:
        QTreeView::mousePressEvent(event);
        return;
    case Qt::RightButton:
        // Whether the row under the mouse becomes the selected one is the
        // handler's decision (some rows offer no menu and stay unselected).
        if (m_mouseNode)
            emit rightClicked(m_mouseNode, event->globalPosition().toPoint());
        event->accept();
        return;
    default:
        event->ignore();
        return;
    }
}

void OutlineTreeView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        // They close and open the selected row and nothing else: the
        // selection never wanders to a parent or a child.
        if (const QModelIndex current = currentIndex(); current.isValid() && m_model) {
            if (OutlineNode *node = m_model->nodeOf(current); node && node->childCount() > 0)
                m_model->setExpanded(node, event->key() == Qt::Key_Right);
        }
        event->accept();
        return;
    case Qt::Key_Asterisk:
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        // No other key opens or closes rows: "*" would open every row below the
        // current one, each through its own lazy expansion.
        event->accept();
        return;
    default:
        QTreeView::keyPressEvent(event);
        return;
    }
}

void OutlineTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Only the left button toggles rows; a quick second right click is another right click.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    const QPersistentModelIndex row(indexAt(event->position().toPoint()));
    m_mouseNode = m_model ? m_model->nodeOf(row) : nullptr;
    QTreeView::mouseDoubleClickEvent(event); // opens or closes the row, through the model
    if (OutlineNode *node = m_model ? m_model->nodeOf(row) : nullptr)
        emit rowDoubleClicked(node);
}

} // namespace quillor::platform
