#include "common/module1.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/formatting.h"
#include "common/objectid.h"
#include "common/tolvaversion.h"
#include "platform/identity.h"
#include "platform/seams.h"

#include <QThread>

namespace quillor {

using platform::AdoType;
using platform::DbError;
using platform::ProcArg;

namespace {

const QString kProc = QStringLiteral("UpdateValue");
const QString kModule = QStringLiteral("Module1");
constexpr int kTypeMismatch = 13;
int gSyncPollMs = 2000;

void report(const DbError &e, const QString &procedure = kProc)
{
    reportError(e.number, e.description, procedure, QStringLiteral("Module"), kModule);
}

// Converts a value to the data type it is handed over under, as the server's
// data-access layer would; false when it does not fit.
bool convertForType(const QVariant &value, qint16 type, QVariant &out)
{
    const int meta = value.metaType().id();
    switch (type) {
    case 3: { // 32-bit integer
        if (meta == QMetaType::Bool) {
            out = value.toBool() ? -1 : 0;
            return true;
        }
        bool ok = false;
        const QString text = value.toString().trimmed();
        const qlonglong n = text.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
            return false;
        out = static_cast<int>(n);
        return true;
    }
    case 7: { // date
        if (meta == QMetaType::QDateTime) {
            out = value.toDateTime();
            return value.toDateTime().isValid();
        }
        if (meta == QMetaType::QDate) {
            out = value.toDate().startOfDay();
            return value.toDate().isValid();
        }
        const QString text = value.toString().trimmed();
        for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd", "M/d/yyyy H:mm:ss",
                                   "M/d/yyyy", "M/d/yy"}) {
            QDateTime dt = QDateTime::fromString(text, QString::fromLatin1(format));
            if (dt.isValid()) {
                // Two-digit years belong to the last century or this one, as dates are typed.
                if (QByteArrayView(format).endsWith("yy") && !QByteArrayView(format).endsWith("yyyy") && dt.date().year() < 1930)
                    dt = dt.addYears(100);
                out = dt;
                return true;
            }
        }
        return false;
    }
    case 72: { // GUID
        const QString text = value.toString();
        if (!isGuidText(text))
            return false;
        out = normalizedObjectId(text);
        return true;
    }
    case 200: // variable text
        if (meta == QMetaType::Bool)
            out = booleanText(value.toBool());
        else
            out = value.toString();
        return true;
    default:
        return false;
    }
}

QVariant typedNull(qint16 type)
{
    switch (type) {
    case 3: return QVariant(QMetaType::fromType<int>());
    case 7: return QVariant(QMetaType::fromType<QDateTime>());
    default: return QVariant(QMetaType::fromType<QString>());
    }
}

AdoType adoType(qint16 type)
{
    switch (type) {
    case 3: return AdoType::Integer;
    case 7: return AdoType::Date;
    case 72: return AdoType::Guid;
    default: return AdoType::VarChar;
    }
}

// Every record converted by its type before anything is sent, in list order:
// a Null for `bEmptyValue`, nothing for "[dontset]". nullopt, with the
// message shown, when a value does not fit its type.
std::optional<QList<ProcArg>> convertRecords(const QList<classProcParam> &params)
{
    QList<ProcArg> args;
    for (const classProcParam &p : params) {
        if (p.bEmptyValue) {
            args << ProcArg{p.strPropertyName, typedNull(p.iPropertyType), adoType(p.iPropertyType)};
            continue;
        }
        if (isDontSet(p.varPropertyValue))
            continue;
        QVariant converted;
        if (!convertForType(p.varPropertyValue, p.iPropertyType, converted)) {
            report({kTypeMismatch, QStringLiteral("Type mismatch: @%1 cannot take the value \"%2\"")
                                       .arg(p.strPropertyName, p.varPropertyValue.toString())});
            return std::nullopt;
        }
        args << ProcArg{p.strPropertyName, converted, adoType(p.iPropertyType)};
    }
    return args;
}

bool isMessagingRuleKey(const QString &name)
{
    return name.compare(QLatin1String("MessagingRuleObjectID"), Qt::CaseInsensitive) == 0;
}

// Older servers have no greeting procedure: the same columns go straight into
// the row, each value converted by its type as the procedure would take it.
WriteOutcome updateMessagingRuleDirectly(AppContext &ctx, const QList<classProcParam> &params)
{
    const auto key = std::find_if(params.cbegin(), params.cend(),
                                  [](const classProcParam &p) { return isMessagingRuleKey(p.strPropertyName); });
    if (key == params.cend()) {
        ctx.log().logMessage(
            QStringLiteral("(error) could not find objectId in list of parameters for updating the messaging rule."));
        return false;
    }
    const auto args = convertRecords(params);
    if (!args)
        return false;
    const auto keyArg = std::find_if(args->cbegin(), args->cend(), [](const ProcArg &a) { return isMessagingRuleKey(a.name); });
    const QString id = keyArg != args->cend() ? keyArg->value.toString() : key->varPropertyValue.toString();
    DbError err;
    platform::Recordset rs =
        ctx.db().openForUpdate(ctx.state().gConnectionString, QStringLiteral("MessagingRule"),
                               QStringLiteral("MessagingRuleObjectID"), QStringLiteral("MessagingRuleObjectID = ?"), {id}, &err);
    if (!rs.isOpen()) {
        report(err);
        return false;
    }
    if (rs.RecordCount() == 0) {
        ctx.log().logMessage(
            QStringLiteral("(error) could not find messaging rule for update purposes.  MessagingRuleObjectID=") + id);
        return false;
    }
    rs.MoveFirst();
    for (const ProcArg &a : *args) {
        if (isMessagingRuleKey(a.name))
            continue;
        if (!rs.setField(a.name, a.value)) {
            report({platform::dberr::ItemNotFound,
                    QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                                   "ordinal. (%1)")
                        .arg(a.name)});
            return false;
        }
    }
    if (!rs.Update(&err))
        return unwritten(err, [&] { report(err); });
    return true;
}

} // namespace

bool isDontSet(const QVariant &value)
{
    return value.metaType().id() == QMetaType::QString
           && value.toString().compare(QLatin1String("[dontset]"), Qt::CaseInsensitive) == 0;
}

WriteOutcome UpdateValue(AppContext &ctx, const QString &procedureName, const QList<classProcParam> &params,
                         bool directorySync, bool waitForSync)
{
    if (params.size() < 2)
        return false;

    if (procedureName.compare(QLatin1String("csp_MessagingRuleModify"), Qt::CaseInsensitive) == 0
        && !bIsVersionGreaterThanOrEqualTo(ctx, 4, 0, 5, 1))
        return updateMessagingRuleDirectly(ctx, params);

    // Every record is checked before anything is sent.
    auto converted = convertRecords(params);
    if (!converted)
        return false;
    QList<ProcArg> args = std::move(*converted);
    QString ticket;
    if (directorySync) {
        args << ProcArg{QStringLiteral("DirectorySync"), 1, AdoType::Integer};
        if (waitForSync) {
            ticket = strNewGUID();
            args << ProcArg{QStringLiteral("DirectorySyncTicket"), ticket, AdoType::Guid};
        }
    }

    DbError err;
    if (!ctx.db().callProcedure(ctx.state().gConnectionString, procedureName, args, &err))
        return unwritten(err, [&] { report(err); });
    if (directorySync && waitForSync)
        return WaitForSyncToFinished(ctx, ticket);
    return true;
}

QString strNewGUID() { return platform::newGuidText(); }

void setSyncPollIntervalMs(int ms) { gSyncPollMs = ms; }

bool WaitForSyncToFinished(AppContext &ctx, const QString &ticket)
{
    constexpr int kAttempts = 20;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QThread::msleep(static_cast<unsigned long>(gSyncPollMs));
        DbError err;
        platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString,
                                               QStringLiteral("SELECT * FROM vw_DirectorySyncTicket WHERE Ticket = ?"),
                                               {ticket}, &err);
        if (!rs.isOpen()) {
            report(err, QStringLiteral("WaitForSyncToFinished"));
            continue;
        }
        if (rs.RecordCount() == 0 || rs.isNull(QStringLiteral("result")))
            continue;
        const bool succeeded = rs.field(QStringLiteral("result")).toInt() == 0;
        DbError delErr;
        if (!ctx.db().callProcedure(ctx.state().gConnectionString, QStringLiteral("sp_DeleteDirectorySyncTicket"),
                                    {ProcArg{QStringLiteral("Ticket"), rs.field(QStringLiteral("Ticket")), AdoType::Guid}},
                                    &delErr))
            report(delErr, QStringLiteral("WaitForSyncToFinished"));
        return succeeded;
    }
    return false;
}

QString writeInDoubtText()
{
    return QStringLiteral("the connection to the database was lost after the change was sent: the server may have made it");
}

QString writeInDoubtMessage(const QString &reason)
{
    QString told = writeInDoubtText();
    told[0] = told[0].toUpper();
    return reason.isEmpty() ? told + u'.' : QStringLiteral("%1 (%2).").arg(told, reason);
}

bool auditWrite(AppContext &ctx, const WriteOutcome &outcome, const AuditEntry &audit, const LogArg &auditValue)
{
    const bool written(outcome);
    if (!outcome.inDoubt()) {
        if (!written)
            showFailedToUpdate();
        ctx.log().LogAction(written ? UPDATE : FAILED_UPDATE, audit.table, audit.alias, audit.parentTable,
                            audit.parentAlias, audit.column, auditValue);
        return written;
    }
    platform::msgBox(writeInDoubtMessage(outcome.reason()));
    // The value as the line would show it, and after it why the server may hold it.
    QString value = auditValue.passed() ? auditFieldText(auditValue.value()) : QString();
    if (auditValue.passed() && value.isEmpty())
        value = QStringLiteral("(NULL)");
    const QString why = QStringLiteral("(%1)").arg(writeInDoubtText());
    ctx.log().LogAction(FAILED_UPDATE, audit.table, audit.alias, audit.parentTable, audit.parentAlias, audit.column,
                        value.isEmpty() ? why : value + u' ' + why);
    ctx.writeInDoubt();
    return false;
}

bool writeAndAudit(AppContext &ctx, const QString &procedure, const QList<classProcParam> &params,
                   const AuditEntry &audit, const LogArg &auditValue, bool directorySync)
{
    return auditWrite(ctx, UpdateValue(ctx, procedure, params, directorySync, false), audit, auditValue);
}

void showFailedToUpdate() { platform::msgBox(QStringLiteral("Failed to update database")); }

} // namespace quillor
