#include "pickers/pickersearch.h"

#include "common/appcontext.h"

namespace quillor {

namespace {

struct KindSql {
    const char *base;
    const char *conditionJoin; // how the one condition joins the base
    const char *tail;
};

// Handlers owned by a subscriber (IsPrimary 1) are reached through the
// subscriber picker, so the call handler picker leaves them out; the GROUP
// BY lists a row that the views repeat only once.
const KindSql &kindSql(PickerKind kind)
{
    static const KindSql callHandler{
        "SELECT Alias, TextName,DtmfAccessId, CallHandlerObjectId FROM vw_CallHandler WHERE (IsPrimary<>1)", " AND ",
        " GROUP BY Alias, TextName, DtmfAccessId, CallHandlerObjectId ORDER BY Alias"};
    static const KindSql interviewHandler{
        "SELECT Alias, TextName, DtmfAccessId, InterviewHandlerObjectId FROM vw_InterviewHandler", " WHERE ",
        " ORDER BY Alias"};
    static const KindSql nameLookupHandler{
        "SELECT Alias, TextName,DtmfAccessId, NameLookupHandlerObjectId FROM vw_NameLookupHandler", " WHERE ",
        " GROUP BY Alias, TextName, DtmfAccessId, NameLookupHandlerObjectId ORDER BY Alias"};
    static const KindSql distributionList{
        "SELECT Alias, DisplayName,DtmfAccessId, SystemDListObjectId, DirectoryID FROM vw_DistributionList", " WHERE ",
        ""};
    static const KindSql subscriber{
        "SELECT vw_Subscriber.Alias, vw_Subscriber.DisplayName,vw_CallHandler.DtmfAccessId, "
        "vw_Subscriber.FirstName,vw_Subscriber.LastName , vw_CallHandler.CallHandlerObjectId, "
        "vw_Subscriber.SubscriberObjectID FROM vw_CallHandler INNER JOIN vw_Subscriber ON "
        "vw_CallHandler.CallHandlerObjectId = vw_Subscriber.CallHandlerObjectId WHERE "
        "(vw_Subscriber.SubscriberType IN (1,3))",
        " AND ",
        " GROUP BY vw_Subscriber.Alias, vw_Subscriber.DisplayName, vw_CallHandler.DtmfAccessId, "
        "vw_Subscriber.FirstName,vw_Subscriber.LastName , vw_CallHandler.CallHandlerObjectId, "
        "vw_Subscriber.SubscriberObjectID"};
    switch (kind) {
    case PickerKind::CallHandler: return callHandler;
    case PickerKind::InterviewHandler: return interviewHandler;
    case PickerKind::DistributionList: return distributionList;
    case PickerKind::NameLookupHandler: return nameLookupHandler;
    case PickerKind::Subscriber: break;
    }
    return subscriber;
}

QString conditionColumn(PickerKind kind, SearchBy by)
{
    if (kind == PickerKind::Subscriber) {
        switch (by) {
        case SearchBy::FirstName: return QStringLiteral("vw_Subscriber.FirstName");
        case SearchBy::LastName: return QStringLiteral("vw_Subscriber.LastName");
        case SearchBy::Alias: return QStringLiteral("vw_Subscriber.Alias");
        default: return QStringLiteral("vw_CallHandler.DTMFAccessID");
        }
    }
    if (by != SearchBy::DisplayName)
        return QStringLiteral("DTMFAccessID");
    return kind == PickerKind::DistributionList ? QStringLiteral("DisplayName") : QStringLiteral("TextName");
}

} // namespace

QString likePattern(const QString &text)
{
    QString pattern;
    pattern.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == u'*') {
            pattern += u'%';
            continue;
        }
        // "[" opens a set of characters on SQL Server.
        if (c == u'\\' || c == u'%' || c == u'_' || c == u'[')
            pattern += u'\\';
        pattern += c;
    }
    return pattern;
}

PickerQuery pickerQuery(PickerKind kind, SearchBy by, const QString &text)
{
    const KindSql &k = kindSql(kind);
    PickerQuery query;
    query.sql = QString::fromLatin1(k.base);
    if (!text.startsWith(u'*')) {
        const bool trim = kind != PickerKind::Subscriber && by == SearchBy::DisplayName;
        query.sql += QString::fromLatin1(k.conditionJoin) + u'(' + conditionColumn(kind, by)
                     + QStringLiteral(" LIKE ? ESCAPE '\\') ");
        query.params << likePattern(trim ? text.trimmed() : text);
    }
    query.sql += QString::fromLatin1(k.tail);
    return query;
}

platform::Recordset pickerSearch(AppContext &ctx, PickerKind kind, SearchBy by, const QString &text,
                                 platform::DbError *error)
{
    const PickerQuery query = pickerQuery(kind, by, text);
    return ctx.db().open(ctx.state().gConnectionString, query.sql, query.params, error);
}

QString domainOfAddress(const QString &smtpAddress)
{
    const qsizetype at = smtpAddress.indexOf(u'@');
    return at <= 0 ? QString() : smtpAddress.mid(at + 1);
}

bool distributionListDomain(AppContext &ctx, const QString &directoryId, QString *domain, platform::DbError *error)
{
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString,
                                           QStringLiteral("SELECT * FROM DistributionList WHERE DirectoryID=?"),
                                           {directoryId}, error);
    if (!rs.isOpen())
        return false;
    *domain = rs.RecordCount() == 1 ? domainOfAddress(rs.text(QStringLiteral("SMTPAddress"))) : QString();
    return true;
}

} // namespace quillor
