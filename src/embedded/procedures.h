#pragma once
// The stand-in server's stored procedures over SQLite. Each procedure has the
// parameter list the real server declares; a call names only the parameters it
// sets, and a modify procedure changes only those columns. Values are converted
// the way the real server converts them, and a failure of any kind leaves the
// database as it was.

#include "platform/database.h"

#include <QList>
#include <QString>
#include <optional>

namespace quillor::embedded {

// Error numbers the stand-in reports beyond the platform's own, numbered as the
// real server numbers them.
namespace procerr {
constexpr int SyntaxError = 102;        // a batch that cannot be parsed
constexpr int MissingParameter = 201;   // a required parameter was not supplied
constexpr int NotAParameter = 8145;     // a name the procedure does not declare
constexpr int DuplicateKey = 2627;      // an alias that is already taken
} // namespace procerr

// A batch such as "csp_CallHandlerCreate @Alias = N'sales', @EditMsg = -1" taken
// apart: quoted values become text (with '' turned into '), bare values stay
// text as written ("-1", "1033"), a bare NULL becomes a Null value.
struct ProcedureBatch {
    QString procedure;
    QList<platform::ProcArg> args;
    QList<bool> quoted; // per argument: the value was a quoted text
};
std::optional<ProcedureBatch> parseProcedureBatch(const QString &text, platform::DbError *error = nullptr);

class StandInProcedures : public platform::ProcedureCatalogue {
public:
    std::optional<QStringList> parameters(const QString &procedure) const override;
    bool execute(QSqlDatabase &db, const QString &procedure, const QList<platform::ProcArg> &args,
                 platform::DbError *error) override;
    bool executeBatch(QSqlDatabase &db, const QString &text, platform::DbError *error) override;
    // Every procedure name, in its declared spelling.
    QStringList procedureNames() const;
};

} // namespace quillor::embedded
