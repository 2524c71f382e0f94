#include "common/logging.h"

#include "common/errors.h"
#include "common/formatting.h"
#include "platform/apppaths.h"
#include "platform/seams.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace quillor {

using platform::Seams;

namespace {
const QString kRule = QString(64, u'=');
constexpr int kKeepDays = 20;
} // namespace

QString auditActionText(int action)
{
    switch (action) {
    case NONE: return QStringLiteral("NONE");
    case UPDATE: return QStringLiteral("UPDATE");
    case FAILED_UPDATE: return QStringLiteral("FAILED_UPDATE");
    case ADD_NEW: return QStringLiteral("ADD_NEW");
    case FAILED_ADD_NEW: return QStringLiteral("FAILED_ADD_NEW");
    case DELETE: return QStringLiteral("DELETE");
    case FAILED_DELETE: return QStringLiteral("FAILED_DELETE");
    default: return QStringLiteral("Unknown action");
    }
}

QString auditFieldText(const QVariant &value)
{
    if (value.isNull())
        return {};
    QString text;
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (value.metaType().id()) {
    case QMetaType::Bool: text = booleanText(value.toBool()); break;
    case QMetaType::Double: text = locale.toString(value.toDouble(), 'g', 15); break;
    case QMetaType::Float: text = locale.toString(value.toFloat(), 'g', 7); break;
    case QMetaType::QDate: text = locale.toString(value.toDate(), QLocale::ShortFormat); break;
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        text = when.time() == QTime(0, 0) ? locale.toString(when.date(), QLocale::ShortFormat) : generalDateTime(when);
        break;
    }
    default: text = value.toString(); break;
    }
    text.replace(u'\r', QStringLiteral("\\r"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(QChar(u'\0'), QStringLiteral("\\0"));
    return text;
}

LogFile::LogFile() = default;
LogFile::~LogFile() = default;

QString LogFile::logFolder() { return platform::AppPaths::dataFolder() + QStringLiteral("/logs"); }

QString LogFile::GenerateNewLogFileName(QString *folderError)
{
    const QDateTime start = Seams::clock().now();
    const QString base =
        platform::AppPaths::executableName() + QStringLiteral("_Log_") + start.toString(QStringLiteral("yyMMdd_HH_mm_ss"));
    const QString folder = logFolder();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        const QString text = errorText(75, QStringLiteral("Path/File access error: %1").arg(folder),
                                       QStringLiteral("GenerateNewLogFileName"), QStringLiteral("Module"),
                                       QStringLiteral("modLogging"));
        if (folderError)
            *folderError = text;
        else
            platform::msgBox(text);
    }
    DeleteOldLogFiles();
    QString name = base + QStringLiteral(".TXT");
    for (int n = 2; QFileInfo::exists(folder + u'/' + name); ++n)
        name = base + QStringLiteral("_%1.TXT").arg(n);
    m_fileName = folder + u'/' + name;
    return m_fileName;
}

void LogFile::DeleteOldLogFiles()
{
    QDir dir(logFolder());
    if (!dir.exists())
        return;
    const QDate today = Seams::clock().now().date();
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : files) {
        // Calendar days between the last change and today, not 24-hour periods.
        const qint64 age = info.lastModified().date().daysTo(today);
        if (age <= kKeepDays)
            continue;
        QFile file(info.absoluteFilePath());
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
        file.remove(); // a file that cannot go is left; the others are still checked
    }
}

bool LogFile::WriteLogHeader(const QString &fileName, const HeaderInfo &info, QString *error)
{
    auto file = std::make_unique<QFile>(fileName);
    // NewOnly: a log of another run is never truncated or replaced.
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file->errorString();
        // No log for this run: nothing may name, reopen or append to a file
        // that is not this run's.
        m_file.reset();
        m_fileName.clear();
        return false;
    }
    m_file = std::move(file);
    m_fileName = fileName;
    const QString version = QStringLiteral("%1.%2.%3").arg(QUILLOR_VERSION_MAJOR).arg(QUILLOR_VERSION_MINOR).arg(QUILLOR_VERSION_PATCH);
    const QStringList header = {
        kRule,
        QStringLiteral("Running %1, version %2").arg(platform::AppPaths::executableName(), version),
        QString(),
        QStringLiteral("Local Tolva version=") + info.serverVersionText,
        QStringLiteral("Local time=") + generalDateTime(Seams::clock().now()),
        QStringLiteral("Logged in user=") + info.domain + u'\\' + info.userName,
        kRule,
        QString(),
        QStringLiteral("DATE_AND_TIME, ACTION, PARENT TABLE NAME, PARENT ALIAS, TABLE NAME, ALIAS, COLUMN NAME, VALUE"),
        QString(),
    };
    for (const QString &line : header)
        writeLine(line);
    const QStringList pending = std::exchange(m_pending, {});
    for (const QString &line : pending)
        writeLine(line);
    return true;
}

void LogFile::ReopenLogFile()
{
    if (m_fileName.isEmpty())
        return;
    if (m_file)
        m_file->close();
    auto file = std::make_unique<QFile>(m_fileName);
    if (file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        m_file = std::move(file);
}

void LogFile::LogAction(qint16 action, const LogArg &TableName, const LogArg &Alias, const LogArg &ParentTableName,
                        const LogArg &ParentAlias, const LogArg &ColumnName, const LogArg &Value)
{
    const auto text = [](const LogArg &arg) { return arg.passed() ? auditFieldText(arg.value()) : QString(); };
    QString value = text(Value);
    if (Value.passed() && value.isEmpty())
        value = QStringLiteral("(NULL)");
    const QStringList fields = {generalDateTime(Seams::clock().now()), auditActionText(action), text(ParentTableName),
                                text(ParentAlias), text(TableName), text(Alias), text(ColumnName), value};
    writeLine(fields.join(QStringLiteral(", ")));
}

void LogFile::logMessage(const QString &text)
{
    if (!isOpen()) {
        m_pending << text;
        return;
    }
    writeLine(text);
}

void LogFile::writeLine(const QString &line)
{
    if (!isOpen())
        return;
    m_file->write((line + QStringLiteral("\r\n")).toLocal8Bit());
}

} // namespace quillor
