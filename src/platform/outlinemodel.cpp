#include "platform/outlinemodel.h"

#include <algorithm>

namespace quillor::platform {

namespace {

// The row after `node` in depth-first order without leaving the subtree of
// `top` (nullptr: the whole tree). Only climbs and steps over siblings, so a
// walk over a subtree costs what the subtree holds.
OutlineNode *nextWithin(const OutlineNode *node, const OutlineNode *top)
{
    if (OutlineNode *first = node->firstChild())
        return first;
    while (node && node != top) {
        if (OutlineNode *next = node->nextSibling())
            return next;
        node = node->parent();
    }
    return nullptr;
}

bool isWithin(const OutlineNode *node, const OutlineNode *top)
{
    for (; node; node = node->parent()) {
        if (node == top)
            return true;
    }
    return false;
}

} // namespace

void OutlineCells::set(int column, const QVariant &value)
{
    if (column < 0)
        return;
    if (!d)
        d.reset(new Data);
    std::vector<QVariant> &values = d->values; // a set shared with other rows is copied here
    if (size_t(column) >= values.size())
        values.resize(size_t(column) + 1);
    values[size_t(column)] = value;
}

OutlineNode *OutlineNode::nextSibling() const
{
    return m_parent ? m_parent->child(m_row + 1) : nullptr;
}

OutlineNode *OutlineNode::previousSibling() const
{
    return m_parent ? m_parent->child(m_row - 1) : nullptr;
}

OutlineModel::OutlineModel(QStringList hiddenColumns, QObject *parent)
    : QAbstractItemModel(parent)
    , m_keys(std::move(hiddenColumns))
{
}

OutlineModel::~OutlineModel()
{
    m_pending.clear(); // pending rows have no children below them but placeholders
    releaseSubtree(std::move(m_root));
}

// The nodes' own destructors would recurse as deep as the tree goes; taking the
// subtree apart through an explicit stack keeps the stack flat for any shape.
void OutlineModel::releaseSubtree(std::unique_ptr<OutlineNode> node)
{
    std::vector<std::unique_ptr<OutlineNode>> pending;
    if (node)
        pending.push_back(std::move(node));
    while (!pending.empty()) {
        std::unique_ptr<OutlineNode> current = std::move(pending.back());
        pending.pop_back();
        for (auto &child : current->m_children)
            pending.push_back(std::move(child));
    }
}

int OutlineModel::countSubtree(const OutlineNode *node) const
{
    int count = 0;
    for (const OutlineNode *n = node; n; n = nextWithin(n, node))
        ++count;
    return count;
}

// A node of another model (or none) would corrupt the counter and the indexes
// handed to views. The check climbs to the root; rows being appended in a
// scope stop at once, at the scope's row (checked when the scope began).
bool OutlineModel::owns(const OutlineNode *node) const
{
    if (!node || !m_root)
        return false;
    const OutlineNode *scope = m_appendParents.empty() ? nullptr : m_appendParents.back();
    for (const OutlineNode *n = node; n; n = n->m_parent) {
        if (n == m_root.get() || n == scope)
            return true;
    }
    return false;
}

bool OutlineModel::announced(const OutlineNode *node) const
{
    if (m_pending.empty())
        return true;
    for (const OutlineNode *n = node; n; n = n->m_parent) {
        if (n->m_pending)
            return false;
    }
    return true;
}

// --- rows

void OutlineModel::clear()
{
    m_appendParents.clear();
    m_pending.clear();
    if (!m_root)
        return;
    if (!m_bulk)
        beginResetModel();
    std::unique_ptr<OutlineNode> old = std::move(m_root);
    m_totalRows = 0;
    if (!m_bulk)
        endResetModel();
    releaseSubtree(std::move(old));
}

OutlineNode *OutlineModel::setRoot(const QString &mainText)
{
    m_appendParents.clear();
    m_pending.clear();
    if (!m_bulk)
        beginResetModel();
    std::unique_ptr<OutlineNode> old = std::move(m_root);
    m_root = std::make_unique<OutlineNode>();
    m_root->m_main = mainText;
    m_totalRows = 1;
    if (!m_bulk)
        endResetModel();
    releaseSubtree(std::move(old));
    return m_root.get();
}

OutlineNode *OutlineModel::insertChild(OutlineNode *parent, int position, const QString &mainText)
{
    if (!owns(parent))
        return nullptr;
    auto node = std::make_unique<OutlineNode>();
    node->m_parent = parent;
    node->m_main = mainText;
    node->m_level = parent->m_level + 1;
    OutlineNode *added = node.get();

    const bool inScope = !m_appendParents.empty() && parent == m_appendParents.back();
    if (inScope && (position < 0 || position >= parent->childCount() + int(m_pending.size()))) {
        node->m_row = parent->childCount() + int(m_pending.size());
        node->m_pending = true;
        m_pending.push_back(std::move(node));
        ++m_totalRows;
        return added;
    }
    if (inScope)
        announcePending();

    const int count = parent->childCount();
    if (position < 0 || position > count)
        position = count;
    node->m_row = position;
    const bool tell = !m_bulk && announced(parent);
    if (tell)
        beginInsertRows(indexOf(parent), position, position);
    auto &children = parent->m_children;
    children.insert(children.begin() + position, std::move(node));
    for (size_t i = size_t(position) + 1; i < children.size(); ++i)
        children[i]->m_row = int(i);
    ++m_totalRows;
    if (tell)
        endInsertRows();
    return added;
}

void OutlineModel::removeNode(OutlineNode *node)
{
    if (!owns(node))
        return;
    if (node == m_root.get()) {
        clear();
        return;
    }
    announcePending(); // rows waiting to be shown go the way of the rows around them
    forgetAppendScopes(node);
    OutlineNode *parent = node->m_parent;
    const int row = node->m_row;
    const int removed = countSubtree(node);

    const bool tell = !m_bulk && announced(parent);
    if (tell)
        beginRemoveRows(indexOf(parent), row, row);
    auto &children = parent->m_children;
    std::unique_ptr<OutlineNode> detached = std::move(children[size_t(row)]);
    children.erase(children.begin() + row);
    for (size_t i = size_t(row); i < children.size(); ++i)
        children[i]->m_row = int(i);
    m_totalRows -= removed;
    if (tell)
        endRemoveRows();
    // Freed only now: views may still look at the rows while they are told of the removal.
    releaseSubtree(std::move(detached));
}

void OutlineModel::removeChildren(OutlineNode *node)
{
    if (!node || node->m_children.empty())
        return;
    announcePending();
    if (!owns(node))
        return;
    for (const auto &child : node->m_children)
        forgetAppendScopes(child.get());
    int removed = 0;
    for (const auto &child : node->m_children)
        removed += countSubtree(child.get());

    const bool tell = !m_bulk && announced(node);
    if (tell)
        beginRemoveRows(indexOf(node), 0, node->childCount() - 1);
    std::vector<std::unique_ptr<OutlineNode>> detached;
    detached.swap(node->m_children);
    m_totalRows -= removed;
    if (tell)
        endRemoveRows();
    for (auto &child : detached)
        releaseSubtree(std::move(child));
}

OutlineNode *OutlineModel::nextInTree(const OutlineNode *node) const
{
    return node ? nextWithin(node, nullptr) : nullptr;
}

int OutlineModel::rowNumber(const OutlineNode *node) const
{
    if (!node || !m_root)
        return -1;
    // Each step up adds the parent itself and every subtree ahead of the row.
    int row = 0;
    const OutlineNode *n = node;
    while (const OutlineNode *parent = n->m_parent) {
        row += 1;
        for (int i = 0; i < n->m_row; ++i)
            row += countSubtree(parent->child(i));
        n = parent;
    }
    return n == m_root.get() ? row : -1;
}

OutlineNode *OutlineModel::nodeAtRow(int row) const
{
    if (row < 0 || row >= m_totalRows)
        return nullptr;
    OutlineNode *n = m_root.get();
    while (row > 0) {
        --row; // past `n` itself, into its children
        OutlineNode *next = nullptr;
        for (const auto &child : n->m_children) {
            const int size = countSubtree(child.get());
            if (row < size) {
                next = child.get();
                break;
            }
            row -= size;
        }
        if (!next)
            return nullptr;
        n = next;
    }
    return n;
}

// --- filling a row

void OutlineModel::beginAppendRows(OutlineNode *parent)
{
    announcePending(); // an enclosing scope's rows are shown before this one collects its own
    m_appendParents.push_back(owns(parent) ? parent : nullptr);
}

void OutlineModel::endAppendRows()
{
    if (m_appendParents.empty())
        return;
    announcePending();
    m_appendParents.pop_back();
}

void OutlineModel::announcePending()
{
    if (m_pending.empty())
        return;
    OutlineNode *parent = m_appendParents.back();
    const int first = parent->childCount();
    const int last = first + int(m_pending.size()) - 1;
    const bool tell = !m_bulk && announced(parent);
    if (tell)
        beginInsertRows(indexOf(parent), first, last);
    for (auto &node : m_pending) {
        node->m_pending = false;
        parent->m_children.push_back(std::move(node));
    }
    m_pending.clear();
    if (!tell)
        return;
    endInsertRows();
    // Rows opened while they were pending: views hear of it now.
    for (int i = first; i <= last; ++i) {
        const OutlineNode *top = parent->child(i);
        for (OutlineNode *n = parent->child(i); n; n = nextWithin(n, top)) {
            if (n->m_expanded)
                emit expansionChanged(n, true);
        }
    }
}

// Scopes whose row goes with a removed subtree end there: nothing more can be
// appended to that row, and its address may be reused by a new one.
void OutlineModel::forgetAppendScopes(const OutlineNode *removed)
{
    for (OutlineNode *&scope : m_appendParents) {
        if (scope && isWithin(scope, removed))
            scope = nullptr;
    }
}

// --- cells

void OutlineModel::changed(OutlineNode *node, int role)
{
    if (m_bulk || !announced(node))
        return;
    const QModelIndex index = indexOf(node);
    emit dataChanged(index, index, {role});
}

void OutlineModel::setMainText(OutlineNode *node, const QString &text)
{
    if (!node || node->m_main == text)
        return;
    node->m_main = text;
    changed(node, Qt::DisplayRole);
}

int OutlineModel::columnIndex(const QString &key) const
{
    // Callers nearly always spell the key as it was declared: try that first.
    for (int i = 0; i < m_keys.size(); ++i) {
        if (m_keys.at(i) == key)
            return i;
    }
    for (int i = 0; i < m_keys.size(); ++i) {
        if (m_keys.at(i).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant OutlineModel::cell(const OutlineNode *node, const QString &key) const
{
    return node ? node->m_cells.value(columnIndex(key)) : QVariant();
}

void OutlineModel::setCell(OutlineNode *node, const QString &key, const QVariant &value)
{
    const int column = columnIndex(key);
    if (!node || column < 0)
        return;
    // Most rows never get a cell; they carry no storage for them.
    if (node->m_cells.isEmpty() && !value.isValid())
        return;
    node->m_cells.set(column, value);
}

void OutlineModel::setCells(OutlineNode *node, const OutlineCells &cells)
{
    if (node)
        node->m_cells = cells;
}

QString OutlineModel::picture(const OutlineNode *node) const
{
    return node ? m_pictureKeys.at(node->m_picture) : QString();
}

void OutlineModel::setPicture(OutlineNode *node, const QString &key)
{
    if (!node)
        return;
    // A tree uses a handful of pictures; the list of keys stays short.
    qsizetype number = m_pictureKeys.indexOf(key);
    if (number < 0) {
        number = m_pictureKeys.size();
        m_pictureKeys.append(key);
    }
    if (node->m_picture == quint32(number))
        return;
    node->m_picture = quint32(number);
    changed(node, Qt::DecorationRole);
}

void OutlineModel::setPictureProvider(std::function<QIcon(const QString &)> provider)
{
    m_pictures = std::move(provider);
    m_icons.clear();
    // Every row's icon may differ now; a layout change makes views fetch them again
    // without naming each row.
    if (m_root && !m_bulk) {
        emit layoutAboutToBeChanged();
        emit layoutChanged();
    }
}

// --- open and closed

bool OutlineModel::setExpanded(OutlineNode *node, bool expanded)
{
    if (!node)
        return false;
    if (node->m_expanded == expanded)
        return expanded;
    if (expanded) {
        bool cancel = false;
        emit beforeExpand(node, cancel);
        if (cancel || node->m_expanded) // cancelled, or the handler opened it itself
            return node->m_expanded;
    }
    node->m_expanded = expanded;
    if (!m_bulk && announced(node))
        emit expansionChanged(node, expanded);
    return expanded;
}

void OutlineModel::showOutlineToLevel(int level)
{
    for (OutlineNode *n = m_root.get(); n; n = nextInTree(n)) {
        bool open = n->m_expanded;
        if (n->m_level >= level)
            open = false;
        else if (n->childCount() > 0)
            open = true;
        if (open != n->m_expanded) {
            n->m_expanded = open;
            if (!m_bulk)
                emit expansionChanged(n, open);
        }
    }
}

// --- redraw

void OutlineModel::setRedraw(bool on)
{
    if (m_redraw == on)
        return;
    m_redraw = on;
    emit redrawChanged(on);
}

// --- changes to a large part of the tree

void OutlineModel::beginBulkChange()
{
    if (m_bulk++ == 0)
        beginResetModel();
}

void OutlineModel::endBulkChange()
{
    if (m_bulk <= 0)
        return;
    if (--m_bulk == 0)
        endResetModel();
}

// --- QAbstractItemModel

QModelIndex OutlineModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_root ? createIndex(0, 0, m_root.get()) : QModelIndex();
    const OutlineNode *p = nodeOf(parent);
    OutlineNode *c = p && parent.column() == 0 ? p->child(row) : nullptr;
    return c ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex OutlineModel::parent(const QModelIndex &child) const
{
    const OutlineNode *node = nodeOf(child);
    return node ? indexOf(node->m_parent) : QModelIndex();
}

int OutlineModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    const OutlineNode *node = nodeOf(parent);
    return node && parent.column() == 0 ? node->childCount() : 0;
}

int OutlineModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant OutlineModel::data(const QModelIndex &index, int role) const
{
    const OutlineNode *node = nodeOf(index);
    if (!node || index.column() != 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->m_main;
    case Qt::DecorationRole: {
        if (!m_pictures)
            return {};
        if (m_icons.size() < size_t(m_pictureKeys.size()))
            m_icons.resize(size_t(m_pictureKeys.size()));
        std::optional<QIcon> &icon = m_icons[node->m_picture];
        if (!icon)
            icon = m_pictures(m_pictureKeys.at(node->m_picture));
        return icon->isNull() ? QVariant() : QVariant(*icon);
    }
    default:
        return {};
    }
}

bool OutlineModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QModelIndex OutlineModel::indexOf(const OutlineNode *node) const
{
    return node ? createIndex(node->m_row, 0, node) : QModelIndex();
}

OutlineNode *OutlineModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<OutlineNode *>(index.internalPointer());
}

} // namespace quillor::platform
