#include "platform/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillor::platform {

namespace {
QString &programOverride()
{
    static QString s;
    return s;
}
QString &dataOverride()
{
    static QString s;
    return s;
}

bool isWritableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}
} // namespace

QString AppPaths::programFolder()
{
    if (!programOverride().isEmpty())
        return programOverride();
    return QCoreApplication::applicationDirPath();
}

QString AppPaths::executableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString AppPaths::dataFolder()
{
    if (!dataOverride().isEmpty())
        return dataOverride();
    const QString program = programFolder();
    if (isWritableFolder(program))
        return program;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(data);
    return data;
}

void AppPaths::overrideProgramFolder(const QString &folder) { programOverride() = folder; }
void AppPaths::overrideDataFolder(const QString &folder) { dataOverride() = folder; }

QString AppPaths::homeFolder() { return QDir::homePath(); }

} // namespace quillor::platform
