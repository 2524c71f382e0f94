#include "details/keygrid.h"

#include "details/pagebuild.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillor {

namespace {
const QStringList kColumnKeys{QStringLiteral("Key"), QStringLiteral("Locked"), QStringLiteral("Action"),
                              QStringLiteral("ObjectID")};
constexpr int kKeyCount = KeyGridWidget::kLastKeyRow - KeyGridWidget::kFirstKeyRow + 1;
constexpr int kLoadedRole = Qt::UserRole + 1;

// The table's own row of a key row; -1 outside the key rows.
int tableRow(int row) { return row >= KeyGridWidget::kFirstKeyRow && row <= KeyGridWidget::kLastKeyRow ? row - 1 : -1; }
} // namespace

KeyGridWidget::KeyGridWidget(QWidget *parent) : QWidget(parent), m_table(new QTableWidget(kKeyCount, 4, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    setFocusProxy(m_table);

    setKeyedColumns(m_table, kColumnKeys, kColumnKeys);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    // A row is one line high: a wrapped action would break before a long
    // destination's name and elide all of it. On one line it ends elided.
    m_table->setWordWrap(false);
    m_table->setColumnHidden(keyedColumn(m_table, QStringLiteral("ObjectID")), true);
    QHeaderView *header = m_table->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(keyedColumn(m_table, QStringLiteral("Key")), QHeaderView::ResizeToContents);
    header->setSectionResizeMode(keyedColumn(m_table, QStringLiteral("Locked")), QHeaderView::ResizeToContents);
    header->setSectionResizeMode(keyedColumn(m_table, QStringLiteral("Action")), QHeaderView::Stretch);
    for (int r = 0; r < kKeyCount; ++r)
        for (int c = 0; c < m_table->columnCount(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem);
    resetRows();

    // Rows without an entry cannot be selected; their presses are reported
    // from the event filter, so the opener can say the entry is missing.
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int r, int) {
        if (isRowLoaded(r + 1))
            emit keyDoubleClicked(r + 1);
    });
    m_table->viewport()->installEventFilter(this);
}

QString KeyGridWidget::keyOfRow(int row)
{
    const int index = tableRow(row);
    if (index < 0)
        return {};
    if (index <= 9)
        return QString::number(index);
    return index == 10 ? QStringLiteral("*") : QStringLiteral("#");
}

int KeyGridWidget::rowOfKey(const QString &key)
{
    for (int row = kFirstKeyRow; row <= kLastKeyRow; ++row)
        if (keyOfRow(row) == key)
            return row;
    return 0;
}

QString KeyGridWidget::cellText(int row, const QString &columnKey) const
{
    const QTableWidgetItem *cell = m_table->item(tableRow(row), keyedColumn(m_table, columnKey));
    return cell ? cell->text() : QString();
}

QString KeyGridWidget::menuEntryObjectId(int row) const { return cellText(row, QStringLiteral("ObjectID")); }

bool KeyGridWidget::isLocked(int row) const
{
    const QTableWidgetItem *cell = m_table->item(tableRow(row), keyedColumn(m_table, QStringLiteral("Locked")));
    return cell && cell->checkState() == Qt::Checked;
}

bool KeyGridWidget::isRowLoaded(int row) const
{
    const QTableWidgetItem *cell = m_table->item(tableRow(row), 0);
    return cell && cell->data(kLoadedRole).toBool();
}

bool KeyGridWidget::isColumnShown(const QString &columnKey) const
{
    const int column = keyedColumn(m_table, columnKey);
    return column >= 0 && !m_table->isColumnHidden(column);
}

int KeyGridWidget::currentRow() const
{
    const int r = m_table->currentRow();
    return r >= 0 && m_table->item(r, 0) && m_table->item(r, 0)->isSelected() ? r + 1 : 0;
}

void KeyGridWidget::setCurrentRow(int row)
{
    const int r = tableRow(row);
    if (r < 0)
        m_table->clearSelection();
    else
        m_table->setCurrentCell(r, keyedColumn(m_table, QStringLiteral("Action")));
}

void KeyGridWidget::setEntry(int row, bool locked, const QString &actionText, const QString &menuEntryObjectId)
{
    const int r = tableRow(row);
    if (r < 0)
        return;
    m_table->item(r, keyedColumn(m_table, QStringLiteral("Key")))->setText(keyOfRow(row));
    m_table->item(r, keyedColumn(m_table, QStringLiteral("Locked")))->setCheckState(locked ? Qt::Checked : Qt::Unchecked);
    m_table->item(r, keyedColumn(m_table, QStringLiteral("Action")))->setText(actionText);
    m_table->item(r, keyedColumn(m_table, QStringLiteral("ObjectID")))->setText(menuEntryObjectId);
    for (int c = 0; c < m_table->columnCount(); ++c) {
        m_table->item(r, c)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_table->item(r, c)->setData(kLoadedRole, true);
    }
}

void KeyGridWidget::resetRows()
{
    m_table->clearSelection();
    for (int row = kFirstKeyRow; row <= kLastKeyRow; ++row) {
        const int r = tableRow(row);
        m_table->item(r, keyedColumn(m_table, QStringLiteral("Key")))->setText(keyOfRow(row));
        m_table->item(r, keyedColumn(m_table, QStringLiteral("Locked")))->setCheckState(Qt::Unchecked);
        m_table->item(r, keyedColumn(m_table, QStringLiteral("Action")))->setText(QString());
        m_table->item(r, keyedColumn(m_table, QStringLiteral("ObjectID")))->setText(QString());
        for (int c = 0; c < m_table->columnCount(); ++c) {
            m_table->item(r, c)->setFlags(Qt::NoItemFlags);
            m_table->item(r, c)->setData(kLoadedRole, false);
        }
    }
}

bool KeyGridWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched != m_table->viewport()
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick))
        return QWidget::eventFilter(watched, event);
    const auto *press = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonPress && press->button() == Qt::RightButton) {
        const int r = m_table->rowAt(press->position().toPoint().y());
        if (r >= 0) {
            // Only a loaded row can be selected; the others are still reported.
            if (isRowLoaded(r + 1))
                setCurrentRow(r + 1);
            emit keyRightPressed(r + 1, press->globalPosition().toPoint());
        }
        return true;
    }
    if (type == QEvent::MouseButtonDblClick && press->button() == Qt::LeftButton) {
        // The table ignores a double-click on a row it cannot select.
        const int r = m_table->rowAt(press->position().toPoint().y());
        if (r >= 0 && !isRowLoaded(r + 1)) {
            emit keyDoubleClicked(r + 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillor
