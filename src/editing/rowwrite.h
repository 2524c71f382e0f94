#pragma once
// The writes that change a row of a table itself instead of calling a
// procedure (an interview handler's owner, a name lookup handler's play-all
// switch). Like every write, each ends in one audit line, UPDATE or
// FAILED_UPDATE, and a failure is shown once.

#include "editing/editinghost.h"

namespace quillor {

// The row of the shown object in `table`, keyed by `keyColumn`, opened for
// update. A failure to read it is reported as the error of `procedure`.
platform::Recordset openShownRow(EditingHost &host, const QString &table, const QString &keyColumn,
                                 const QString &procedure);

// Saves the row (its fields already set) and appends the audit line. A
// refused update shows its reason, as the error of `procedure`, and "Failed to
// update database"; one in doubt ends as auditWrite ends it. True when written.
bool updateRowAndAudit(EditingHost &host, platform::Recordset &rs, const AuditEntry &audit, const QString &auditValue,
                       const QString &procedure);

} // namespace quillor
