#include "embedded/sampleserver.h"
#include "embedded/buildsupport.h"

#include "embedded/procedures.h"
#include "embedded/sampledata.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QUuid>

#include <cmath>
#include <functional>
#include <numbers>
#include <tuple>

// Resources of a static library are registered by hand, outside any namespace.
static void initEmbeddedResources()
{
    Q_INIT_RESOURCE(embedded_sql);
}

namespace quillor::embedded {

using detail::buildDatabase;
using detail::removeDatabaseFiles;
using detail::setError;
using detail::wavTone;
using detail::writeFile;

namespace {

QString readResource(const QString &path)
{
    static const bool registered = (initEmbeddedResources(), true);
    Q_UNUSED(registered);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}






// ---- registry export ----

QString regString(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

class RegistryText {
public:
    RegistryText() { m_text = QStringLiteral("Windows Registry Editor Version 5.00\r\n"); }
    void key(const QString &path) { m_text += QStringLiteral("\r\n[HKEY_LOCAL_MACHINE\\%1]\r\n").arg(path); }
    void sz(const QString &name, const QString &value) { m_text += regString(name) + u'=' + regString(value) + QStringLiteral("\r\n"); }
    void dword(const QString &name, quint32 value)
    {
        m_text += regString(name) + QStringLiteral("=dword:%1\r\n").arg(value, 8, 16, QLatin1Char('0'));
    }
    QByteArray bytes() const
    {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE", 2) + QByteArray(encoder(m_text + QStringLiteral("\r\n")));
    }

private:
    QString m_text;
};

// Decimal digits read as hexadecimal: 12 -> 0x12.
quint32 decimalDigits(int value)
{
    return QString::number(qBound(0, value, 9999)).toUInt(nullptr, 16);
}

bool atLeast(const SampleOptions &o, int major, int minor, int release, int build)
{
    const auto mine = std::make_tuple(o.major, o.minor, o.release, o.build);
    return mine >= std::make_tuple(major, minor, release, build);
}

} // namespace

QString mainSchemaSql()
{
    return readResource(QStringLiteral(":/quillor/embedded/mainschema.sql"));
}

QString directorySchemaSql()
{
    return readResource(QStringLiteral(":/quillor/embedded/directoryschema.sql"));
}

QStringList splitSqlScript(const QString &script)
{
    QStringList statements;
    QString current;
    const qsizetype n = script.size();
    static const QRegularExpression triggerStart(QStringLiteral("^CREATE\\s+(TEMP\\s+|TEMPORARY\\s+)?TRIGGER\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression endsWithEnd(QStringLiteral("\\bEND\\s*$"), QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = script.at(i);
        if (c == u'-' && i + 1 < n && script.at(i + 1) == u'-') {
            while (i < n && script.at(i) != u'\n')
                ++i;
            current += u'\n';
            continue;
        }
        if (c == u'/' && i + 1 < n && script.at(i + 1) == u'*') {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 1;
            current += u' ';
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            current += c;
            for (++i; i < n; ++i) {
                current += script.at(i);
                if (script.at(i) == close) {
                    if (close != u']' && i + 1 < n && script.at(i + 1) == close) { // doubled quote
                        current += script.at(++i);
                        continue;
                    }
                    break;
                }
            }
            continue;
        }
        if (c == u';') {
            const QString statement = current.trimmed();
            // A trigger's body has statements of its own; it ends with END.
            if (triggerStart.match(statement).hasMatch() && !endsWithEnd.match(statement).hasMatch()) {
                current += c;
                continue;
            }
            if (!statement.isEmpty())
                statements << statement;
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

bool executeSqlScript(QSqlDatabase &db, const QString &script, QString *error)
{
    // All of the script or none of it, inside a caller's transaction or not.
    QSqlQuery control(db);
    if (!control.exec(QStringLiteral("SAVEPOINT quillor_script")))
        return setError(error, control.lastError().text());
    for (const QString &statement : splitSqlScript(script)) {
        QSqlQuery q(db);
        if (!q.exec(statement)) {
            const QString why = q.lastError().text() + QStringLiteral(" in: ") + statement.left(80);
            q.finish();
            control.exec(QStringLiteral("ROLLBACK TO SAVEPOINT quillor_script"));
            control.exec(QStringLiteral("RELEASE SAVEPOINT quillor_script"));
            return setError(error, why);
        }
    }
    if (!control.exec(QStringLiteral("RELEASE SAVEPOINT quillor_script")))
        return setError(error, control.lastError().text());
    return true;
}

bool createMainSchema(QSqlDatabase &db, QString *error)
{
    const QString sql = mainSchemaSql();
    if (sql.isEmpty())
        return setError(error, QStringLiteral("The main database schema is missing from the program."));
    return executeSqlScript(db, sql, error);
}

bool createDirectorySchema(QSqlDatabase &db, QString *error)
{
    const QString sql = directorySchemaSql();
    if (sql.isEmpty())
        return setError(error, QStringLiteral("The directory database schema is missing from the program."));
    return executeSqlScript(db, sql, error);
}

quint32 olderLayoutVersionNumber(int major, int minor)
{
    return (decimalDigits(major) << 16) | decimalDigits(minor);
}

quint32 olderLayoutBuildNumber(int release, int build)
{
    return (decimalDigits(release) << 16) | (quint32(build) & 0xFFFFu);
}

bool writeRegistryExport(const QString &path, const QString &sampleFolder, const SampleOptions &options,
                         QString *error)
{
    const QString folder = QDir(sampleFolder).absolutePath();
    const QString install = folder + QStringLiteral("/tolva");
    RegistryText reg;

    if (options.newRegistryLayout) {
        reg.key(QStringLiteral("SOFTWARE\\Varko Systems\\Varko Tolva"));
        reg.dword(QStringLiteral("MajorVersion"), quint32(options.major));
        reg.dword(QStringLiteral("MinorVersion"), quint32(options.minor));
        reg.dword(QStringLiteral("ReleaseVersion"), quint32(options.release));
        reg.dword(QStringLiteral("BuildVersion"), quint32(options.build));
        reg.sz(QStringLiteral("InstalledFolderPath"), install);
    } else {
        reg.key(QStringLiteral("Software\\Calvex"));
        reg.dword(QStringLiteral("Version Number"), olderLayoutVersionNumber(options.major, options.minor));
        reg.dword(QStringLiteral("Build Number"), olderLayoutBuildNumber(options.release, options.build));
        reg.key(QStringLiteral("SOFTWARE\\Calvex\\Quorbel\\1.0"));
        reg.sz(QStringLiteral("Root Path"), install + u'/');
    }

    const QString integrations = QStringLiteral("Software\\Calvex\\QDX\\1.0\\initialization\\integrations");
    reg.key(integrations);
    if (!options.integrationsWithoutSubkeys) {
        // Servers before 4.2(0.27) know only two fixed integration keys.
        if (atLeast(options, 4, 2, 0, 27)) {
            reg.key(integrations + QStringLiteral("\\PBX-A"));
            reg.sz(QStringLiteral("DisplayName"), QStringLiteral("Main PBX"));
            reg.dword(QStringLiteral("IntegrationID"), 0);
            reg.key(integrations + QStringLiteral("\\PBX-B"));
            reg.sz(QStringLiteral("DisplayName"), QStringLiteral("Branch PBX"));
            reg.dword(QStringLiteral("IntegrationID"), 1);
        } else {
            reg.key(integrations + QStringLiteral("\\integration1"));
            reg.sz(QStringLiteral("DisplayName"), QStringLiteral("Main PBX"));
            reg.key(integrations + QStringLiteral("\\integration2"));
            reg.sz(QStringLiteral("DisplayName"), QStringLiteral("Branch PBX"));
        }
    }
    reg.key(QStringLiteral("SOFTWARE\\Calvex\\SystemParameters\\1.0"));
    reg.sz(QStringLiteral("TUI Languages Loaded"), options.tuiLanguagesLoaded);
    reg.key(QStringLiteral("Software\\Calvex\\Quorbel Setup\\1.0\\Properties"));
    reg.sz(QStringLiteral("TUILanguageDefault"), QStringLiteral("ENU"));

    // The port's own key: where the databases are. SQLite files are named
    // relative to this export; the ODBC driver takes its file as it stands,
    // and is told not to create a missing one.
    const QDir exportFolder = QFileInfo(path).absoluteDir();
    const auto location = [&](const QString &file) {
        const QString absolute = folder + u'/' + file;
        if (options.access == SampleOptions::Access::Odbc)
            return QStringLiteral("odbc:Driver=SQLite3;Database=%1;NoCreat=1").arg(absolute);
        return QStringLiteral("sqlite:") + exportFolder.relativeFilePath(absolute);
    };
    reg.key(QStringLiteral("SOFTWARE\\Quillor\\Port"));
    reg.sz(QStringLiteral("MainDatabase"),
           options.mainLocation.isEmpty() ? location(QStringLiteral("TolvaDb.sqlite")) : options.mainLocation);
    reg.sz(QStringLiteral("DirectoryDatabase"), options.directoryLocation.isEmpty()
                                                    ? location(QStringLiteral("TolvaDirDB.sqlite"))
                                                    : options.directoryLocation);
    reg.sz(QStringLiteral("ServerHost"), QStringLiteral("localhost"));
    reg.sz(QStringLiteral("ToolsSiteHost"), QStringLiteral("localhost"));

    if (!QDir().mkpath(exportFolder.absolutePath()))
        return setError(error, QStringLiteral("Cannot create the folder of %1").arg(path));
    return writeFile(path, reg.bytes(), error);
}

std::optional<SampleServer> createSampleServer(const QString &folder, const SampleOptions &options, QString *error)
{
    const auto laidOut = detail::layOutServer(folder, error);
    if (!laidOut)
        return std::nullopt;
    const SampleServer &server = *laidOut;
    // The template's Off Hours greeting names a recording that must stay absent.
    QFile::remove(server.streamFolder + QStringLiteral("missing_file.wav"));
    if (!writeFile(server.streamFolder + QStringLiteral("openinggreetingch_Standard.wav"), wavTone(440.0), error)
        || !writeFile(server.streamFolder + QStringLiteral("callhandlertemplate_Standard.wav"), wavTone(660.0), error))
        return std::nullopt;

    if (!buildDatabase(server.mainDatabase, createMainSchema,
                       [&](QSqlDatabase &db, QString *why) { return detail::insertSampleRows(db, options, why); },
                       error))
        return std::nullopt;
    if (!detail::finishServer(server, options, error))
        return std::nullopt;
    return server;
}

std::shared_ptr<platform::ProcedureCatalogue> standInProcedures()
{
    return std::make_shared<StandInProcedures>();
}

} // namespace quillor::embedded
