#include "details/ownerlookup.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"

#include <span>

namespace quillor {

qint16 TolvaDBFindSubscriberOrDLbyObjectID(AppContext &ctx, const QString &strObjectID, QString &strDisplayName)
{
    const auto report = [](int number, const QString &description) {
        reportError(number, description, QStringLiteral("TolvaDBFindSubscriberOrDLbyObjectID"), QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
    };
    struct Step {
        const char *sql;
        qint16 kind;
    };
    static const Step steps[] = {
        {"SELECT DisplayName FROM vw_Subscriber WHERE SubscriberObjectID = ?", OwnerSubscriber},
        {"SELECT DisplayName FROM vw_DistributionList WHERE SystemDListObjectID = ?", OwnerDistributionList},
        {"SELECT DisplayName FROM vw_ScopeDList WHERE ScopeDListObjectID = ?", OwnerDistributionList},
    };
    const QString id = normalizedObjectId(strObjectID);
    // A server that holds ObjectIDs as GUIDs refuses to compare them with any
    // other text (SQL Server: a conversion error): such a text names no owner.
    const bool asked = isGuidText(id) || !ctx.db().matchesObjectIdsByValue(ctx.state().gConnectionString);
    for (const Step &step : asked ? steps : std::span<const Step>{}) {
        platform::DbError err;
        platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, QString::fromLatin1(step.sql), {id}, &err);
        if (!rs.isOpen()) {
            report(err.number, err.description);
            continue;
        }
        if (rs.RecordCount() != 1)
            continue;
        rs.MoveFirst();
        if (rs.isNull(QStringLiteral("DisplayName")))
            report(94, QStringLiteral("Invalid use of Null"));
        else
            strDisplayName = rs.text(QStringLiteral("DisplayName"));
        return step.kind;
    }
    strDisplayName = QStringLiteral("Invalid Link");
    return OwnerInvalidLink;
}

} // namespace quillor
