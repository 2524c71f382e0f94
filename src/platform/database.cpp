#include "platform/database.h"

#include "platform/odbcstatement.h"
#include "platform/registry.h"
#include "platform/serverway.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QUuid>

#include <atomic>
#include <utility>

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

std::atomic<int> gDatabaseSerial{0};

Database::StatementObserver &statementObserver()
{
    static Database::StatementObserver observer;
    return observer;
}

// A login that finds no server gives up after this many seconds (the
// driver's own default waits far longer); the profile's connection text
// cannot set it, as FreeTDS takes no such key.
constexpr int kLoginTimeout = 15;
// A statement that gets no answer gives up after this many seconds, unless
// the connection text sets FreeTDS's own "Timeout".
constexpr int kStatementTimeout = 30;

const QString kLostInTransaction =
    QStringLiteral("The connection to the database was lost during the transaction; nothing of it was kept.");

// What a caller must know of a failure that took the connection with it.
void markLost(DbError *error)
{
    if (error)
        error->lost = true;
}

} // namespace

void observe(const QString &sql, const std::source_location &where)
{
    if (const auto &observer = statementObserver())
        observer(sql, where);
}

// ---------------------------------------------------------------------------
// What the layer's files share (serverway.h)

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
Database::RowRewrite &standInRowRewrite()
{
    static Database::RowRewrite rewrite;
    return rewrite;
}

std::optional<QVariant> boundAlike(const QVariant &value)
{
    if (!value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    if (value.isNull())
        return value;
    if (value.typeId() == QMetaType::QUuid)
        return value.toUuid().toString(QUuid::WithBraces).toUpper();
    return std::nullopt;
}

void Rows::name(const QStringList &columns)
{
    names = columns;
    index.clear();
    exact.clear();
    for (int i = 0; i < columns.size(); ++i) {
        index.insert(columns[i].toLower(), i);
        exact.insert(columns[i], i);
    }
}

namespace {

class NoRows final : public Rows {
public:
    bool next(QVariantList &) override { return false; }
    Outcome end(DbError *error) override
    {
        if (error)
            *error = {};
        return Outcome::Done;
    }
};

} // namespace

std::unique_ptr<Rows> noRows() { return std::make_unique<NoRows>(); }

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
            // "}}" inside braces is a brace of the value, not its end.
            qsizetype close = end + 1;
            while (close < text.size()) {
                if (text[close] == u'}') {
                    if (close + 1 < text.size() && text[close + 1] == u'}') {
                        close += 2;
                        continue;
                    }
                    break;
                }
                ++close;
            }
            end = close < text.size() ? close + 1 : text.size();
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

bool odbcTextSets(const QString &text, const QString &key)
{
    const auto pairs = odbcPairs(text);
    return std::any_of(pairs.cbegin(), pairs.cend(),
                       [&](const auto &pair) { return pair.first.compare(key, Qt::CaseInsensitive) == 0; });
}

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
    // Qt puts "FILEDSN=" in front of a text that names a ".dsn" file, else
    // "DSN=" in front of one that holds neither "DRIVER=" nor "SERVER=": a
    // text that already starts with that key would have it twice.
    const bool fileDsn = out.contains(QLatin1String(".dsn"), Qt::CaseInsensitive);
    const bool qtAddsDsn = !fileDsn && !out.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
                           && !out.contains(QLatin1String("SERVER="), Qt::CaseInsensitive);
    if (fileDsn || qtAddsDsn) {
        static const QRegularExpression fileKey(QStringLiteral("^FILEDSN\\s*=\\s*"),
                                                QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression dsnKey(QStringLiteral("^DSN\\s*=\\s*"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch key = (fileDsn ? fileKey : dsnKey).match(out);
        if (key.hasMatch())
            out.remove(0, key.capturedLength(0));
    }
    return out;
}

// ---------------------------------------------------------------------------
// Database

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

DbConnection *Database::connect(const QString &location, DbError *error)
{
    if (location.isEmpty()) {
        setError(error, dberr::ConnectionFailed,
                 QStringLiteral("No database is configured for this connection in the server profile."));
        return nullptr;
    }
    // A transaction whose connection went is over: nothing more of its work
    // may run, least of all on a new connection outside it. (Its connection
    // was dropped when it went, so only the work's own connection is found.)
    const auto transaction = m_transactionLost.find(location);
    if (auto it = m_connections.find(location); it != m_connections.end()) {
        DbConnection &conn = **it;
        const bool usable = conn.way->usable(conn, error);
        // No copy of the handle: one alive when the connection is dropped would keep it "in use".
        QSqlDatabase &db = conn.handle;
        if (usable && db.isOpen())
            return &conn;
        if (transaction != m_transactionLost.end()) {
            *transaction = true;
            dropConnection(location);
            setError(error, dberr::ConnectionFailed, kLostInTransaction);
            markLost(error);
            return nullptr;
        }
        if (!usable) {
            markLost(error);
            return nullptr;
        }
        if (db.open() && conn.way->opened(conn, error) == Outcome::Done)
            return &conn;
        if (!db.isOpen() && error)
            *error = fromSqlError(db.lastError(), dberr::ConnectionFailed);
        dropConnection(location);
        markLost(error);
        return nullptr;
    }
    if (transaction != m_transactionLost.end()) {
        *transaction = true;
        setError(error, dberr::ConnectionFailed, kLostInTransaction);
        markLost(error);
        return nullptr;
    }

    auto conn = std::make_shared<DbConnection>();
    // Never the name of a connection still open: one dropped before may have left a gap.
    conn->name = m_prefix + QString::number(gDatabaseSerial.fetch_add(1));
    QSqlDatabase db;
    bool isOdbc = false;
    bool standIn = false;
    SqlServerSettings settings;
    if (location.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        const QString path = location.mid(7);
        // Opening a missing file would silently create an empty database.
        if (!QFileInfo::exists(path)) {
            setError(error, dberr::ConnectionFailed, QStringLiteral("The database file %1 does not exist.").arg(path));
            markLost(error);
            return nullptr;
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        standIn = true;
    } else if (location.startsWith(QLatin1String("odbc:"), Qt::CaseInsensitive)) {
        const QString text = odbcConnectionText(location.mid(5));
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), conn->name);
        db.setDatabaseName(text);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kLoginTimeout));
        settings.statementTimeout = odbcTextSets(text, QStringLiteral("Timeout")) ? 0 : kStatementTimeout;
        isOdbc = true;
    } else {
        setError(error, dberr::ConnectionFailed,
                 QStringLiteral("The database location \"%1\" is neither sqlite: nor odbc:.").arg(location));
        markLost(error);
        return nullptr;
    }
    if (!db.open()) {
        const DbError e = fromSqlError(db.lastError(), dberr::ConnectionFailed);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(conn->name);
        if (error)
            *error = e;
        markLost(error);
        return nullptr;
    }
    // The connection's way, chosen here once. A stand-in database reached
    // through ODBC is the stand-in all the same: its procedures run from the
    // catalogue and its values are bound as text. Qt's dbmsType() does not
    // know every driver, so the driver manager is asked on the connection's handle.
    if (isOdbc)
        standIn = odbc::dbmsName(odbc::connectionHandle(db)).startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive);
    conn->way = standIn ? standInWay(m_standIn, m_queryCount) : sqlServerWay(m_queryCount, settings);
    // The connection holds the only handle: one copy left here would keep it
    // "in use" when a connection that failed its first reads is dropped.
    conn->handle = std::exchange(db, QSqlDatabase());
    m_connections.insert(location, conn);
    // A connection whose first reads went unanswered is no connection: the
    // next statement would only wait for the same silence.
    if (conn->way->opened(*conn, error) != Outcome::Done) {
        dropConnection(location);
        markLost(error);
        return nullptr;
    }
    return conn.get();
}

DbConnection *Database::connectToWrite(const QString &location, DbError *error)
{
    DbConnection *conn = connect(location, error);
    // Inside a transaction the connection is the transaction's, whatever it left.
    if (!conn || m_transactionLost.contains(location) || conn->way->stillThere(*conn))
        return conn;
    dropConnection(location);
    return connect(location, error);
}

void Database::dropConnection(const QString &location)
{
    const auto it = m_connections.find(location);
    if (it == m_connections.end())
        return;
    if (const auto transaction = m_transactionLost.find(location); transaction != m_transactionLost.end())
        *transaction = true;
    const QString name = (*it)->name;
    (*it)->way->closing(**it);
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
    const DbConnection *conn = connect(locationOf(connectionString), nullptr);
    return conn && conn->way->matchesObjectIdsByValue();
}

Outcome Database::onceMoreIfGone(const QString &location, DbError *error,
                                 const std::function<Outcome(DbConnection &, bool &repeatable)> &attempt)
{
    // What met a connection found gone changed nothing the server kept and
    // handed on nothing: it runs once more, on a new connection (a server
    // restarted or a connection cut while idle costs the user nothing). Not
    // after a time-out (the server is there but slow), and not inside a
    // transaction, which went with its connection.
    for (bool again = true;; again = false) {
        DbConnection *conn = connect(location, error);
        if (!conn)
            return Outcome::Lost;
        bool repeatable = true;
        // Whatever the attempt holds on the connection is gone when it returns.
        const Outcome outcome = attempt(*conn, repeatable);
        if (!isLost(outcome))
            return outcome;
        dropConnection(location);
        markLost(error);
        if (!again || outcome != Outcome::Gone || !repeatable || m_transactionLost.contains(location))
            return outcome;
        if (error)
            *error = {};
    }
}

bool Database::read(const QString &connectionString, const QString &sql, const QVariantList &params,
                    const std::function<void(const Rows &)> &described,
                    const std::function<void(const QVariantList &row)> &each, DbError *error,
                    const std::source_location &where)
{
    observe(sql, where);
    // Once a row was handed on, the read is not repeated.
    return onceMoreIfGone(locationOf(connectionString), error, [&](DbConnection &conn, bool &repeatable) {
               ++m_queryCount;
               Outcome outcome = Outcome::Done;
               const std::unique_ptr<Rows> rows = conn.way->read(conn, sql, params, error, outcome);
               if (!rows)
                   return outcome;
               described(*rows);
               QVariantList row(rows->names.size());
               while (rows->next(row)) {
                   repeatable = false;
                   each(row);
               }
               // A read that broke off is no complete read.
               return rows->end(error);
           })
           == Outcome::Done;
}

Recordset Database::open(const QString &connectionString, const QString &sql, const QVariantList &params,
                         DbError *error, const std::source_location &where)
{
    Recordset rs;
    const auto described = [&rs](const Rows &rows) {
        rs.m_names = rows.names;
        rs.m_index = rows.index;
        rs.m_exact = rows.exact;
        rs.m_lengths = rows.lengths;
    };
    // Rows of a read that broke off are not handed out as if they were all there are.
    if (!read(connectionString, sql, params, described, [&](const QVariantList &row) { rs.m_rows.push_back(row); },
              error, where))
        return {};
    rs.m_open = true;
    rs.m_pos = 0;
    return rs;
}

bool Database::forEachRow(const QString &connectionString, const QString &sql, const QVariantList &params,
                          const std::function<void(const QVariantList &row)> &each, DbError *error,
                          const std::source_location &where)
{
    return read(connectionString, sql, params, [](const Rows &) {}, each, error, where);
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

namespace {

// The text a value goes to the server as, when it goes as text.
std::optional<QString> textOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull() || value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

bool Database::updateRecordset(Recordset &rs, DbError *error)
{
    ++m_writeCount;
    const int keyCol = rs.fieldIndex(rs.m_keyColumn);
    if (keyCol < 0) {
        setError(error, dberr::ItemNotFound,
                 QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
        return false;
    }
    // A text longer than its column is refused here: the server would cut it or fail the row.
    for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it) {
        const int limit = rs.m_lengths.value(it.key());
        const std::optional<QString> text = textOf(it.value());
        if (limit > 0 && text && text->size() > limit) {
            if (error)
                *error = sqlserver::tooLong(rs.m_names[it.key()], *text, limit);
            return false;
        }
    }
    if (!rs.m_adding) {
        if (rs.isEOF() || rs.isBOF()) {
            setError(error, dberr::NoCurrentRecord,
                     QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                                    "operation requires a current record."));
            return false;
        }
        if (rs.m_pending.isEmpty())
            return true;
    }
    DbConnection *conn = connectToWrite(rs.m_location, error);
    if (!conn)
        return false;

    if (rs.m_adding) {
        ServerWay::NewRow add{rs.m_table, rs.m_keyColumn, rs.m_names, {}, {}};
        for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it) {
            add.columns << rs.m_names[it.key()];
            add.values << it.value();
        }
        QVector<QVariant> row(rs.m_names.size());
        bool readBack = false;
        ++m_queryCount;
        if (!wrote(rs.m_location, conn->way->insert(*conn, add, row, readBack, error), error))
            return false;
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

    QStringList sets;
    QVariantList values;
    for (auto it = rs.m_pending.cbegin(); it != rs.m_pending.cend(); ++it) {
        sets << rs.m_names[it.key()] + QStringLiteral(" = ?");
        values << it.value();
    }
    values << rs.m_rows[rs.m_pos][keyCol];
    const QString sql =
        QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(rs.m_table, sets.join(QStringLiteral(", ")), rs.m_keyColumn);
    observe(sql);
    ++m_queryCount;
    qint64 affected = 0;
    if (!wrote(rs.m_location, conn->way->update(*conn, sql, values, affected, error), error))
        return false;
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
    DbConnection *conn = connectToWrite(location, error);
    if (!conn)
        return false;
    ++m_queryCount;
    // The way's statement is gone by now: Qt warns of a connection dropped while a query holds it.
    return wrote(location, conn->way->execute(*conn, sql, params, error, rowsAffected), error);
}

bool Database::wrote(const QString &location, Outcome outcome, DbError *error)
{
    if (!isLost(outcome))
        return outcome == Outcome::Done;
    dropConnection(location);
    markLost(error);
    // The server rolls back a transaction whose connection went: nothing of it can have been kept.
    if (error && m_transactionLost.contains(location))
        error->mayHaveRun = false;
    return false;
}

std::optional<QList<ProcParameter>> Database::declaredParameters(const QString &connectionString,
                                                                 const QString &procedure, DbError *error)
{
    const QString location = locationOf(connectionString);
    const QString cacheKey = location + u'|' + procedure.toLower();
    if (auto it = m_paramCache.constFind(cacheKey); it != m_paramCache.cend())
        return *it;
    // A read like any other.
    std::optional<QList<ProcParameter>> declared;
    onceMoreIfGone(location, error, [&](DbConnection &conn, bool &) {
        Outcome outcome = Outcome::Done;
        declared = conn.way->parameters(conn, procedure, error, outcome);
        return outcome;
    });
    if (!declared)
        return std::nullopt;
    m_paramCache.insert(cacheKey, *declared);
    if (error)
        *error = {};
    return declared;
}

std::optional<QStringList> Database::procedureParameters(const QString &connectionString, const QString &procedure,
                                                         DbError *error)
{
    const auto declared = declaredParameters(connectionString, procedure, error);
    if (!declared)
        return std::nullopt;
    QStringList names;
    for (const ProcParameter &p : *declared)
        names << p.name;
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
    const auto declared = declaredParameters(connectionString, procedure, error);
    if (!declared)
        return false;
    QStringList names;
    for (const ProcParameter &p : *declared)
        names << p.name;
    const auto resolved = resolveArguments(procedure, names, args, error);
    if (!resolved)
        return false;
    const QString location = locationOf(connectionString);
    DbConnection *conn = connect(location, error);
    if (!conn)
        return false;
    // The server cuts a text longer than its parameter without a word: refused here instead.
    for (const ProcArg &arg : *resolved) {
        const ProcParameter &parameter = declared->at(names.indexOf(arg.name));
        const std::optional<QString> text = textOf(arg.value);
        if (parameter.maxLength <= 0 || !text)
            continue;
        const qsizetype length = conn->way->lengthOf(*text, parameter);
        if (length > parameter.maxLength) {
            if (error)
                *error = sqlserver::tooLong(u'@' + arg.name, length, parameter.maxLength, parameter.bytes);
            return false;
        }
    }
    conn = connectToWrite(location, error);
    if (!conn)
        return false;
    ++m_queryCount;
    return wrote(location, conn->way->call(*conn, procedure, *resolved, error), error);
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

bool Database::inTransaction(const QString &connectionString, const std::function<bool()> &work, DbError *error)
{
    const QString location = locationOf(connectionString);
    // Work inside a transaction already under way is part of it.
    if (m_transactionLost.contains(location))
        return work();
    const Outcome began = onceMoreIfGone(location, error, [&](DbConnection &conn, bool &) {
        ++m_queryCount;
        return conn.way->begin(conn, error);
    });
    if (began != Outcome::Done) {
        // Nothing a BEGIN that did not finish began can have been kept.
        if (error)
            error->mayHaveRun = false;
        // One answered with an error may have opened its transaction all the
        // same: left open, every later statement on the connection would run
        // inside it and be rolled back when the program ends.
        if (began == Outcome::Failed) {
            ++m_queryCount;
            DbError ignored;
            DbConnection &conn = *m_connections.value(location);
            if (conn.way->rollback(conn, &ignored) != Outcome::Done)
                dropConnection(location);
        }
        return false;
    }
    // Held weakly: a connection lost inside the work is dropped, and with it its transaction.
    const std::weak_ptr<DbConnection> held = m_connections.value(location);
    held.lock()->inTransaction = true;
    m_transactionLost.insert(location, false);
    const bool done = work();
    const bool lost = m_transactionLost.take(location);
    const std::shared_ptr<DbConnection> still = held.lock();
    if (still)
        still->inTransaction = false;
    if (lost || !still || m_connections.value(location) != still) {
        if (done) {
            setError(error, dberr::ConnectionFailed, kLostInTransaction);
            markLost(error);
        }
        return false;
    }
    ++m_queryCount;
    if (!done) {
        // The work's own error stands; a rollback the server refuses ends the connection.
        DbError ignored;
        if (still->way->rollback(*still, &ignored) != Outcome::Done)
            dropConnection(location);
        return false;
    }
    const Outcome committed = still->way->commit(*still, error);
    if (committed != Outcome::Done) {
        // Whatever the server still holds of the transaction goes with the
        // connection. A COMMIT whose answer was lost may have been kept
        // (error->mayHaveRun): the caller looks before it calls it failed.
        dropConnection(location);
        if (isLost(committed))
            markLost(error);
        return false;
    }
    return true;
}

} // namespace quillor::platform
