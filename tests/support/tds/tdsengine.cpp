#include "tdsengine.h"

#include "tdswire.h"
#include "embedded/procedures.h"
#include "embedded/sampleserver.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSet>

#include <sys/stat.h>

namespace quillor::test::tds {

namespace {

QAtomicInteger<quint64> gSessionSerial;

// ---- the SQL Server types of the stand-in's columns ----
// The SQLite files declare only INTEGER, TEXT and BLOB; SQL Server's columns
// are typed. Matched by column name, as the views hand the columns on unchanged.

bool nameIn(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Columns that hold ids as plain text on the server (a routing rule's target
// without braces, a directory id): compared as text, never as GUIDs.
bool textIdColumn(const QString &name) { return nameIn(name, {"ActionObjectID", "DirectoryID", "ContactRuleAlternate"}); }

} // namespace

// What the program writes from what the user types (names, aliases,
// extensions, transfer strings) and what it writes beside them, bounded as
// SQL Server's columns are; a procedure parameter takes its column's bound.
int maxLength(const QString &column)
{
    static const QHash<QString, int> lengths = [] {
        QHash<QString, int> byName;
        for (const auto &[name, length] : std::initializer_list<std::pair<const char *, int>>{
                 {"DisplayName", 40}, {"TextName", 40}, {"FirstName", 40}, {"LastName", 40}, {"Alias", 64},
                 {"DTMFAccessID", 30}, {"DtmfId", 30}, {"Extension", 40}, {"ScheduleObjectName", 40}, {"UID", 64},
                 {"StreamPath", 260}, {"ConversationName", 64}, {"AfterMessageConversation", 64},
                 {"ExitConversation", 64}, {"ZeroConversation", 64}, {"NoInputConversation", 64},
                 {"NoSelectionConversation", 64}})
            byName.insert(QString::fromLatin1(name).toLower(), length);
        return byName;
    }();
    return lengths.value(column.toLower());
}

namespace {

std::optional<SqlType> mappedType(const QString &column)
{
    if (textIdColumn(column))
        return SqlType::VarChar;
    if (column.endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive)
        || nameIn(column, {"Ticket", "DirectorySyncTicket"}))
        return SqlType::Guid;
    if (nameIn(column, {"TimeExpires"}))
        return SqlType::DateTime;
    if (nameIn(column, {"IsPrimary", "EditMsg", "Undeletable", "IgnoreDigits", "Locked", "PlayAllNames",
                        "SearchByFirstName", "AutoRoute", "MenuStyle", "SayExtension", "UseStarToExit"}))
        return SqlType::Bit;
    if (nameIn(column, {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}))
        return SqlType::Binary;
    if (nameIn(column, {"StreamText"}) || maxLength(column) > 0)
        return SqlType::NVarChar;
    return std::nullopt;
}

// The one form SQLite holds an ObjectID in: braced, upper case. nullopt: not a GUID.
std::optional<QString> storedGuid(const QString &text)
{
    const QString id = guidText(text);
    if (id.isEmpty())
        return std::nullopt;
    return u'{' + id + u'}';
}

std::optional<QDateTime> storedDate(const QVariant &v)
{
    QString text = v.toString().trimmed();
    text.replace(u' ', u'T');
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    if (!dt.isValid())
        return std::nullopt;
    return QDateTime(dt.date(), dt.time(), Qt::UTC);
}

bool isInteger(const QVariant &v)
{
    return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int || v.typeId() == QMetaType::ULongLong;
}

// The cell of a column of type `type`; nullopt when the stored value does not
// fit it (data a typed server could not hold), so the column goes by its values.
std::optional<QVariant> asType(SqlType type, const QVariant &v)
{
    if (v.isNull())
        return QVariant();
    switch (type) {
    case SqlType::Guid: {
        const auto id = storedGuid(v.toString());
        return id ? std::optional<QVariant>(id->mid(1, 36)) : std::nullopt;
    }
    case SqlType::DateTime: {
        const auto dt = storedDate(v);
        return dt ? std::optional<QVariant>(*dt) : std::nullopt;
    }
    case SqlType::Bit:
        if (isInteger(v))
            return QVariant(v.toLongLong() != 0);
        return std::nullopt;
    case SqlType::Binary:
        if (v.typeId() == QMetaType::QByteArray && v.toByteArray().size() == 12)
            return v;
        return std::nullopt;
    case SqlType::Int:
        if (isInteger(v) && v.toLongLong() >= std::numeric_limits<qint32>::min()
            && v.toLongLong() <= std::numeric_limits<qint32>::max())
            return QVariant(v.toLongLong());
        return std::nullopt;
    case SqlType::BigInt:
        return isInteger(v) ? std::optional<QVariant>(QVariant(v.toLongLong())) : std::nullopt;
    case SqlType::Float:
        return (isInteger(v) || v.typeId() == QMetaType::Double) ? std::optional<QVariant>(v.toDouble())
                                                                 : std::nullopt;
    case SqlType::VarBinary:
    case SqlType::Image:
        return v.typeId() == QMetaType::QByteArray ? std::optional<QVariant>(v) : std::nullopt;
    case SqlType::VarChar:
    case SqlType::NVarChar:
        return v.typeId() == QMetaType::QByteArray ? std::nullopt : std::optional<QVariant>(v.toString());
    }
    return std::nullopt;
}

bool beyondLatin1(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() > 0xFF)
            return true;
    return false;
}

// The type of a column no map names (an expression, a count), by what it holds.
SqlType typeByValues(const QList<QVariant> &cells, QMetaType declared)
{
    bool integer = false, real = false, text = false, bytes = false, wide = false;
    qint64 low = 0, high = 0;
    for (const QVariant &v : cells) {
        if (v.isNull())
            continue;
        if (isInteger(v)) {
            integer = true;
            low = std::min(low, v.toLongLong());
            high = std::max(high, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            real = true;
        } else if (v.typeId() == QMetaType::QByteArray) {
            bytes = true;
        } else {
            text = true;
            wide = wide || beyondLatin1(v.toString());
        }
    }
    if (!bytes && !text && !integer && !real) { // no value: the type SQLite declares
        if (declared.id() == QMetaType::QByteArray)
            return SqlType::VarBinary;
        if (declared.id() == QMetaType::LongLong || declared.id() == QMetaType::Int)
            return SqlType::Int;
        return declared.id() == QMetaType::Double ? SqlType::Float : SqlType::VarChar;
    }
    if (bytes && !text && !integer && !real)
        return SqlType::VarBinary;
    if (text || bytes)
        return wide ? SqlType::NVarChar : SqlType::VarChar;
    if (real)
        return SqlType::Float;
    if (integer && (low < std::numeric_limits<qint32>::min() || high > std::numeric_limits<qint32>::max()))
        return SqlType::BigInt;
    return SqlType::Int;
}

// A value's bytes in a column of `type`.
qsizetype byteSize(SqlType type, const QVariant &v)
{
    if (v.isNull())
        return 0;
    switch (type) {
    case SqlType::NVarChar: return 2 * v.toString().size();
    case SqlType::VarChar: return v.toString().size();
    default: return v.toByteArray().size();
    }
}

// The size COLMETADATA gives a column: a bounded column's own (2 bytes a
// character for NVARCHAR); for any other text or bytes 8000, or MAX when a
// value is longer.
int columnSize(SqlType type, int length, const QList<QVariant> &cells)
{
    switch (type) {
    case SqlType::VarChar:
    case SqlType::NVarChar:
    case SqlType::VarBinary:
        if (length > 0)
            return type == SqlType::NVarChar ? 2 * length : length;
        for (const QVariant &v : cells)
            if (byteSize(type, v) > 8000)
                return 0xFFFF;
        return 8000;
    case SqlType::Binary:
        return 12;
    default:
        return 0;
    }
}

// ---- statement text ----

struct Token {
    enum Kind { Word, Quoted, Bracketed, Param, Variable, Op, Punct } kind;
    QString text;   // the word (brackets removed), the operator, the variable name
    int param = 0;  // @Pn: n
    qsizetype pos = 0;
};

bool wordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'$'; }

// Reads a statement into tokens and writes the text SQLite runs: each @Pn
// becomes a ? bound to the value of @Pn (never pasted), N'...' becomes '...', SCOPE_IDENTITY()
// becomes last_insert_rowid() (the identity this connection made last).
QList<Token> scan(const QString &sql, QString *sqlite)
{
    QList<Token> tokens;
    QString out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            out += c;
            ++i;
            continue;
        }
        const qsizetype start = i;
        if (c == u'\'' || c == u'"' || ((c == u'N' || c == u'n') && i + 1 < n && sql.at(i + 1) == u'\''
                                        && (i == 0 || !wordChar(sql.at(i - 1))))) {
            if (c != u'\'' && c != u'"')
                ++i; // N prefix: SQLite's text is Unicode already
            const QChar quote = sql.at(i);
            QString body;
            for (++i; i < n; ++i) {
                if (sql.at(i) == quote) {
                    if (i + 1 < n && sql.at(i + 1) == quote) {
                        body += quote;
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                body += sql.at(i);
            }
            const QString literal = sql.mid(start, i - start);
            out += literal.startsWith(u'N') || literal.startsWith(u'n') ? literal.mid(1) : literal;
            tokens << Token{quote == u'"' ? Token::Bracketed : Token::Quoted, body, 0, start};
            continue;
        }
        if (c == u'[') {
            const qsizetype close = sql.indexOf(u']', i);
            i = close < 0 ? n : close + 1;
            out += sql.mid(start, i - start);
            tokens << Token{Token::Bracketed, sql.mid(start + 1, i - start - 2), 0, start};
            continue;
        }
        if (c == u'@') {
            ++i;
            if (i < n && sql.at(i) == u'@')
                ++i;
            while (i < n && wordChar(sql.at(i)))
                ++i;
            const QString name = sql.mid(start, i - start);
            static const QRegularExpression pn(QStringLiteral("^@[Pp]([0-9]+)$"));
            if (const auto m = pn.match(name); m.hasMatch()) {
                tokens << Token{Token::Param, name, m.captured(1).toInt(), start};
                out += u'?'; // bound in the order of the marks
            } else {
                tokens << Token{Token::Variable, name, 0, start};
                out += name;
            }
            continue;
        }
        if (wordChar(c)) {
            while (i < n && wordChar(sql.at(i)))
                ++i;
            const QString word = sql.mid(start, i - start);
            static const QRegularExpression scope(QStringLiteral("^\\s*\\(\\s*\\)"));
            if (word.compare(u"SCOPE_IDENTITY", Qt::CaseInsensitive) == 0) {
                if (const auto m = scope.match(QStringView(sql).mid(i)); m.hasMatch()) {
                    i += m.capturedLength();
                    out += QStringLiteral("last_insert_rowid()");
                    tokens << Token{Token::Word, QStringLiteral("last_insert_rowid"), 0, start};
                    continue;
                }
            }
            out += word;
            tokens << Token{Token::Word, word, 0, start};
            continue;
        }
        static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<="),
                                          QStringLiteral(">=")};
        const QString two = sql.mid(i, 2);
        if (std::find(std::begin(twoChar), std::end(twoChar), two) != std::end(twoChar)) {
            i += 2;
            out += two;
            tokens << Token{Token::Op, two, 0, start};
            continue;
        }
        ++i;
        out += c;
        tokens << Token{(c == u'=' || c == u'<' || c == u'>') ? Token::Op : Token::Punct, QString(c), 0, start};
    }
    if (sqlite)
        *sqlite = out;
    return tokens;
}

bool isWord(const Token &t, const char *word)
{
    return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isComparison(const Token &t) { return t.kind == Token::Op || isWord(t, "LIKE"); }

bool isName(const Token &t) { return t.kind == Token::Word || t.kind == Token::Bracketed; }

// Where a parameter stands: the column it is compared with or written to.
struct Use {
    QString column;
    bool compared = false;
    int mark = 0;                   // the how-manieth parameter mark of the statement
    qsizetype from = -1, to = -1;   // where the compared column stands in the text
};

// Where a name token ends in the text: a word by its length, a quoted name at its closing quote.
qsizetype tokenEnd(const QString &sql, const Token &t)
{
    if (t.kind == Token::Word)
        return t.pos + t.text.size();
    const qsizetype close = sql.indexOf(sql.at(t.pos) == u'[' ? u']' : sql.at(t.pos), t.pos + 1);
    return close < 0 ? sql.size() : close + 1;
}

// The uses of every @Pn of a statement, by n.
QHash<int, QList<Use>> parameterUses(const QString &sql, const QList<Token> &t)
{
    QHash<int, QList<Use>> uses;
    const qsizetype n = t.size();
    // An UPDATE's SET list assigns; only what follows its WHERE compares.
    qsizetype setStart = -1, setEnd = -1;
    if (n > 0 && isWord(t[0], "UPDATE")) {
        for (qsizetype i = 0; i < n; ++i) {
            if (setStart < 0 && isWord(t[i], "SET"))
                setStart = i;
            else if (setStart >= 0 && isWord(t[i], "WHERE")) {
                setEnd = i;
                break;
            }
        }
        if (setStart >= 0 && setEnd < 0)
            setEnd = n;
    }
    // INSERT INTO table (columns) VALUES (values): each value writes its column.
    QHash<qsizetype, QString> inserted;
    if (n > 3 && isWord(t[0], "INSERT")) {
        qsizetype i = 1;
        while (i < n && !(t[i].kind == Token::Punct && t[i].text == u"("))
            ++i;
        QStringList columns;
        for (++i; i < n && !(t[i].kind == Token::Punct && t[i].text == u")"); ++i)
            if (isName(t[i]))
                columns << t[i].text;
        while (i < n && !isWord(t[i], "VALUES"))
            ++i;
        i += 2; // VALUES (
        int depth = 0, index = 0;
        for (; i < n && index < columns.size(); ++i) {
            if (t[i].kind == Token::Punct && t[i].text == u"(")
                ++depth;
            else if (t[i].kind == Token::Punct && t[i].text == u")" && depth-- == 0)
                break;
            else if (depth == 0 && t[i].kind == Token::Punct && t[i].text == u",")
                ++index;
            else if (t[i].kind == Token::Param)
                inserted.insert(i, columns[index]);
        }
    }
    const auto dot = [&](qsizetype k) { return k >= 0 && k < n && t[k].kind == Token::Punct && t[k].text == u"."; };
    int mark = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (t[i].kind != Token::Param)
            continue;
        Use use;
        use.mark = mark++;
        if (inserted.contains(i)) {
            use.column = inserted.value(i);
        } else if (i >= 2 && isComparison(t[i - 1]) && isName(t[i - 2])) {
            use.column = t[i - 2].text;
            use.compared = !(i > setStart && i < setEnd);
            use.from = dot(i - 3) && i >= 4 && isName(t[i - 4]) ? t[i - 4].pos : t[i - 2].pos;
            use.to = tokenEnd(sql, t[i - 2]);
        } else if (i + 2 < n && isComparison(t[i + 1]) && isName(t[i + 2])) {
            const qsizetype last = dot(i + 3) && i + 4 < n && isName(t[i + 4]) ? i + 4 : i + 2;
            use.column = t[last].text;
            use.compared = true;
            use.from = t[i + 2].pos;
            use.to = tokenEnd(sql, t[last]);
        }
        uses[t[i].param] << use;
    }
    return uses;
}

ServerError serverError(int number, const QString &message, int severity = 16)
{
    return ServerError{number, message, severity, 1};
}

StatementResult failed(int number, const QString &message)
{
    StatementResult r;
    r.error = serverError(number, message);
    return r;
}

// SQL Server's number and text for what SQLite refused.
ServerError fromSqlite(const QSqlError &e, const QString &statement)
{
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    static const QRegularExpression noTable(QStringLiteral("no such (?:table|view): (\\S+)"));
    static const QRegularExpression noColumn(QStringLiteral("no such column: (\\S+)"));
    if (text.contains(QLatin1String("UNIQUE constraint failed")))
        return serverError(2627, QStringLiteral("Violation of PRIMARY KEY or UNIQUE KEY constraint. Cannot insert "
                                                "duplicate key (%1).")
                                     .arg(text));
    if (text.contains(QLatin1String("NOT NULL constraint failed")))
        return serverError(515, QStringLiteral("Cannot insert the value NULL into a column that does not allow "
                                               "nulls (%1). The statement has been terminated.")
                                    .arg(text));
    if (text.contains(QLatin1String("constraint failed")))
        return serverError(547, QStringLiteral("The statement conflicted with a constraint (%1). The statement has "
                                               "been terminated.")
                                    .arg(text));
    if (const auto m = noTable.match(text); m.hasMatch())
        return serverError(208, QStringLiteral("Invalid object name '%1'.").arg(m.captured(1)));
    if (const auto m = noColumn.match(text); m.hasMatch())
        return serverError(207, QStringLiteral("Invalid column name '%1'.").arg(m.captured(1)));
    if (e.nativeErrorCode() == u"19") // RAISE() in a trigger: what RAISERROR gives
        return serverError(50000, text);
    return serverError(102, QStringLiteral("The stand-in server cannot run the statement \"%1\": %2")
                                .arg(statement.simplified(), text));
}

// Errors after which SQL Server runs the batch's next statement; any other
// (a conversion, a compile error) ends the batch.
bool batchGoesOn(int number)
{
    return number == 2627 || number == 2601 || number == 515 || number == 547 || number == 1222 || number == 8152
           || number == 50000;
}

platform::AdoType adoType(SqlType type)
{
    switch (type) {
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::Bit:
        return platform::AdoType::Integer;
    case SqlType::DateTime:
        return platform::AdoType::Date;
    default:
        return platform::AdoType::VarChar;
    }
}

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId &) const = default;
};

std::optional<FileId> fileId(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

} // namespace

struct Session::Private {
    QString file;
    QString database; // the name the catalogue views give it
    QString connection;
    QString openError;
    std::optional<FileId> opened;
    embedded::StandInProcedures procedures;
    bool nocount = false;
    bool transaction = false;
    QList<StatementResult> prelude; // what a procedure answered before its own end

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    bool open();
    void indexObjectIds();
    bool exec(const QString &sql, QString *why = nullptr);
    std::optional<ServerError> online();
    StatementResult runOne(const QString &statement, const QList<Value> &params, bool *handled);
    StatementResult runSqlite(const QString &statement, const QList<Value> &params);
    StatementResult runProcedure(const QList<Token> &tokens, qsizetype nameAt, const QString &statement,
                                 const QList<Value> &params);
    StatementResult dataTypeInfo(int dataType);
    std::optional<ServerError> startTransaction();
    std::optional<ServerError> endTransaction(bool commit);
};

bool Session::Private::exec(const QString &sql, QString *why)
{
    QSqlQuery q(db());
    if (q.exec(sql))
        return true;
    if (why)
        *why = q.lastError().text();
    return false;
}

bool Session::Private::open()
{
    QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    handle.setDatabaseName(file);
    // The tests write to the same file beside the stand-in.
    handle.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!QFileInfo::exists(file) || !handle.open()) {
        openError = QFileInfo::exists(file) ? handle.lastError().text()
                                            : QStringLiteral("The database file %1 does not exist.").arg(file);
        return false;
    }
    opened = fileId(file);
    // INFORMATION_SCHEMA's ROUTINES and PARAMETERS, filled from the catalogue
    // the procedures run from, so a query over them sees what SQL Server shows.
    QString why;
    bool ok = exec(QStringLiteral("ATTACH DATABASE ':memory:' AS INFORMATION_SCHEMA"), &why)
              && exec(QStringLiteral("CREATE TABLE INFORMATION_SCHEMA.ROUTINES (SPECIFIC_CATALOG TEXT, "
                                     "SPECIFIC_SCHEMA TEXT COLLATE NOCASE, SPECIFIC_NAME TEXT COLLATE NOCASE, "
                                     "ROUTINE_CATALOG TEXT, ROUTINE_SCHEMA TEXT COLLATE NOCASE, "
                                     "ROUTINE_NAME TEXT COLLATE NOCASE, ROUTINE_TYPE TEXT, DATA_TYPE TEXT)"),
                      &why)
              && exec(QStringLiteral("CREATE TABLE INFORMATION_SCHEMA.PARAMETERS (SPECIFIC_CATALOG TEXT, "
                                     "SPECIFIC_SCHEMA TEXT COLLATE NOCASE, SPECIFIC_NAME TEXT COLLATE NOCASE, "
                                     "ORDINAL_POSITION INTEGER, PARAMETER_MODE TEXT, IS_RESULT TEXT, "
                                     "AS_LOCATOR TEXT, PARAMETER_NAME TEXT COLLATE NOCASE, DATA_TYPE TEXT, "
                                     "CHARACTER_MAXIMUM_LENGTH INTEGER)"),
                      &why);
    const QStringList names = procedures.procedureNames();
    for (qsizetype k = 0; ok && k < names.size(); ++k) {
        QSqlQuery routine(db());
        routine.prepare(QStringLiteral("INSERT INTO INFORMATION_SCHEMA.ROUTINES VALUES (?, 'dbo', ?, ?, 'dbo', ?, "
                                       "'PROCEDURE', NULL)"));
        for (const QVariant &v : {QVariant(database), QVariant(names[k]), QVariant(database), QVariant(names[k])})
            routine.addBindValue(v);
        ok = routine.exec();
        const QStringList declared = procedures.parameters(names[k]).value_or(QStringList());
        for (qsizetype p = 0; ok && p < declared.size(); ++p) {
            // A text parameter has its column's bound (-1: MAX); any other type none.
            const auto type = mappedType(declared[p]);
            const bool text = type == SqlType::VarChar || type == SqlType::NVarChar;
            const char *typeName = type == SqlType::Guid       ? "uniqueidentifier"
                                   : type == SqlType::Bit      ? "bit"
                                   : type == SqlType::DateTime ? "datetime"
                                   : type == SqlType::VarChar  ? "varchar"
                                   : text                      ? "nvarchar"
                                                               : "int";
            const int length = maxLength(declared[p]);
            QSqlQuery param(db());
            param.prepare(QStringLiteral("INSERT INTO INFORMATION_SCHEMA.PARAMETERS VALUES (?, 'dbo', ?, ?, 'IN', "
                                         "'NO', 'NO', ?, ?, ?)"));
            for (const QVariant &v : {QVariant(database), QVariant(names[k]), QVariant(p + 1),
                                      QVariant(u'@' + declared[p]), QVariant(QString::fromLatin1(typeName)),
                                      text ? QVariant(length > 0 ? length : -1) : QVariant(QMetaType::fromType<int>())})
                param.addBindValue(v);
            ok = param.exec();
            if (!ok)
                why = param.lastError().text();
        }
        if (!ok && why.isEmpty())
            why = routine.lastError().text();
    }
    if (!ok)
        openError = QStringLiteral("The catalogue views could not be made: %1").arg(why);
    if (ok)
        indexObjectIds();
    return ok;
}

// SQL Server finds a uniqueidentifier by value through an index. The stand-in
// compares an ObjectID column with a GUID in one form, upper(trim(column,
// ' {}')) (runSqlite), which no plain index serves: each base table's ObjectID
// columns get an index on exactly that expression, or every look-up scans.
// Made once per file; without them the answers are the same, only slower.
void Session::Private::indexObjectIds()
{
    QSqlQuery q(db());
    QSet<QString> indexes;
    QStringList tables;
    q.exec(QStringLiteral("SELECT type, name FROM main.sqlite_master WHERE type IN ('table', 'index')"));
    while (q.next()) {
        if (q.value(0).toString() == u"index")
            indexes.insert(q.value(1).toString());
        else
            tables << q.value(1).toString();
    }
    QStringList missing;
    for (const QString &table : std::as_const(tables)) {
        q.exec(QStringLiteral("PRAGMA main.table_info(\"%1\")").arg(table));
        while (q.next()) {
            const QString column = q.value(1).toString();
            const QString name = QStringLiteral("TdsById_%1_%2").arg(table, column);
            if (mappedType(column) == SqlType::Guid && !indexes.contains(name))
                missing << QStringLiteral("CREATE INDEX \"%1\" ON \"%2\" (upper(trim(\"%3\", ' {}')))")
                               .arg(name, table, column);
        }
    }
    q.finish();
    if (missing.isEmpty() || !exec(QStringLiteral("BEGIN")))
        return;
    bool made = true;
    for (qsizetype i = 0; made && i < missing.size(); ++i)
        made = exec(missing[i]);
    exec(made ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
}

// A database whose file went is offline for the stand-in as for SQL Server;
// one replaced by another file is opened anew.
std::optional<ServerError> Session::Private::online()
{
    const auto now = fileId(file);
    if (now && now == opened)
        return std::nullopt;
    if (now && !transaction) {
        db().close();
        QSqlDatabase::removeDatabase(connection);
        if (open())
            return std::nullopt;
    }
    return serverError(942, QStringLiteral("Database '%1' cannot be opened because it is offline.").arg(database), 14);
}

Session::Session(const QString &databaseFile) : d(std::make_unique<Private>())
{
    d->file = databaseFile;
    d->database = QFileInfo(databaseFile).completeBaseName();
    d->connection = QStringLiteral("quillor-tds-session-%1").arg(gSessionSerial.fetchAndAddRelaxed(1));
    d->open();
}

Session::~Session()
{
    if (d->transaction) // a connection that goes leaves nothing held
        d->endTransaction(false);
    if (QSqlDatabase::contains(d->connection)) {
        d->db().close();
        QSqlDatabase::removeDatabase(d->connection);
    }
}

bool Session::isOpen() const { return d->openError.isEmpty() && d->db().isOpen(); }

QString Session::openError() const { return d->openError; }

bool Session::inTransaction() const { return d->transaction; }

std::optional<ServerError> Session::begin()
{
    if (const auto offline = d->online())
        return offline;
    return d->startTransaction();
}

std::optional<ServerError> Session::Private::startTransaction()
{
    QString why;
    if (transaction) // SQL Server nests; the program never does
        return serverError(3902, QStringLiteral("The stand-in server does not nest transactions."));
    if (!exec(QStringLiteral("BEGIN"), &why))
        return serverError(3902, why);
    transaction = true;
    return std::nullopt;
}

std::optional<ServerError> Session::Private::endTransaction(bool commit)
{
    if (!transaction)
        return commit ? serverError(3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN "
                                                         "TRANSACTION."))
                      : serverError(3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding "
                                                         "BEGIN TRANSACTION."));
    QString why;
    if (!exec(commit ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), &why)) {
        if (!commit || !db().isOpen())
            transaction = false;
        return serverError(commit ? 3902 : 3903, why);
    }
    transaction = false;
    return std::nullopt;
}

std::optional<ServerError> Session::commit() { return d->endTransaction(true); }

std::optional<ServerError> Session::rollback() { return d->endTransaction(false); }

QList<StatementResult> Session::run(const QString &text, const QList<Value> &params, const Hook &hook)
{
    QList<StatementResult> results;
    if (const auto offline = d->online()) {
        StatementResult r;
        r.error = offline;
        return {r};
    }
    const QStringList statements = embedded::splitSqlScript(text);
    for (qsizetype i = 0; i < statements.size(); ++i) {
        const QString &statement = statements[i];
        std::optional<StatementResult> instead = hook ? hook(i, nullptr) : std::nullopt;
        StatementResult r;
        if (instead) {
            r = *instead;
        } else {
            bool handled = false;
            r = d->runOne(statement, params, &handled);
            if (!handled)
                r = d->runSqlite(statement, params);
            if (hook && (instead = hook(i, &r)))
                r = *instead;
        }
        const bool stop = r.error && !batchGoesOn(r.error->number);
        results << d->prelude << r;
        d->prelude.clear();
        if (stop)
            break;
    }
    return results;
}

StatementResult Session::Private::runOne(const QString &statement, const QList<Value> &params, bool *handled)
{
    *handled = true;
    const QString s = statement.simplified();
    static const QRegularExpression setOption(
        QStringLiteral("^SET (NOCOUNT|QUOTED_IDENTIFIER|IMPLICIT_TRANSACTIONS|TEXTSIZE) (ON|OFF|[0-9]+)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression transactionText(
        QStringLiteral("^(IF @@TRANCOUNT ?> ?0 )?(BEGIN|COMMIT|ROLLBACK)(?: TRAN(?:SACTION)?)?( BEGIN TRAN(?:SACTION)?)?$"),
        QRegularExpression::CaseInsensitiveOption);
    // The code page of the database's collation, which the client converts its text to.
    static const QRegularExpression codePage(
        QStringLiteral("^SELECT CONVERT ?\\( ?int ?, ?COLLATIONPROPERTY ?\\(.*, ?'CodePage' ?\\) ?\\)(?: AS \\[?(\\w+)\\]?)?$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression typeInfo(
        QStringLiteral("^(?:EXEC(?:UTE)? )?sp_datatype_info(?:_[0-9]+)?(?: (-?[0-9]+)(?: ?, ?[0-9]+)?)?$"),
        QRegularExpression::CaseInsensitiveOption);

    if (const auto m = setOption.match(s); m.hasMatch()) {
        if (m.captured(1).compare(u"NOCOUNT", Qt::CaseInsensitive) == 0)
            nocount = m.captured(2).compare(u"ON", Qt::CaseInsensitive) == 0;
        return {};
    }
    if (const auto m = transactionText.match(s); m.hasMatch()) {
        const QString verb = m.captured(2).toUpper();
        const bool conditional = m.hasCaptured(1) && !m.captured(1).isEmpty();
        const bool beginAfter = m.hasCaptured(3) && !m.captured(3).isEmpty();
        std::optional<ServerError> e;
        if (verb == u"BEGIN") {
            if (conditional || beginAfter) {
                *handled = false; // not a form the driver sends
                return {};
            }
            e = startTransaction();
        } else if (!conditional || transaction) {
            e = endTransaction(verb == u"COMMIT");
        }
        if (!e && beginAfter)
            e = startTransaction();
        StatementResult r;
        r.error = e;
        return r;
    }
    if (const auto m = codePage.match(s); m.hasMatch()) {
        StatementResult r;
        r.hasRows = true;
        r.columns << Column{m.captured(1), SqlType::Int, 0, true};
        r.rows << QList<Value>{Value{SqlType::Int, qint64(1252)}}; // Latin1_General_CI_AS
        if (!nocount)
            r.count = 1;
        return r;
    }
    if (const auto m = typeInfo.match(s); m.hasMatch())
        return dataTypeInfo(m.captured(1).isEmpty() ? 0 : m.captured(1).toInt());

    const QList<Token> tokens = scan(statement, nullptr);
    if (tokens.isEmpty())
        return {};
    qsizetype nameAt = 0;
    if (isWord(tokens[0], "EXEC") || isWord(tokens[0], "EXECUTE"))
        nameAt = 1;
    else if (!isName(tokens[0]) || !procedures.parameters(tokens[0].text))
        nameAt = -1; // not a call of one of the procedures: SQLite's
    if (nameAt >= 0)
        return runProcedure(tokens, nameAt, statement, params);
    *handled = false;
    return {};
}

// Qt's probe of the datetime precision (SQLGetTypeInfo, ODBC 2 column names):
// datetime carries milliseconds, COLUMN_SIZE 23.
StatementResult Session::Private::dataTypeInfo(int dataType)
{
    StatementResult r;
    r.hasRows = true;
    const char *names[] = {"TYPE_NAME", "DATA_TYPE", "PRECISION", "LITERAL_PREFIX", "LITERAL_SUFFIX",
                           "CREATE_PARAMS", "NULLABLE", "CASE_SENSITIVE", "SEARCHABLE", "UNSIGNED_ATTRIBUTE",
                           "MONEY", "AUTO_INCREMENT", "LOCAL_TYPE_NAME", "MINIMUM_SCALE", "MAXIMUM_SCALE",
                           "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "NUM_PREC_RADIX", "INTERVAL_PRECISION"};
    for (int k = 0; k < 19; ++k) {
        const bool text = k == 0 || k == 3 || k == 4 || k == 5 || k == 12;
        r.columns << Column{QString::fromLatin1(names[k]), text ? SqlType::VarChar : SqlType::Int,
                            text ? 128 : 0, true};
    }
    if (dataType != 11 && dataType != 93 && dataType != 0)
        return r;
    const auto row = [&](const char *type, int precision, int scale, int sub) {
        const QVariant none;
        const QVariant quote(QStringLiteral("'"));
        const QVariant values[] = {QString::fromLatin1(type), dataType == 0 ? 11 : dataType, precision, quote, quote,
                                   none, 1, 0, 3, none, 0, none, QString::fromLatin1(type), scale, scale, 9, sub,
                                   none, none};
        QList<Value> cells;
        for (int k = 0; k < 19; ++k)
            cells << Value{r.columns[k].type, values[k].isValid() && r.columns[k].type == SqlType::Int
                                                  ? QVariant(values[k].toLongLong())
                                                  : values[k]};
        r.rows << cells;
    };
    row("datetime", 23, 3, 3);
    row("smalldatetime", 16, 0, 3);
    if (!nocount)
        r.count = r.rows.size();
    return r;
}

// EXEC [name] @a = @P1, @b = N'...', ... (or the name alone first in a batch)
// through the stand-in's procedure catalogue.
StatementResult Session::Private::runProcedure(const QList<Token> &t, qsizetype nameAt, const QString &statement,
                                               const QList<Value> &params)
{
    const auto syntax = [&] {
        return failed(102, QStringLiteral("The stand-in server cannot read the procedure call \"%1\".")
                               .arg(statement.simplified()));
    };
    qsizetype i = nameAt;
    if (i >= t.size() || !isName(t[i]))
        return syntax();
    QString name = t[i++].text;
    while (i + 1 < t.size() && t[i].kind == Token::Punct && t[i].text == u"." && isName(t[i + 1])) {
        name = t[i + 1].text; // dbo.name
        i += 2;
    }
    bool bound = false;
    for (const Token &k : t)
        bound = bound || k.kind == Token::Param;
    platform::DbError e;
    bool ok = false;
    QSqlDatabase handle = db();
    // A test may have a procedure answer first as a procedure of a real
    // server can, with a row count ('count') or a row ('rows'), whatever
    // NOCOUNT says: a table TdsProcedurePrelude (Procedure, Answer) names it.
    QSqlQuery first(handle);
    first.prepare(QStringLiteral("SELECT Answer FROM TdsProcedurePrelude WHERE Procedure = ?"));
    first.addBindValue(name);
    if (first.exec() && first.next()) {
        StatementResult r;
        if (first.value(0).toString() == u"rows") {
            r.hasRows = true;
            r.columns << Column{QStringLiteral("Answer"), SqlType::Int, 0, true};
            r.rows << QList<Value>{Value{SqlType::Int, qint64(1)}};
        }
        r.count = 1;
        prelude << r;
    }
    first.finish();
    if (!bound) {
        // Values written into the text: the catalogue converts them as SQL Server converts literals.
        QString text = statement.trimmed();
        if (nameAt > 0)
            text = text.mid(t[nameAt].pos);
        ok = procedures.executeBatch(handle, text, &e);
    } else {
        QList<platform::ProcArg> args;
        while (i < t.size()) {
            if (i + 2 >= t.size() || t[i].kind != Token::Variable || t[i + 1].text != u"=")
                return syntax();
            platform::ProcArg arg;
            arg.name = t[i].text.mid(1);
            const Token &v = t[i + 2];
            if (v.kind == Token::Param) {
                if (v.param < 1 || v.param > params.size())
                    return failed(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text));
                const Value &p = params[v.param - 1];
                arg.value = p.value;
                arg.type = adoType(p.type);
                if ((p.type == SqlType::VarChar || p.type == SqlType::NVarChar) && !p.value.isNull()) {
                    // A procedure's parameter cuts a longer text without a
                    // word: SQL Server does not apply ANSI_WARNINGS to them.
                    if (const int length = maxLength(arg.name); length > 0)
                        arg.value = p.value.toString().left(length);
                    if (const auto id = storedGuid(p.value.toString()))
                        arg.value = *id;
                }
            } else if (isWord(v, "NULL")) {
                arg.value = QVariant();
            } else if (v.kind == Token::Quoted || v.kind == Token::Word) {
                arg.value = v.text;
            } else {
                return syntax();
            }
            args << arg;
            i += 3;
            if (i < t.size()) {
                if (t[i].text != u",")
                    return syntax();
                ++i;
            }
        }
        ok = procedures.execute(handle, name, args, &e);
    }
    if (ok)
        return {};
    // SQL Server's numbers where the catalogue has them; a constraint SQLite
    // refused inside it as SQL Server numbers it; its own refusals (no row)
    // are what the real procedures raise with RAISERROR.
    if (e.number > 0)
        return failed(e.number, e.description);
    const ServerError mapped = fromSqlite(QSqlError(QString(), e.description), statement);
    return failed(mapped.number == 102 ? 50000 : mapped.number, mapped.number == 102 ? e.description : mapped.message);
}

StatementResult Session::Private::runSqlite(const QString &statement, const QList<Value> &params)
{
    QString text;
    const QList<Token> tokens = scan(statement, &text);
    int highest = 0;
    for (const Token &t : tokens) {
        if (t.kind == Token::Variable)
            return failed(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(t.text));
        if (t.kind == Token::Param)
            highest = std::max(highest, t.param);
    }
    if (highest > params.size())
        return failed(137, QStringLiteral("Must declare the scalar variable \"@P%1\".").arg(highest));

    // Each value as the column it meets takes it: a GUID into the stored form,
    // refused where SQL Server refuses it.
    const QHash<int, QList<Use>> uses = parameterUses(statement, tokens);
    // SQL Server compares uniqueidentifiers by value: a column compared with a
    // GUID is compared in one form (upper case, no braces or blanks).
    QList<Use> byValue;
    QHash<int, QVariant> bound;
    for (int k = 1; k <= highest; ++k) {
        if (!uses.contains(k))
            continue;
        const Value &p = params[k - 1];
        const QList<Use> use = uses.value(k);
        bool guidColumn = false, textColumn = false, compared = false;
        for (const Use &u : use) {
            const SqlType type = mappedType(u.column).value_or(SqlType::Image); // no column is mapped to Image
            guidColumn = guidColumn || type == SqlType::Guid;
            textColumn = textColumn || (type != SqlType::Image && type != SqlType::Guid);
            compared = compared || u.compared;
        }
        for (const Use &u : use)
            if (const int length = maxLength(u.column); length > 0 && !u.compared && !p.value.isNull()
                && (p.type == SqlType::VarChar || p.type == SqlType::NVarChar) && p.value.toString().size() > length)
                return failed(8152, QStringLiteral("String or binary data would be truncated."));
        if (p.type == SqlType::Image && compared)
            return failed(402, QStringLiteral("The data types binary and image are incompatible in the equal to "
                                              "operator."));
        QVariant v = p.value;
        switch (p.type) {
        case SqlType::VarChar:
        case SqlType::NVarChar:
        case SqlType::Guid:
            if (!v.isNull()) {
                const auto id = storedGuid(v.toString());
                if (guidColumn && !id)
                    return failed(8169, QStringLiteral("Conversion failed when converting from a character string "
                                                       "to uniqueidentifier."));
                for (const Use &u : use)
                    if (id && u.compared && u.from >= 0 && mappedType(u.column) == SqlType::Guid)
                        byValue << u;
                if (id && (guidColumn || !textColumn))
                    v = *id;
                else
                    v = v.toString();
            } else {
                v = QVariant(QMetaType::fromType<QString>());
            }
            break;
        case SqlType::DateTime:
            if (!v.isNull()) {
                const QDateTime dt = v.toDateTime();
                v = dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            } else {
                v = QVariant(QMetaType::fromType<QString>());
            }
            break;
        case SqlType::Bit:
            v = v.isNull() ? QVariant(QMetaType::fromType<int>()) : QVariant(v.toBool() ? 1 : 0);
            break;
        case SqlType::Int:
        case SqlType::BigInt:
            v = v.isNull() ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(v.toLongLong());
            break;
        case SqlType::Float:
            v = v.isNull() ? QVariant(QMetaType::fromType<double>()) : QVariant(v.toDouble());
            break;
        case SqlType::VarBinary:
        case SqlType::Binary:
        case SqlType::Image:
            v = v.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(v.toByteArray());
            break;
        }
        bound.insert(k, v);
    }

    std::sort(byValue.begin(), byValue.end(), [](const Use &a, const Use &b) { return a.from > b.from; });
    QSet<int> valueMarks;
    if (!byValue.isEmpty()) {
        QString edited = statement;
        for (const Use &u : byValue) {
            edited.replace(u.from, u.to - u.from,
                           QStringLiteral("upper(trim(%1, ' {}'))").arg(statement.mid(u.from, u.to - u.from)));
            valueMarks.insert(u.mark);
        }
        scan(edited, &text);
    }

    QSqlDatabase handle = db();
    const auto totalChanges = [&handle] {
        QSqlQuery c(handle);
        return c.exec(QStringLiteral("SELECT total_changes()")) && c.next() ? c.value(0).toLongLong() : 0;
    };
    const qint64 before = totalChanges();
    QSqlQuery q(handle);
    q.setForwardOnly(true);
    if (!q.prepare(text)) {
        StatementResult r;
        r.error = fromSqlite(q.lastError(), statement);
        return r;
    }
    int mark = 0;
    for (const Token &t : tokens) {
        if (t.kind != Token::Param)
            continue;
        const QVariant v = bound.value(t.param);
        q.bindValue(mark, valueMarks.contains(mark) ? QVariant(v.toString().mid(1, 36)) : v);
        ++mark;
    }
    StatementResult r;
    if (!q.exec()) {
        r.error = fromSqlite(q.lastError(), statement);
        return r;
    }
    if (q.isSelect()) {
        r.hasRows = true;
        const QSqlRecord rec = q.record();
        QList<QList<QVariant>> cells;
        while (q.next()) {
            QList<QVariant> row;
            for (int c = 0; c < rec.count(); ++c)
                row << q.value(c);
            cells << row;
        }
        if (q.lastError().isValid()) {
            r.error = fromSqlite(q.lastError(), statement);
            r.hasRows = false;
            return r;
        }
        r.rows.resize(cells.size());
        for (int c = 0; c < rec.count(); ++c) {
            QList<QVariant> column;
            for (const auto &row : cells)
                column << row[c];
            const auto mapped = mappedType(rec.fieldName(c));
            const int length = maxLength(rec.fieldName(c));
            const bool fits = mapped && std::all_of(column.cbegin(), column.cend(), [&](const QVariant &v) {
                                  return asType(*mapped, v).has_value()
                                         && (length == 0 || v.isNull() || v.toString().size() <= length);
                              });
            const SqlType chosen = fits ? *mapped : typeByValues(column, rec.field(c).metaType());
            r.columns << Column{rec.fieldName(c), chosen, columnSize(chosen, fits ? length : 0, column), true};
            for (qsizetype row = 0; row < cells.size(); ++row)
                r.rows[row] << Value{chosen, asType(chosen, column[row]).value_or(column[row].toString())};
        }
        if (!nocount)
            r.count = r.rows.size();
        return r;
    }
    const QString verb = tokens.isEmpty() ? QString() : tokens[0].text.toUpper();
    if (!nocount && (verb == u"INSERT" || verb == u"UPDATE" || verb == u"DELETE")) {
        // Through a view, the rows change in its trigger, which only the total counts.
        const qint64 direct = q.numRowsAffected();
        q.finish();
        r.count = direct > 0 ? direct : totalChanges() - before;
    }
    return r;
}

} // namespace quillor::test::tds
