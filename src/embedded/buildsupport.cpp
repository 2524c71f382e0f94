#include "embedded/buildsupport.h"

#include "embedded/sampledata.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cmath>
#include <numbers>

namespace quillor::embedded::detail {

std::optional<SampleServer> layOutServer(const QString &folder, QString *error)
{
    if (folder.isEmpty()) {
        setError(error, QStringLiteral("No folder given for the server."));
        return std::nullopt;
    }
    SampleServer server;
    server.folder = QDir(folder).absolutePath();
    server.installFolder = server.folder + QStringLiteral("/tolva");
    server.streamFolder = server.installFolder + QStringLiteral("/Stream Files/");
    server.mainDatabase = server.folder + QStringLiteral("/TolvaDb.sqlite");
    server.directoryDatabase = server.folder + QStringLiteral("/TolvaDirDB.sqlite");
    server.registryFile = server.folder + QStringLiteral("/tolva.reg");
    if (!QDir().mkpath(server.streamFolder)) {
        setError(error, QStringLiteral("Cannot create %1").arg(server.streamFolder));
        return std::nullopt;
    }
    return server;
}

bool finishServer(const SampleServer &server, const SampleOptions &options, QString *error)
{
    return buildDatabase(server.directoryDatabase, createDirectorySchema,
                         [&](QSqlDatabase &db, QString *why) {
                             return insertDirectoryRows(db, options, server.streamFolder, why);
                         },
                         error)
           && writeRegistryExport(server.registryFile, server.folder, options, error);
}

bool setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// A small 16-bit mono PCM recording: a short, quiet tone.
QByteArray wavTone(double frequency)
{
    constexpr int rate = 8000;
    constexpr int samples = rate / 4;
    QByteArray pcm;
    {
        QDataStream out(&pcm, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        for (int i = 0; i < samples; ++i)
            out << qint16(std::lround(3000.0 * std::sin(2.0 * std::numbers::pi * frequency * i / rate)));
    }
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), int(pcm.size()));
    return wav;
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return setError(error, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool removeDatabaseFiles(const QString &path, QString *error)
{
    for (const QString &suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString file = path + suffix;
        if (QFileInfo::exists(file) && !QFile::remove(file))
            return setError(error, QStringLiteral("Cannot replace %1").arg(file));
    }
    return true;
}

// Creates one database from its schema and rows in a single transaction on a
// connection of its own, then lets the query planner learn the tables.
bool buildDatabase(const QString &path, const std::function<bool(QSqlDatabase &, QString *)> &schema,
                   const std::function<bool(QSqlDatabase &, QString *)> &rows, QString *error)
{
    if (!removeDatabaseFiles(path, error))
        return false;
    const QString name = QStringLiteral("quillor_stand_in_") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            setError(error, QStringLiteral("Cannot create %1: %2").arg(path, db.lastError().text()));
        } else {
            {
                QSqlQuery pragma(db);
                // Nothing to protect while the file is being made: a failure deletes it.
                pragma.exec(QStringLiteral("PRAGMA synchronous = OFF"));
                pragma.exec(QStringLiteral("PRAGMA journal_mode = MEMORY"));
                pragma.exec(QStringLiteral("PRAGMA cache_size = -65536"));
            }
            QString why;
            if (!db.transaction()) {
                why = db.lastError().text();
            } else if (!schema(db, &why) || !rows(db, &why)) {
                db.rollback();
            } else if (!db.commit()) {
                why = db.lastError().text();
            } else {
                QSqlQuery analyze(db);
                ok = analyze.exec(QStringLiteral("ANALYZE"));
                if (!ok)
                    why = analyze.lastError().text();
            }
            if (!ok)
                setError(error, QStringLiteral("Cannot fill %1: %2").arg(path, why));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        removeDatabaseFiles(path, nullptr);
    return ok;
}

} // namespace quillor::embedded::detail
