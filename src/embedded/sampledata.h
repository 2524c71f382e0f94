#pragma once
// The sample configuration's rows (internal to the library).

#include "embedded/sampleserver.h"

#include <QSqlDatabase>
#include <QString>

namespace quillor::embedded::detail {

// Adds every sample object to a main database that has the schema and no rows.
bool insertSampleRows(QSqlDatabase &db, const SampleOptions &options, QString *error);
// Adds the directory database's settings; `streamFolder` ends in "/".
bool insertDirectoryRows(QSqlDatabase &db, const SampleOptions &options, const QString &streamFolder,
                         QString *error);

} // namespace quillor::embedded::detail
