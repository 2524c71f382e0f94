#pragma once
// The one write path to the main database: a named stored procedure run once
// with an ordered list of parameter records (or, for greetings on servers
// older than 4.0(5.1), the same columns written straight into the row).

#include "common/logging.h"
#include "platform/dbtypes.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace quillor {

class AppContext;

// One stored-procedure parameter.
class classProcParam {
public:
    QString strPropertyName;   // without the leading "@"; the column name on the direct path
    QVariant varPropertyValue; // "[dontset]" (any case): leave this parameter unset
    qint16 iPropertyType = 200; // 72 GUID, 200 variable text, 3 integer, 7 date
    bool bEmptyValue = false;  // send Null

    classProcParam() = default;
    classProcParam(QString name, QVariant value, qint16 type, bool empty = false)
        : strPropertyName(std::move(name)), varPropertyValue(std::move(value)), iPropertyType(type), bEmptyValue(empty)
    {
    }
};

// The destination marker that means "leave this column unchanged".
bool isDontSet(const QVariant &value);

// What became of a write: made, not made, or sent on a connection that went
// before its answer came, so that the server may have made it (in doubt). It
// is true only when made: a write in doubt is never taken for one made, nor
// told as one refused. Writers that know only made or not pass a bool.
class WriteOutcome {
public:
    WriteOutcome(bool written) : m_written(written) {}
    // The layer's answer to a write: a failure whose connection went after
    // the write was sent is in doubt.
    WriteOutcome(bool written, const platform::DbError &error)
        : m_written(written), m_inDoubt(!written && error.mayHaveRun), m_reason(m_inDoubt ? error.description : QString())
    {
    }
    explicit operator bool() const { return m_written; }
    bool inDoubt() const { return m_inDoubt; }
    // The driver's words for the lost connection of a write in doubt.
    const QString &reason() const { return m_reason; }

private:
    bool m_written = false;
    bool m_inDoubt = false;
    QString m_reason;
};

// A write the layer did not make: `report` shows why, unless it is in doubt,
// which auditWrite tells once.
template <typename Report> WriteOutcome unwritten(const platform::DbError &error, Report &&report)
{
    const WriteOutcome outcome(false, error);
    if (!outcome.inDoubt())
        report();
    return outcome;
}

// What a write in doubt is audited with ("the connection ... may have made it").
QString writeInDoubtText();
// The sentence it is told with, `reason` (the driver's words, if any) after it.
QString writeInDoubtMessage(const QString &reason);

// Runs the write and answers whether it was done. Nothing is sent when the
// list holds fewer than 2 records, and nothing is sent when any record cannot
// be set (a parameter the procedure does not have, a value that does not fit
// its type): the error is shown and the answer is False, so a write is never
// half done. A write in doubt is not shown here: auditWrite tells it, once.
// The caller writes the audit line.
WriteOutcome UpdateValue(AppContext &ctx, const QString &procedureName, const QList<classProcParam> &params,
                         bool directorySync = false, bool waitForSync = false);

// One audit line's fields, in LogAction's order of arguments.
struct AuditEntry {
    LogArg table;
    LogArg alias;
    LogArg parentTable;
    LogArg parentAlias;
    LogArg column;
};

// The end every write shares, whatever wrote: one audit line, UPDATE or
// FAILED_UPDATE, records `auditValue`. A write not made shows "Failed to
// update database"; a write in doubt shows instead that the server may have
// made it, its FAILED_UPDATE line says so too, and the context is told
// (AppContext::writeInDoubt), so the page shows what the server holds. True
// only when made, so a failure is never reported as done.
bool auditWrite(AppContext &ctx, const WriteOutcome &outcome, const AuditEntry &audit, const LogArg &auditValue);
// UpdateValue followed by auditWrite. True when written.
bool writeAndAudit(AppContext &ctx, const QString &procedure, const QList<classProcParam> &params,
                   const AuditEntry &audit, const LogArg &auditValue, bool directorySync = false);
// Shows that a write could not be done.
void showFailedToUpdate();

// A new GUID in registry form: braces, upper-case hexadecimal, 38 characters.
QString strNewGUID();

// True when the server reports that the directory synchronisation of `ticket` succeeded.
bool WaitForSyncToFinished(AppContext &ctx, const QString &ticket);
// The pause between two looks at the ticket (2000 ms); tests shorten it.
void setSyncPollIntervalMs(int ms);

} // namespace quillor
