#include "platform/database.h"

#include "platform/identity.h"
#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <sys/stat.h>

namespace quillor::platform {

namespace {

const QString kPortKey = QStringLiteral("SOFTWARE\\Quillor\\Port");

QString portValue(const Registry &registry, const QString &name)
{
    const auto v = registry.value(RootKey::LocalMachine, kPortKey, name);
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz))
        return {};
    return v->data.toString();
}

// "sqlite:relative.db" is taken from the export's folder, so a server profile
// can be moved together with its databases.
QString resolveLocation(const QString &location, const QString &folder)
{
    if (!location.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive))
        return location;
    const QString path = location.mid(7);
    if (path.isEmpty() || QFileInfo(path).isAbsolute() || folder.isEmpty())
        return QStringLiteral("sqlite:") + path;
    return QStringLiteral("sqlite:") + QDir(folder).absoluteFilePath(path);
}

bool isIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^\\[?[A-Za-z_][A-Za-z0-9_]*\\]?$"));
    return re.match(name).hasMatch();
}

DbError fromSqlError(const QSqlError &e, int fallback)
{
    DbError err;
    bool ok = false;
    const int native = e.nativeErrorCode().toInt(&ok);
    err.number = ok && native != 0 ? native : fallback;
    err.description = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    if (err.description.isEmpty())
        err.description = e.driverText();
    return err;
}

void setError(DbError *out, int number, const QString &description)
{
    if (out)
        *out = DbError{number, description};
}

void setUnknownProcedure(DbError *out, const QString &procedure)
{
    setError(out, dberr::UnknownProcedure, QStringLiteral("Could not find stored procedure '%1'.").arg(procedure));
}

QString firstWord(const QString &sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(?:exec(?:ute)?\\s+)?([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool textEquals(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0;
}

std::atomic<int> gDatabaseSerial{0};

Database::StatementObserver &statementObserver()
{
    static Database::StatementObserver observer;
    return observer;
}

void observe(const QString &sql, const std::source_location &where)
{
    if (const auto &observer = statementObserver())
        observer(sql, where);
}

// The database system behind an ODBC connection as its driver names it
// ("SQLite", "Microsoft SQL Server"). Qt's dbmsType() answers "unknown" for
// some drivers, so the driver manager is asked on the connection's own handle.
QString odbcDbmsName(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return {};
    const SQLHDBC hdbc = *static_cast<const SQLHDBC *>(handle.constData());
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!hdbc || !SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name), &length)))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(name));
}

// A column value as every caller expects it whichever driver read it: Qt's
// ODBC driver gives an invalid QVariant for a Null text, which callers would
// take for a missing field.
QVariant readable(QVariant v)
{
    if (!v.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return v;
}

QVariant readValue(const QSqlQuery &q, int column) { return readable(q.value(column)); }

Database::RowRewrite &standInRowRewrite()
{
    static Database::RowRewrite rewrite;
    return rewrite;
}

// A query read once, front to back: Qt would otherwise ask the driver for a
// scrollable cursor, which FreeTDS serves with a server-side cursor.
void readOnce(QSqlQuery &q) { q.setForwardOnly(true); }

// True when a failed statement means the connection itself is gone, to be
// opened anew. Qt's SQLite driver calls every failed step a ConnectionError,
// a lock or a UNIQUE violation too, so there only SQLite's primary result
// codes for a file that cannot be used count.
bool connectionLost(const QSqlDatabase &db, const QSqlError &e)
{
    if (!db.isOpen())
        return true;
    if (db.driverName() != QLatin1String("QSQLITE"))
        return e.type() == QSqlError::ConnectionError;
    enum SqlitePrimary { IoError = 10, Corrupt = 11, CannotOpen = 14, NotADatabase = 26 };
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xFF;
    return ok && (code == IoError || code == Corrupt || code == CannotOpen || code == NotADatabase);
}

// The driver's own rows of a SQL Server batch, for readEveryResult.
class QueryResults final : public sqlserver::BatchResults {
public:
    explicit QueryResults(QSqlQuery &q) : m_q(q) {}
    bool isSelect() const override { return m_q.isSelect(); }
    bool next() override { return m_q.next(); }
    QSqlRecord record() const override { return m_q.record(); }
    bool nextResult() override { return m_q.nextResult(); }
    QSqlError lastError() const override { return m_q.lastError(); }

private:
    QSqlQuery &m_q;
};

} // namespace

// ---------------------------------------------------------------------------
// ServerProfile

ServerProfile ServerProfile::fromRegistry(const Registry &registry)
{
    ServerProfile p;
    p.mainDatabase = resolveLocation(portValue(registry, QStringLiteral("MainDatabase")), registry.folder());
    p.directoryDatabase = resolveLocation(portValue(registry, QStringLiteral("DirectoryDatabase")), registry.folder());
    p.serverHost = portValue(registry, QStringLiteral("ServerHost"));
    p.toolsSiteHost = portValue(registry, QStringLiteral("ToolsSiteHost"));
    return p;
}

QString ServerProfile::locationFor(const QString &connectionString) const
{
    QString catalog;
    const QStringList pairs = connectionString.split(u';', Qt::SkipEmptyParts);
    for (const QString &pair : pairs) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = pair.left(eq).trimmed();
        if (key.compare(QLatin1String("Initial Catalog"), Qt::CaseInsensitive) == 0
            || key.compare(QLatin1String("database"), Qt::CaseInsensitive) == 0)
            catalog = pair.mid(eq + 1).trimmed();
    }
    if (catalog.compare(QLatin1String("TolvaDirDB"), Qt::CaseInsensitive) == 0)
        return directoryDatabase;
    return mainDatabase;
}

// ---------------------------------------------------------------------------
// The ODBC connection text

namespace {

// The keys of an ODBC connection text with their values, braces kept: a
// value in braces may hold ';'.
QList<std::pair<QString, QString>> odbcPairs(const QString &text)
{
    QList<std::pair<QString, QString>> pairs;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            i = semi < 0 ? text.size() : semi + 1;
            continue;
        }
        qsizetype end = eq + 1;
        while (end < text.size() && text[end].isSpace())
            ++end;
        if (end < text.size() && text[end] == u'{') {
            const qsizetype close = text.indexOf(u'}', end);
            end = close < 0 ? text.size() : close + 1;
        }
        end = text.indexOf(u';', end);
        if (end < 0)
            end = text.size();
        pairs.append({text.mid(i, eq - i).trimmed(), text.mid(eq + 1, end - eq - 1).trimmed()});
        i = end + 1;
    }
    return pairs;
}

} // namespace

QString odbcConnectionText(const QString &text)
{
    QString out = text.trimmed();
    bool freeTds = false;
    bool charset = false;
    for (const auto &[key, value] : odbcPairs(out)) {
        QString v = value;
        if (v.startsWith(u'{') && v.endsWith(u'}'))
            v = v.mid(1, v.size() - 2).trimmed();
        if (key.compare(QLatin1String("Driver"), Qt::CaseInsensitive) == 0)
            freeTds = v.compare(QLatin1String("FreeTDS"), Qt::CaseInsensitive) == 0
                      || QFileInfo(v).fileName().contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive);
        else if (key.compare(QLatin1String("ClientCharset"), Qt::CaseInsensitive) == 0)
            charset = true;
    }
    if (freeTds && !charset) {
        if (!out.endsWith(u';'))
            out += u';';
        out += QStringLiteral("ClientCharset=UTF-8");
    }
    // The tests Qt makes before it puts "DSN=" in front.
    const auto qtAddsDsn = [](const QString &t) {
        return !t.contains(QLatin1String(".dsn"), Qt::CaseInsensitive)
               && !t.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
               && !t.contains(QLatin1String("SERVER="), Qt::CaseInsensitive);
    };
    if (out.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive) && qtAddsDsn(out))
        out.remove(0, 4);
    return out;
}

// ---------------------------------------------------------------------------
// Recordset

Recordset::Recordset() = default;

int Recordset::fieldIndex(const QString &name) const
{
    // Most callers write the name as the server does; only the others pay for the folding.
    if (const auto it = m_exact.constFind(name); it != m_exact.cend())
        return *it;
    return m_index.value(name.toLower(), -1);
}

bool Recordset::hasField(const QString &name) const { return fieldIndex(name) >= 0; }

QVariant Recordset::field(const QString &name) const
{
    const int col = fieldIndex(name);
    if (col < 0)
        return {};
    if (m_adding)
        return m_pending.value(col);
    if (m_pos < 0 || m_pos >= m_rows.size())
        return {};
    if (m_pending.contains(col))
        return m_pending.value(col);
    return m_rows[m_pos][col];
}

bool Recordset::isNull(const QString &name) const { return field(name).isNull(); }

QString Recordset::text(const QString &name) const
{
    const QVariant v = field(name);
    return v.isNull() ? QString() : v.toString();
}

QDateTime Recordset::dateField(const QString &name) const
{
    const QVariant v = field(name);
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString s = v.toString().trimmed();
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                               "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
        QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    return {};
}

QVariant Recordset::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_names.size())
        return {};
    return m_rows[row][column];
}

bool Recordset::Find(const QString &column, const QVariant &value)
{
    return Find(column, [&value](const QVariant &stored) { return textEquals(stored, value); });
}

bool Recordset::Find(const QString &column, const std::function<bool(const QVariant &)> &matches)
{
    const int col = fieldIndex(column);
    if (col < 0) {
        m_pos = m_rows.size();
        return false;
    }
    if (m_pos < 0)
        m_pos = 0;
    for (; m_pos < m_rows.size(); ++m_pos) {
        if (matches(m_rows[m_pos][col]))
            return true;
    }
    return false;
}

bool Recordset::setField(const QString &name, const QVariant &value)
{
    const int col = fieldIndex(name);
    if (col < 0)
        return false;
    m_pending.insert(col, value);
    return true;
}

void Recordset::AddNew()
{
    m_pending.clear();
    m_adding = true;
}

bool Recordset::Update(DbError *error)
{
    if (!m_db) {
        setError(error, dberr::QueryFailed, QStringLiteral("The recordset is read-only."));
        return false;
    }
    return m_db->updateRecordset(*this, error);
}

void Recordset::Close()
{
    m_open = false;
    m_rows.clear();
    m_pending.clear();
    m_adding = false;
    m_pos = 0;
}

// ---------------------------------------------------------------------------
// Database

// A prepared statement kept for reuse, with the field names of its rows.
struct PreparedStatement {
    QSqlQuery query;
    bool standIn = false;
    bool described = false;
    QStringList names;
    QHash<QString, int> index;
    QHash<QString, int> exact;
    explicit PreparedStatement(const QSqlDatabase &db) : query(db) {}
};

// --- the stand-in's database file under an open connection -----------------
//
// A connection holds its SQLite file open: when the file is deleted or
// replaced while the program runs, the connection goes on reading the old
// file, and its writes fail as "readonly database" or are lost. So a stand-in
// connection notes which file it opened and, before each use, reopens when
// another file stands at that path, or reports that there is none.

namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

// The file of a stand-in database's main schema, whichever driver opened it.
QString databaseFile(const QSqlDatabase &db)
{
    QSqlQuery list(db);
    readOnce(list);
    if (!list.exec(QStringLiteral("PRAGMA database_list")))
        return {};
    while (list.next())
        if (list.value(1).toString() == QLatin1String("main"))
            return list.value(2).toString();
    return {};
}

} // namespace

struct Database::Connection {
    QString name;
    bool standIn = false;
    QSqlDatabase handle;
    // Reads are prepared once per text: the tree sends the same few queries for every node.
    QHash<QString, std::shared_ptr<PreparedStatement>> statements;
    // A stand-in's file and which file it was when the connection opened it.
    QString file;
    FileIdentity opened;
    QSqlDatabase db() const { return handle; }

    // What a stand-in connection needs after every opening: the server's
    // foreign keys left to its procedures, and the file it opened noted.
    void settle()
    {
        if (!standIn)
            return;
        QSqlQuery pragma(handle);
        readOnce(pragma);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        if (file.isEmpty())
            file = databaseFile(handle);
        opened = fileIdentity(file).value_or(FileIdentity{});
    }
    // False, with the reason, when no file stands at the path any more. A
    // different file there closes the connection, to be opened on it anew.
    bool followFile(DbError *error)
    {
        if (file.isEmpty())
            return true;
        const std::optional<FileIdentity> now = fileIdentity(file);
        if (now && *now == opened)
            return true;
        statements.clear();
        handle.close();
        if (now)
            return true;
        setError(error, dberr::ConnectionFailed, QStringLiteral("The database file %1 does not exist.").arg(file));
        return false;
    }
};

Database::Database(ServerProfile profile, std::shared_ptr<ProcedureCatalogue> standIn)
    : m_profile(std::move(profile)), m_standIn(std::move(standIn)),
      m_prefix(QStringLiteral("quillor-db-%1-").arg(gDatabaseSerial.fetch_add(1)))
{
}

Database::~Database()
{
    const QStringList locations = m_connections.keys();
    for (const QString &location : locations)
        dropConnection(location);
}

Database::Connection *Database::connect(const QString &location, DbError *error)
{
    if (location.isEmpty()) {
        setError(error, dberr::ConnectionFailed,
                 QStringLiteral("No database is configured for this connection in the server profile."));
        return nullptr;
    }
    if (auto it = m_connections.find(location); it != m_connections.end()) {
        if (!(*it)->followFile(error))
            return nullptr;
        QSqlDatabase &db = (*it)->handle;
        if (db.isOpen())
            return it->get();
        if (db.open()) {
            (*it)->settle();
            return it->get();
        }
        const DbError e = fromSqlError(db.lastError(), dberr::ConnectionFailed);
        dropConnection(location);
        if (error)
            *error = e;
        return nullptr;
    }

    auto conn = std::make_shared<Connection>();
    // Never the name of a connection still open: one dropped before may have left a gap.
    conn->name = m_prefix + QString::number(gDatabaseSerial.fetch_add(1));
    QSqlDatabase db;
    bool isOdbc = false;
    if (location.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        const QString path = location.mid(7);
        // Opening a missing file would silently create an empty database.
        if (!QFileInfo::exists(path)) {
            setError(error, dberr::ConnectionFailed, QStringLiteral("The database file %1 does not exist.").arg(path));
            return nullptr;
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        conn->standIn = true;
    } else if (location.startsWith(QLatin1String("odbc:"), Qt::CaseInsensitive)) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), conn->name);
        db.setDatabaseName(odbcConnectionText(location.mid(5)));
        isOdbc = true;
    } else {
        setError(error, dberr::ConnectionFailed,
                 QStringLiteral("The database location \"%1\" is neither sqlite: nor odbc:.").arg(location));
        return nullptr;
    }
    if (!db.open()) {
        const DbError e = fromSqlError(db.lastError(), dberr::ConnectionFailed);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(conn->name);
        if (error)
            *error = e;
        return nullptr;
    }
    // A stand-in database reached through ODBC is the stand-in all the same:
    // its procedures run from the catalogue and its values are bound as text.
    if (isOdbc)
        conn->standIn = odbcDbmsName(db).startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive);
    conn->handle = db;
    conn->settle();
    m_connections.insert(location, conn);
    return conn.get();
}

void Database::dropConnection(const QString &location)
{
    const auto it = m_connections.find(location);
    if (it == m_connections.end())
        return;
    const QString name = (*it)->name;
    (*it)->statements.clear();
    if ((*it)->handle.isOpen())
        (*it)->handle.close();
    (*it)->handle = QSqlDatabase();
    m_connections.erase(it);
    QSqlDatabase::removeDatabase(name);
}

QString Database::locationOf(const QString &connectionString)
{
    auto it = m_locations.constFind(connectionString);
    if (it == m_locations.cend())
        it = m_locations.insert(connectionString, m_profile.locationFor(connectionString));
    return *it;
}

QVariant Database::toBindable(const QVariant &value, bool standIn)
{
    const int type = value.metaType().id();
    if (!value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    if (value.isNull())
        return value;
    // ObjectIDs travel as their braced text; SQL Server converts it to a GUID
    // itself, where a QUuid would be bound as bytes the stand-in cannot read.
    if (type == QMetaType::QUuid)
        return value.toUuid().toString(QUuid::WithBraces).toUpper();
    if (standIn) {
        if (type == QMetaType::QDateTime)
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (type == QMetaType::QDate)
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
        if (type == QMetaType::Bool)
            return value.toBool() ? 1 : 0;
    } else if (type == QMetaType::QDateTime) {
        // The server's dates carry whole seconds; a fraction would be refused by
        // some drivers ("Datetime field overflow") and make a date read back unequal.
        QDateTime whole = value.toDateTime();
        whole.setTime(QTime(whole.time().hour(), whole.time().minute(), whole.time().second()));
        return whole;
    }
    return value;
}

namespace {

bool bindAndExec(QSqlQuery &q, const QString &sql, const QVariantList &params, bool standIn)
{
    readOnce(q);
    if (!q.prepare(sql))
        return false;
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, Database::toBindable(params[i], standIn));
    return q.exec();
}

} // namespace

void Database::setStatementObserver(StatementObserver observer)
{
    statementObserver() = std::move(observer);
}

void Database::setStandInRowRewrite(RowRewrite rewrite)
{
    standInRowRewrite() = std::move(rewrite);
}

bool Database::matchesObjectIdsByValue(const QString &connectionString)
{
    const Connection *conn = connect(locationOf(connectionString), nullptr);
    return conn && (!conn->standIn || standInRowRewrite());
}

std::shared_ptr<PreparedStatement> Database::run(const QString &connectionString, const QString &sql,
                                                 const QVariantList &params, DbError *error,
                                                 const std::source_location &where)
{
    observe(sql, where);
    const QString location = locationOf(connectionString);
    Connection *conn = connect(location, error);
    if (!conn)
        return nullptr;
    std::shared_ptr<PreparedStatement> st = conn->statements.value(sql);
    if (!st) {
        st = std::make_shared<PreparedStatement>(conn->handle);
        st->standIn = conn->standIn;
        readOnce(st->query);
        if (!st->query.prepare(sql)) {
            ++m_queryCount;
            const QSqlError failure = st->query.lastError();
            if (error)
                *error = fromSqlError(failure, dberr::QueryFailed);
            if (connectionLost(conn->handle, failure)) {
                st.reset();
                dropConnection(location);
            }
            return nullptr;
        }
        // Texts with many values (IN lists of every length) would fill the cache for nothing.
        if (conn->statements.size() > 256)
            conn->statements.clear();
        conn->statements.insert(sql, st);
    }
    QSqlQuery &q = st->query;
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, toBindable(params[i], conn->standIn));
    ++m_queryCount;
    if (!q.exec()) {
        const QSqlError failure = q.lastError();
        if (error)
            *error = fromSqlError(failure, dberr::QueryFailed);
        q.finish();
        conn->statements.remove(sql);
        if (connectionLost(conn->handle, failure)) {
            st.reset();
            dropConnection(location);
        }
        return nullptr;
    }
    if (!st->described) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            st->names << rec.fieldName(i);
            st->index.insert(rec.fieldName(i).toLower(), i);
            st->exact.insert(rec.fieldName(i), i);
        }
        st->described = true;
    }
    return st;
}

Recordset Database::open(const QString &connectionString, const QString &sql, const QVariantList &params,
                         DbError *error, const std::source_location &where)
{
    Recordset rs;
    const std::shared_ptr<PreparedStatement> st = run(connectionString, sql, params, error, where);
    if (!st)
        return rs;
    QSqlQuery &q = st->query;
    rs.m_names = st->names;
    rs.m_index = st->index;
    rs.m_exact = st->exact;
    const int columns = int(st->names.size());
    const RowRewrite *rewrite = st->standIn && standInRowRewrite() ? &standInRowRewrite() : nullptr;
    while (q.next()) {
        QVector<QVariant> row(columns);
        for (int i = 0; i < columns; ++i)
            row[i] = readValue(q, i);
        if (rewrite)
            (*rewrite)(st->names, row);
        rs.m_rows.push_back(std::move(row));
    }
    q.finish();
    rs.m_open = true;
    rs.m_pos = 0;
    if (error)
        *error = {};
    return rs;
}

bool Database::forEachRow(const QString &connectionString, const QString &sql, const QVariantList &params,
                          const std::function<void(const QVariantList &row)> &each, DbError *error,
                          const std::source_location &where)
{
    const std::shared_ptr<PreparedStatement> st = run(connectionString, sql, params, error, where);
    if (!st)
        return false;
    QSqlQuery &q = st->query;
    QVariantList row(st->names.size());
    const RowRewrite *rewrite = st->standIn && standInRowRewrite() ? &standInRowRewrite() : nullptr;
    while (q.next()) {
        for (int i = 0; i < row.size(); ++i)
            row[i] = readValue(q, i);
        if (rewrite)
            (*rewrite)(st->names, row);
        each(row);
    }
    // A read that broke off is no complete read.
    const QSqlError failure = q.lastError();
    q.finish();
    if (failure.isValid()) {
        if (error)
            *error = fromSqlError(failure, dberr::QueryFailed);
        return false;
    }
    if (error)
        *error = {};
    return true;
}

Recordset Database::openForUpdate(const QString &connectionString, const QString &table, const QString &keyColumn,
                                  const QString &whereSql, const QVariantList &params, DbError *error,
                                  const std::source_location &where)
{
    if (!isIdentifier(table) || !isIdentifier(keyColumn)) {
        setError(error, dberr::QueryFailed, QStringLiteral("Invalid table or column name."));
        return {};
    }
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!whereSql.trimmed().isEmpty())
        sql += QStringLiteral(" WHERE ") + whereSql;
    Recordset rs = open(connectionString, sql, params, error, where);
    if (!rs.isOpen())
        return rs;
    rs.m_db = this;
    rs.m_location = locationOf(connectionString);
    rs.m_table = table;
    rs.m_keyColumn = keyColumn;
    return rs;
}

bool Database::updateRecordset(Recordset &rs, DbError *error)
{
    ++m_writeCount;
    Connection *conn = connect(rs.m_location, error);
    if (!conn)
        return false;
    QSqlDatabase db = conn->db();
    QSqlQuery q(db);
    const int keyCol = rs.fieldIndex(rs.m_keyColumn);
    if (keyCol < 0) {
        setError(error, dberr::ItemNotFound,
                 QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
        return false;
    }

    if (rs.m_adding) {
        QStringList cols;
        QStringList marks;
        QVariantList values;
        for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it) {
            cols << rs.m_names[it.key()];
            marks << QStringLiteral("?");
            values << it.value();
        }
        QVector<QVariant> row(rs.m_names.size());
        bool readBack = false;
        ++m_queryCount;
        if (conn->standIn) {
            const QString sql = cols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(rs.m_table)
                                               : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                     .arg(rs.m_table, cols.join(u','), marks.join(u','));
            if (!bindAndExec(q, sql, values, true)) {
                if (error)
                    *error = fromSqlError(q.lastError(), dberr::QueryFailed);
                return false;
            }
            // Asked of SQLite itself: Qt's ODBC driver has no lastInsertId().
            QSqlQuery back(db);
            readOnce(back);
            ++m_queryCount;
            if (back.exec(QStringLiteral("SELECT * FROM %1 WHERE rowid = last_insert_rowid()").arg(rs.m_table))
                && back.next()) {
                const QSqlRecord rec = back.record();
                for (int i = 0; i < rs.m_names.size(); ++i)
                    row[i] = readValue(back, rec.indexOf(rs.m_names[i]));
                if (const RowRewrite &rewrite = standInRowRewrite())
                    rewrite(rs.m_names, row);
                readBack = true;
            }
        } else {
            const sqlserver::Insert insert = sqlserver::insertRow(rs.m_table, rs.m_keyColumn, cols, values, newGuidText());
            QSqlRecord rec;
            QueryResults results(q);
            if (!bindAndExec(q, insert.sql, insert.values, false)) {
                if (error)
                    *error = fromSqlError(q.lastError(), dberr::QueryFailed);
                return false;
            }
            if (!sqlserver::readEveryResult(results, error, &rec))
                return false;
            if (!rec.isEmpty()) {
                for (int i = 0; i < rs.m_names.size(); ++i)
                    row[i] = readable(rec.value(rs.m_names[i]));
                readBack = true;
            }
        }
        if (!readBack) {
            for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it)
                row[it.key()] = it.value();
        }
        rs.m_rows.push_back(row);
        rs.m_pos = rs.m_rows.size() - 1;
        rs.m_pending.clear();
        rs.m_adding = false;
        if (error)
            *error = {};
        return true;
    }

    if (rs.isEOF() || rs.isBOF()) {
        setError(error, dberr::NoCurrentRecord,
                 QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                                "operation requires a current record."));
        return false;
    }
    if (rs.m_pending.isEmpty())
        return true;
    QStringList sets;
    QVariantList values;
    for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it) {
        sets << rs.m_names[it.key()] + QStringLiteral(" = ?");
        values << it.value();
    }
    values << rs.m_rows[rs.m_pos][keyCol];
    const QString sql =
        QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(rs.m_table, sets.join(QStringLiteral(", ")), rs.m_keyColumn);
    // Through a view the rows change in its trigger, which SQLite counts only in total_changes().
    const auto totalChanges = [&db]() {
        QSqlQuery c(db);
        readOnce(c);
        return c.exec(QStringLiteral("SELECT total_changes()")) && c.next() ? c.value(0).toLongLong() : -1;
    };
    const qint64 before = conn->standIn ? totalChanges() : 0;
    ++m_queryCount;
    if (!bindAndExec(q, sql, values, conn->standIn)) {
        if (error)
            *error = fromSqlError(q.lastError(), dberr::QueryFailed);
        return false;
    }
    const qint64 affected = conn->standIn ? totalChanges() - before : q.numRowsAffected();
    if (!conn->standIn) {
        QueryResults results(q);
        if (!sqlserver::readEveryResult(results, error))
            return false;
    }
    if (affected == 0) {
        setError(error, dberr::NoRowAffected, QStringLiteral("The row to update no longer exists in %1.").arg(rs.m_table));
        return false;
    }
    for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it)
        rs.m_rows[rs.m_pos][it.key()] = it.value();
    rs.m_pending.clear();
    if (error)
        *error = {};
    return true;
}

bool Database::execute(const QString &connectionString, const QString &sql, const QVariantList &params,
                       DbError *error, int *rowsAffected, const std::source_location &where)
{
    observe(sql, where);
    ++m_writeCount;
    const QString location = locationOf(connectionString);
    Connection *conn = connect(location, error);
    if (!conn)
        return false;
    if (conn->standIn && m_standIn) {
        const QString word = firstWord(sql);
        if (!word.isEmpty() && m_standIn->parameters(word)) {
            ++m_queryCount;
            DbError e;
            const bool ok = m_standIn->executeBatch(conn->handle, sql, &e);
            if (error)
                *error = ok ? DbError{} : e;
            return ok;
        }
    }
    // The query is gone before a lost connection is dropped: Qt would warn
    // that the connection is still in use.
    std::optional<QSqlQuery> q(std::in_place, conn->handle);
    ++m_queryCount;
    if (!bindAndExec(*q, sql, params, conn->standIn)) {
        const QSqlError failure = q->lastError();
        if (error)
            *error = fromSqlError(failure, dberr::QueryFailed);
        q->finish();
        q.reset();
        if (connectionLost(conn->handle, failure))
            dropConnection(location);
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q->numRowsAffected();
    if (!conn->standIn) {
        QueryResults results(*q);
        if (!sqlserver::readEveryResult(results, error))
            return false;
    }
    if (error)
        *error = {};
    return true;
}

std::optional<QStringList> Database::procedureParameters(const QString &connectionString, const QString &procedure,
                                                         DbError *error)
{
    const QString location = locationOf(connectionString);
    const QString cacheKey = location + u'|' + procedure.toLower();
    if (auto it = m_paramCache.constFind(cacheKey); it != m_paramCache.cend())
        return *it;
    Connection *conn = connect(location, error);
    if (!conn)
        return std::nullopt;
    QStringList names;
    if (conn->standIn) {
        const auto declared = m_standIn ? m_standIn->parameters(procedure) : std::nullopt;
        if (!declared) {
            setUnknownProcedure(error, procedure);
            return std::nullopt;
        }
        names = *declared;
    } else {
        QSqlDatabase db = conn->db();
        ++m_queryCount;
        const auto declared = sqlserver::readParameters(db, procedure, error);
        if (!declared)
            return std::nullopt;
        names = *declared;
    }
    m_paramCache.insert(cacheKey, names);
    if (error)
        *error = {};
    return names;
}

bool Database::callProcedure(const QString &connectionString, const QString &procedure, const QList<ProcArg> &args,
                             DbError *error)
{
    ++m_writeCount;
    if (!isIdentifier(procedure)) {
        setUnknownProcedure(error, procedure);
        return false;
    }
    const auto declared = procedureParameters(connectionString, procedure, error);
    if (!declared)
        return false;

    const auto resolved = resolveArguments(procedure, *declared, args, error);
    if (!resolved)
        return false;

    const QString location = locationOf(connectionString);
    Connection *conn = connect(location, error);
    if (!conn)
        return false;
    ++m_queryCount;
    if (conn->standIn) {
        DbError e;
        const bool ok = m_standIn && m_standIn->execute(conn->handle, procedure, *resolved, &e);
        if (error)
            *error = ok ? DbError{} : e;
        return ok;
    }

    const sqlserver::ProcedureCall call = sqlserver::procedureCall(procedure, *resolved);
    bool lost = false;
    { // the query is gone before a lost connection is dropped
        QSqlQuery q(conn->handle);
        QueryResults results(q);
        const bool ran = bindAndExec(q, call.sql, call.values, false);
        if (ran && sqlserver::readEveryResult(results, error)) {
            if (error)
                *error = {};
            return true;
        }
        const QSqlError failure = q.lastError();
        if (!ran && error)
            *error = fromSqlError(failure, dberr::QueryFailed);
        // Whatever the failed batch left unread goes before another statement runs.
        q.finish();
        lost = !ran && connectionLost(conn->handle, failure);
    }
    if (lost) {
        dropConnection(location);
        return false;
    }
    // The batch may have ended before it turned the counts on again.
    if (conn->handle.isOpen()) {
        QSqlQuery again(conn->handle);
        readOnce(again);
        again.exec(sqlserver::countsOnAgain());
    }
    return false;
}

std::optional<QList<ProcArg>> resolveArguments(const QString &procedure, const QStringList &declared,
                                               const QList<ProcArg> &args, DbError *error)
{
    QList<ProcArg> resolved;
    for (const ProcArg &arg : args) {
        const QString name = arg.name.startsWith(u'@') ? arg.name.mid(1) : arg.name;
        const auto it = std::find_if(declared.cbegin(), declared.cend(), [&](const QString &d) {
            return d.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it == declared.cend()) {
            setError(error, dberr::ItemNotFound,
                     QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                                    "ordinal. (@%1 of %2)")
                         .arg(name, procedure));
            return std::nullopt;
        }
        ProcArg a{*it, arg.value, arg.type};
        const auto same = std::find_if(resolved.begin(), resolved.end(), [&](const ProcArg &r) { return r.name == a.name; });
        if (same != resolved.end())
            *same = a;
        else
            resolved << a;
    }
    return resolved;
}

namespace sqlserver {

ProcedureCall procedureCall(const QString &procedure, const QList<ProcArg> &args)
{
    ProcedureCall call;
    QStringList assignments;
    for (const ProcArg &a : args) {
        assignments << QStringLiteral("@%1 = ?").arg(a.name);
        QVariant v = a.value;
        // A Null keeps the type of its parameter, so the driver declares it as the procedure expects.
        if (v.isNull()) {
            switch (a.type) {
            case AdoType::Integer: v = QVariant(QMetaType::fromType<int>()); break;
            case AdoType::Date: v = QVariant(QMetaType::fromType<QDateTime>()); break;
            default: v = QVariant(QMetaType::fromType<QString>()); break;
            }
        }
        call.values << Database::toBindable(v, false);
    }
    call.sql = QStringLiteral("SET NOCOUNT ON; EXEC [%1]").arg(procedure);
    if (!assignments.isEmpty())
        call.sql += u' ' + assignments.join(QStringLiteral(", "));
    call.sql += QStringLiteral("; ") + countsOnAgain();
    return call;
}

QString countsOnAgain() { return QStringLiteral("SET NOCOUNT OFF"); }

bool readEveryResult(BatchResults &results, DbError *error, QSqlRecord *lastRow)
{
    if (lastRow)
        *lastRow = QSqlRecord();
    const auto failed = [&] {
        const QSqlError e = results.lastError();
        if (!e.isValid())
            return false;
        if (error)
            *error = fromSqlError(e, dberr::QueryFailed);
        if (lastRow)
            *lastRow = QSqlRecord();
        return true;
    };
    do {
        if (failed())
            return false;
        if (!results.isSelect())
            continue;
        if (lastRow)
            *lastRow = QSqlRecord();
        for (bool first = true; results.next(); first = false) {
            if (first && lastRow)
                *lastRow = results.record();
        }
        if (failed())
            return false;
    } while (results.nextResult());
    return !failed();
}

Insert insertRow(const QString &table, const QString &keyColumn, const QStringList &columns, const QVariantList &values,
                 const QString &newKey)
{
    Insert insert{QString(), values};
    QStringList names = columns;
    qsizetype key = -1;
    for (qsizetype i = 0; i < names.size() && key < 0; ++i)
        if (names[i].compare(keyColumn, Qt::CaseInsensitive) == 0)
            key = i;
    if (key < 0 && keyColumn.endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive)) {
        key = names.size();
        names << keyColumn;
        insert.values << newKey;
    }
    if (names.isEmpty()) {
        insert.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        const QStringList marks(names.size(), QStringLiteral("?"));
        insert.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u','), marks.join(u','));
    }
    insert.sql += QStringLiteral("; SELECT * FROM %1 WHERE %2 = ").arg(table, keyColumn);
    if (key < 0) {
        insert.sql += QStringLiteral("SCOPE_IDENTITY()");
    } else {
        insert.sql += u'?';
        const QVariant keyValue = insert.values[key];
        insert.values << keyValue;
    }
    return insert;
}

std::optional<QStringList> readParameters(QSqlDatabase &db, const QString &procedure, DbError *error)
{
    // One query, read to its end and finished: SQL Server without MARS takes
    // no other statement on the connection while a result is still unread.
    // The routine's own row comes even when it declares no parameter (the
    // LEFT JOIN), so an empty list still tells a procedure from none.
    QSqlQuery q(db);
    if (!bindAndExec(q,
                     QStringLiteral("SELECT r.ROUTINE_SCHEMA, p.PARAMETER_NAME FROM INFORMATION_SCHEMA.ROUTINES r "
                                    "LEFT JOIN INFORMATION_SCHEMA.PARAMETERS p ON p.SPECIFIC_SCHEMA = r.SPECIFIC_SCHEMA "
                                    "AND p.SPECIFIC_NAME = r.SPECIFIC_NAME "
                                    "WHERE r.ROUTINE_NAME = ? AND r.ROUTINE_TYPE = 'PROCEDURE' "
                                    "ORDER BY r.ROUTINE_SCHEMA, p.ORDINAL_POSITION"),
                     {procedure}, false)) {
        if (error)
            *error = fromSqlError(q.lastError(), dberr::QueryFailed);
        return std::nullopt;
    }
    // A procedure of that name may stand in more than one schema; the call
    // names none, so it reaches dbo's (the first schema's when dbo has none).
    QHash<QString, QStringList> bySchema;
    QStringList schemas;
    while (q.next()) {
        const QString schema = q.value(0).toString();
        if (!bySchema.contains(schema))
            schemas << schema;
        QString n = q.value(1).toString();
        if (n.startsWith(u'@'))
            n.remove(0, 1);
        QStringList &names = bySchema[schema];
        if (!n.isEmpty())
            names << n;
    }
    const QSqlError broke = q.lastError();
    q.finish();
    if (broke.isValid()) {
        if (error)
            *error = fromSqlError(broke, dberr::QueryFailed);
        return std::nullopt;
    }
    if (schemas.isEmpty()) {
        setUnknownProcedure(error, procedure);
        return std::nullopt;
    }
    const auto dbo = std::find_if(schemas.cbegin(), schemas.cend(), [](const QString &s) {
        return s.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0;
    });
    return bySchema.value(dbo != schemas.cend() ? *dbo : schemas.first());
}

} // namespace sqlserver

bool Database::inTransaction(const QString &connectionString, const std::function<bool()> &work, DbError *error)
{
    const QString location = locationOf(connectionString);
    Connection *conn = connect(location, error);
    if (!conn)
        return false;
    QSqlDatabase db = conn->db();
    if (!db.transaction()) {
        if (error)
            *error = fromSqlError(db.lastError(), dberr::QueryFailed);
        return false;
    }
    if (!work()) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        if (error)
            *error = fromSqlError(db.lastError(), dberr::QueryFailed);
        db.rollback();
        return false;
    }
    return true;
}

} // namespace quillor::platform
