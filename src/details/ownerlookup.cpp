#include "details/ownerlookup.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"

#include <optional>

namespace quillor {

namespace {

struct Step {
    const char *view;
    const char *key;
    qint16 kind;
};
// Tried in this order: the first that holds exactly one row of the ObjectID names it.
constexpr Step kSteps[] = {
    {"vw_Subscriber", "SubscriberObjectID", OwnerSubscriber},
    {"vw_DistributionList", "SystemDListObjectID", OwnerDistributionList},
    {"vw_ScopeDList", "ScopeDListObjectID", OwnerDistributionList},
};

void report(int number, const QString &description)
{
    reportError(number, description, QStringLiteral("TolvaDBFindSubscriberOrDLbyObjectID"), QStringLiteral("Form"),
                QStringLiteral("frmMain"));
}

// The kind of the step that found the ObjectID, with its name; nullopt when
// that step found nothing. A Null name is reported and leaves the name as it was.
std::optional<qint16> found(const Step &step, int rows, const QVariant &name, QString &strDisplayName)
{
    if (rows != 1)
        return std::nullopt;
    if (name.isNull())
        report(94, QStringLiteral("Invalid use of Null"));
    else
        strDisplayName = name.toString();
    return step.kind;
}

} // namespace

qint16 TolvaDBFindSubscriberOrDLbyObjectID(AppContext &ctx, const QString &strObjectID, QString &strDisplayName)
{
    const QString id = normalizedObjectId(strObjectID);
    const QString &connection = ctx.state().gConnectionString;
    // A server that holds ObjectIDs as GUIDs refuses to compare them with any
    // other text (SQL Server: a conversion error): such a text names no owner.
    if (!isGuidText(id) && ctx.db().matchesObjectIdsByValue(connection)) {
        strDisplayName = QStringLiteral("Invalid Link");
        return OwnerInvalidLink;
    }
    // The three views asked at once: each waits for the server no longer than one.
    QStringList parts;
    for (int i = 0; i < int(std::size(kSteps)); ++i)
        parts << QStringLiteral("SELECT %1 AS Step, DisplayName FROM %2 WHERE %3 = ?")
                     .arg(i)
                     .arg(QLatin1String(kSteps[i].view), QLatin1String(kSteps[i].key));
    int rows[std::size(kSteps)] = {};
    QVariant names[std::size(kSteps)];
    if (ctx.db().forEachRow(connection, parts.join(QStringLiteral(" UNION ALL ")), {id, id, id},
                            [&](const QVariantList &row) {
                                const int step = row[0].toInt();
                                if (step >= 0 && step < int(std::size(kSteps)) && ++rows[step] == 1)
                                    names[step] = row[1];
                            })) {
        for (int i = 0; i < int(std::size(kSteps)); ++i)
            if (const auto kind = found(kSteps[i], rows[i], names[i], strDisplayName))
                return *kind;
        strDisplayName = QStringLiteral("Invalid Link");
        return OwnerInvalidLink;
    }
    // One of the views could not be read: each is asked on its own, and a
    // failed one is reported and passed over.
    for (const Step &step : kSteps) {
        platform::DbError err;
        platform::Recordset rs = ctx.db().open(
            connection, QStringLiteral("SELECT DisplayName FROM %1 WHERE %2 = ?").arg(QLatin1String(step.view), QLatin1String(step.key)),
            {id}, &err);
        if (!rs.isOpen()) {
            report(err.number, err.description);
            continue;
        }
        QVariant name;
        if (rs.RecordCount() == 1) {
            rs.MoveFirst();
            if (!rs.isNull(QStringLiteral("DisplayName")))
                name = rs.text(QStringLiteral("DisplayName"));
        }
        if (const auto kind = found(step, rs.RecordCount(), name, strDisplayName))
            return *kind;
    }
    strDisplayName = QStringLiteral("Invalid Link");
    return OwnerInvalidLink;
}

} // namespace quillor
