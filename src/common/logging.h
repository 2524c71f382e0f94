#pragma once
// The run's log file: a header naming the program, the server version, the
// time and the user, then one audit line per change made (or tried) and the
// internal error texts handed to it. The file stays open for appending until
// the program ends and is written unbuffered, so other programs can read it
// at any time and nothing is lost when the process ends.

#include <QFile>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <type_traits>

namespace quillor {

// A value as an audit line shows it: Booleans "True" or "False", numbers in
// full, dates in the general date format (the date alone at midnight), and
// CR, LF and NUL as the two-character escapes \r, \n and \0 so that no value
// can split a line or forge another.
QString auditFieldText(const QVariant &value);

// Audit action codes.
enum AuditAction : qint16 {
    NONE = 0, UPDATE = 1, FAILED_UPDATE = 2, ADD_NEW = 3, FAILED_ADD_NEW = 4, DELETE = 5, FAILED_DELETE = 6
};

QString auditActionText(int action);

// One optional field of an audit line: left out, or a value (Null allowed).
// Numbers and Booleans keep their own type (a double is not cut to an
// integer, nor a 64-bit integer to 32 bits), so the line shows them whole.
class LogArg {
public:
    LogArg() = default;
    LogArg(const QVariant &v) : m_passed(true), m_value(v) {}
    LogArg(const QString &v) : m_passed(true), m_value(v) {}
    LogArg(const char *v) : m_passed(true), m_value(QString::fromUtf8(v)) {}
    template <typename T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0>
    LogArg(T v) : m_passed(true), m_value(QVariant::fromValue(v))
    {
    }
    bool passed() const { return m_passed; }
    const QVariant &value() const { return m_value; }

private:
    bool m_passed = false;
    QVariant m_value;
};

class LogFile {
public:
    LogFile();
    ~LogFile();

    // What the header needs to know.
    struct HeaderInfo {
        QString serverVersionText;
        QString domain;
        QString userName;
    };

    // The log folder: "<data folder>/logs".
    static QString logFolder();

    // Makes sure the log folder exists, removes old files, and returns the new
    // file's path (also kept as gLogFileName). A name already taken by an
    // earlier run gets a "_2", "_3" ... suffix: no earlier log is ever replaced.
    // A folder that cannot be made is reported in the program's error frame:
    // into `folderError` when given (the caller then says what it means for
    // the run), else in a message box; the name is returned all the same.
    QString GenerateNewLogFileName(QString *folderError = nullptr);
    // Deletes every file of the log folder last changed 21 or more calendar days ago.
    void DeleteOldLogFiles();
    // Creates the file, writes the header and keeps the file open. Message lines
    // handed to the log before it existed follow the header. False (and
    // `error`) when the file cannot be created.
    bool WriteLogHeader(const QString &fileName, const HeaderInfo &info, QString *error = nullptr);
    // Closes and opens the file again for appending.
    void ReopenLogFile();

    // Appends one audit line. The arguments come in the order callers know
    // them; the line puts the parent fields first.
    void LogAction(qint16 action, const LogArg &TableName = {}, const LogArg &Alias = {},
                   const LogArg &ParentTableName = {}, const LogArg &ParentAlias = {},
                   const LogArg &ColumnName = {}, const LogArg &Value = {});
    // Appends a text as a line of its own.
    void logMessage(const QString &text);

    // "" until a log file has been named, and again when its header could not be written.
    QString gLogFileName() const { return m_fileName; }
    bool isOpen() const { return m_file && m_file->isOpen(); }

private:
    void writeLine(const QString &line);
    std::unique_ptr<QFile> m_file;
    QString m_fileName;
    QStringList m_pending; // message lines written before the file existed
};

} // namespace quillor
