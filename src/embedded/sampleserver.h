#pragma once
// The embedded sample server: a stand-in for a real server, made of two SQLite
// databases (the main database and the directory database), the stored
// procedures over them, a stream-file folder and the registry export that
// describes the whole server. It is what the program runs on out of the box
// (--demo) and what every test runs against.

#include "platform/database.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace quillor::embedded {

struct SampleOptions {
    // Newer registry layout ("SOFTWARE\Varko Systems\Varko Tolva") or the older one
    // ("Software\Calvex\" with "Version Number" / "Build Number").
    bool newRegistryLayout = true;
    int major = 4, minor = 2, release = 1, build = 50;
    enum class Root { Normal, Missing, Duplicate } root = Root::Normal;
    // Two rows for the stream-folder name in the directory database.
    bool duplicateStreamFolderRow = false;
    // Leave the stream-folder row out of the directory database.
    bool missingStreamFolderRow = false;
    // Registry edge profiles: the telephone languages as the registry lists them,
    // and an integrations key that has no subkeys at all.
    QString tuiLanguagesLoaded = QStringLiteral("ENU,DEU");
    bool integrationsWithoutSubkeys = false;
    // How the profile reaches the two databases: as SQLite files ("sqlite:",
    // relative to the export) or through unixODBC and its SQLite driver
    // ("odbc:Driver=SQLite3;Database=ABSOLUTE PATH"), the way the program
    // reaches a real server.
    enum class Access { Sqlite, Odbc } access = Access::Sqlite;
    // The locations the profile names instead, when set: a server that
    // serves these files under its own connection text ("odbc:...").
    QString mainLocation;
    QString directoryLocation;
};

struct SampleServer {
    QString folder;        // everything lives below it
    QString registryFile;  // the export to hand to --registry
    QString mainDatabase;  // SQLite file of the main database
    QString directoryDatabase;
    QString installFolder; // what the registry gives as the server's install folder
    QString streamFolder;  // ends in "/"
};

// Builds a fresh sample server in `folder` (created when missing; existing files
// of the sample are replaced). nullopt and `error` on failure.
std::optional<SampleServer> createSampleServer(const QString &folder, const SampleOptions &options = {},
                                               QString *error = nullptr);

// The stand-in server's stored procedures.
std::shared_ptr<platform::ProcedureCatalogue> standInProcedures();

// The SQL that creates every table and view of the main database (on an empty
// SQLite database); the sample data is added separately.
QString mainSchemaSql();
// The same for the directory database.
QString directorySchemaSql();

// Runs a script of several statements (triggers included) on `db`.
bool executeSqlScript(QSqlDatabase &db, const QString &script, QString *error = nullptr);
// Splits a script into single statements; comments are dropped.
QStringList splitSqlScript(const QString &script);

// Creates the tables and views on an empty database, without sample rows
// (for generated servers).
bool createMainSchema(QSqlDatabase &db, QString *error = nullptr);
bool createDirectorySchema(QSqlDatabase &db, QString *error = nullptr);

// Writes the registry export describing a sample server in `sampleFolder`
// with `options` to `path` (UTF-16LE). The port's database locations are
// written relative to the export's own folder.
bool writeRegistryExport(const QString &path, const QString &sampleFolder, const SampleOptions &options,
                         QString *error = nullptr);

// The older registry layout's version values: "Version Number" holds major and
// minor as decimal digits in its two halves (4.0 -> 0x00040000); "Build Number"
// holds the release as decimal digits in the high half and the build as a plain
// number in the low half (3.120 -> 0x00030078).
quint32 olderLayoutVersionNumber(int major, int minor);
quint32 olderLayoutBuildNumber(int release, int build);

// The ObjectID of a sample object by its alias ("openinggreetingch", "aadmin",
// "ch_aadmin", "companydirectory", "operators", "default", ...), matched
// without regard to case; "" when the sample has no such object. Schedules and
// other objects without ObjectID are not listed.
QString sampleObjectId(const QString &alias);

} // namespace quillor::embedded
