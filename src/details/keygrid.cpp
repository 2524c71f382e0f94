#include "details/keygrid.h"

#include <QHeaderView>

namespace quillor {

namespace {
const QStringList kColumnKeys{QStringLiteral("Key"), QStringLiteral("Locked"), QStringLiteral("Action"),
                              QStringLiteral("ObjectID")};
constexpr int kLoadedRole = Qt::UserRole + 1;
} // namespace

KeyGridWidget::KeyGridWidget(QWidget *parent) : QTableWidget(kKeyCount, int(kColumnKeys.size()), parent)
{
    setHorizontalHeaderLabels(kColumnKeys);
    for (int c = 0; c < columnCount(); ++c)
        horizontalHeaderItem(c)->setData(Qt::UserRole, kColumnKeys[c]);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setColumnHidden(column(QStringLiteral("ObjectID")), true);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(column(QStringLiteral("Key")), QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(column(QStringLiteral("Locked")), QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(column(QStringLiteral("Action")), QHeaderView::Stretch);
    for (int row = 0; row < kKeyCount; ++row)
        for (int c = 0; c < columnCount(); ++c)
            setItem(row, c, new QTableWidgetItem);
    resetRows();
}

QString KeyGridWidget::keyText(int index)
{
    if (index >= 0 && index <= 9)
        return QString::number(index);
    if (index == 10)
        return QStringLiteral("*");
    if (index == 11)
        return QStringLiteral("#");
    return {};
}

int KeyGridWidget::rowOfKey(const QString &key)
{
    for (int i = 0; i < kKeyCount; ++i)
        if (keyText(i) == key)
            return i;
    return -1;
}

int KeyGridWidget::column(const QString &key) const
{
    for (int c = 0; c < columnCount(); ++c)
        if (horizontalHeaderItem(c)->data(Qt::UserRole).toString().compare(key, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QString KeyGridWidget::cellText(int row, const QString &columnKey) const
{
    const QTableWidgetItem *cell = item(row, column(columnKey));
    return cell ? cell->text() : QString();
}

bool KeyGridWidget::isLocked(int row) const
{
    const QTableWidgetItem *cell = item(row, column(QStringLiteral("Locked")));
    return cell && cell->checkState() == Qt::Checked;
}

void KeyGridWidget::setEntry(int row, bool locked, const QString &actionText, const QString &menuEntryObjectId)
{
    item(row, column(QStringLiteral("Key")))->setText(keyText(row));
    item(row, column(QStringLiteral("Locked")))->setCheckState(locked ? Qt::Checked : Qt::Unchecked);
    item(row, column(QStringLiteral("Action")))->setText(actionText);
    item(row, column(QStringLiteral("ObjectID")))->setText(menuEntryObjectId);
    for (int c = 0; c < columnCount(); ++c) {
        item(row, c)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item(row, c)->setData(kLoadedRole, true);
    }
}

void KeyGridWidget::resetRows()
{
    for (int row = 0; row < kKeyCount; ++row) {
        item(row, column(QStringLiteral("Key")))->setText(keyText(row));
        item(row, column(QStringLiteral("Locked")))->setCheckState(Qt::Unchecked);
        item(row, column(QStringLiteral("Action")))->setText(QString());
        item(row, column(QStringLiteral("ObjectID")))->setText(QString());
        for (int c = 0; c < columnCount(); ++c) {
            item(row, c)->setFlags(Qt::NoItemFlags);
            item(row, c)->setData(kLoadedRole, false);
        }
    }
}

bool KeyGridWidget::isRowLoaded(int row) const
{
    const QTableWidgetItem *cell = item(row, 0);
    return cell && cell->data(kLoadedRole).toBool();
}

} // namespace quillor
