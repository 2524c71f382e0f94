#pragma once
// What building a stand-in server's files takes, shared by the sample and the
// generated servers.

#include "embedded/sampleserver.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

namespace quillor::embedded::detail {

// The files of a stand-in server below `folder`, with its stream-file folder made.
std::optional<SampleServer> layOutServer(const QString &folder, QString *error);
// The directory database and the registry export that describe `server`.
bool finishServer(const SampleServer &server, const SampleOptions &options, QString *error);
// Sets `error` (when given) and answers false, for one-line failure returns.
bool setError(QString *error, const QString &text);
// A small 16-bit mono PCM recording: a short, quiet tone.
QByteArray wavTone(double frequency);
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);
// Removes a database file with its journals.
bool removeDatabaseFiles(const QString &path, QString *error);
// Creates one database from its schema and rows in a single transaction on a
// connection of its own, then lets the query planner learn the tables. A
// failure leaves no file behind.
bool buildDatabase(const QString &path, const std::function<bool(QSqlDatabase &, QString *)> &schema,
                   const std::function<bool(QSqlDatabase &, QString *)> &rows, QString *error);

} // namespace quillor::embedded::detail
