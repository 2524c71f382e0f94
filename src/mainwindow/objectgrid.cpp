#include "mainwindow/objectgrid.h"

#include "common/appcontext.h"
#include "common/objectid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace quillor {

namespace {

// Kind by kind: the ObjectID for the pages and the tree, its node type, the
// ObjectID and type for the dependency report (a subscriber row is
// shown by its primary call handler but reported on as the subscriber).
constexpr GridKindInfo kKinds[] = {
    {3, 3, 3, 3, true},
    {7, 1, 6, 1, false},
    {3, 5, 3, 5, true},
    {3, 6, 3, 6, false},
};

} // namespace

const GridKindInfo *gridKindInfo(int kind)
{
    if (kind < 0 || kind >= int(std::size(kKinds)))
        return nullptr;
    return &kKinds[kind];
}

QStringList gridKindCaptions()
{
    return {QStringLiteral("Call Handlers"), QStringLiteral("Subscribers"), QStringLiteral("Interview Handlers"),
            QStringLiteral("Directory Handlers")};
}

QString gridQuery(int kind)
{
    switch (kind) {
    case GridCallHandlers:
        // Handlers owned by a subscriber or by a system distribution list; a
        // handler whose owner is gone is not listed.
        return QStringLiteral(
            "SELECT vw_CallHandler.TextName AS 'Display Name', vw_CallHAndler.DTMFAccessID AS Extension, "
            "vw_CallHandler.Alias, vw_CallHandler.CallhandlerObjectId,vw_Subscriber.DisplayName AS Owner FROM "
            "vw_Callhandler INNER JOIN vw_Subscriber ON vw_CallHandler.AdministratorObjectId=vw_Subscriber.SubscriberObjectID "
            "Where vw_CallHandler.AdministratorObjectIDType = 1 And vw_CallHandler.ISPrimary = 0 Union SELECT "
            "vw_CallHandler.TextName AS 'Display Name', vw_CallHAndler.DTMFAccessID AS Extension, vw_CallHandler.Alias, "
            "vw_CallHandler.CallhandlerObjectId, vw_DistributionList.DisplayName AS Owner  FROM vw_Callhandler INNER JOIN "
            "vw_DistributionList ON vw_CallHandler.AdministratorObjectId=vw_DistributionList.SystemDListOBjectID Where "
            "vw_CallHandler.AdministratorObjectIDType = 2 And vw_CallHandler.ISPrimary = 0");
    case GridSubscribers:
        return QStringLiteral(
            "SELECT vw_subscriber.DisplayName as 'Display Name', vw_callhandler.DTMFAccessID as Extension, "
            "vw_subscriber.Alias, vw_callhandler.alias as Junk, vw_subscriber.FirstName as 'First Name', "
            "vw_subscriber.LastName as 'Last Name', vw_subscriber.SubscriberObjectID, vw_callhandler.callHandlerObjectID "
            "FROM vw_Subscriber INNER JOIN vw_CallHandler ON vw_Subscriber.CallHandlerObjectID=vw_CallHandler.CallHandlerObjectID "
            "WHERE vw_Subscriber.SubscriberType IN (1,3) ORDER BY vw_Subscriber.Alias");
    case GridInterviewHandlers:
        return QStringLiteral(
            "SELECT TextName as 'Display Name', DTMFAccessID as Extension, Alias,  InterviewHandlerObjectID FROM "
            "vw_InterviewHandler ORDER BY Alias");
    case GridDirectoryHandlers:
        return QStringLiteral(
            "SELECT TextName as 'Display Name', DTMFAccessID as Extension, Alias,  NameLookupHandlerObjectID FROM "
            "vw_NameLookupHandler ORDER BY Alias");
    default: return {};
    }
}

ObjectGridModel::ObjectGridModel(QObject *parent) : QAbstractTableModel(parent) {}

bool ObjectGridModel::load(AppContext &ctx, int kind, platform::DbError *error)
{
    platform::DbError err;
    platform::Recordset rs;
    const QString sql = gridQuery(kind);
    if (sql.isEmpty())
        err = {platform::dberr::QueryFailed, QStringLiteral("No kind of object is chosen.")};
    else
        rs = ctx.db().open(ctx.state().gConnectionString, sql, {}, &err);
    beginResetModel();
    // A failed query leaves the grid empty rather than showing the rows of before.
    rsGridView = rs.isOpen() ? std::move(rs) : platform::Recordset{};
    m_kind = kind;
    endResetModel();
    if (error)
        *error = err;
    return rsGridView.isOpen();
}

void ObjectGridModel::clear()
{
    beginResetModel();
    rsGridView = {};
    endResetModel();
}

QString ObjectGridModel::text(int row, int column) const
{
    const QVariant v = rsGridView.value(row, column);
    return v.isNull() ? QString() : v.toString();
}

QString ObjectGridModel::objectId(int row) const
{
    const GridKindInfo *k = info();
    return k ? bracedObjectId(text(row, k->objectIdColumn)) : QString();
}

QString ObjectGridModel::reportObjectId(int row) const
{
    const GridKindInfo *k = info();
    return k ? bracedObjectId(text(row, k->reportIdColumn)) : QString();
}

int ObjectGridModel::rowOfObject(const QString &id) const
{
    const GridKindInfo *k = info();
    if (!k || id.isEmpty())
        return -1;
    const QString wanted = normalizedObjectId(id);
    for (int row = 0; row < rsGridView.RecordCount(); ++row) {
        if (normalizedObjectId(text(row, k->objectIdColumn)) == wanted)
            return row;
    }
    return -1;
}

int ObjectGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rsGridView.RecordCount();
}

int ObjectGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rsGridView.fieldCount();
}

QVariant ObjectGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return text(index.row(), index.column());
}

QVariant ObjectGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return rsGridView.fieldNames().value(section);
    return section + 1;
}

ObjectGridView::ObjectGridView(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Rows of one height, known without asking every row: a large server scrolls at once.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
}

void ObjectGridView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        emit rightPressed(rowAt(int(event->position().y())), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void ObjectGridView::contextMenuEvent(QContextMenuEvent *event)
{
    // The right press has already been answered.
    event->accept();
}

} // namespace quillor
