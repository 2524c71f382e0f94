#include "embedded/procedures.h"

#include "platform/identity.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <limits>

namespace quillor::embedded {

using platform::DbError;
using platform::ProcArg;
namespace dberr = platform::dberr;

namespace {

// How a parameter's value is taken and where it goes.
enum class Conv {
    Key,       // the ObjectID of the row the call is about
    Int,       // integer column
    Bit,       // bit column: True/False or a number
    Text,      // text column, stored as sent
    Id,        // ObjectID column, stored as text
    Date,      // date column, stored as 'yyyy-MM-dd HH:mm:ss'
    AccessId,  // the object's primary extension (a row of table DTMFAccessID)
    Flag,      // a switch of the procedure itself, not a column
    Ticket,    // a directory synchronisation ticket to record
    Accepted   // declared and accepted as sent, without effect here
};

enum class Action { Modify, CreateCallHandler, CreateDirectoryHandler, CreateScopeList, DeleteTicket };

struct Param {
    QString name;
    Conv conv;
    QString column; // "" when the value does not go to a column of `table`
};

struct Procedure {
    QString name;
    Action action;
    QString table;
    QString keyColumn; // modify: the row's key; create: the new row's key
    int ownerType = 0; // object type of the rows this procedure keeps in DTMFAccessID
    QList<Param> params;

    const Param *param(const QString &lowerName) const
    {
        for (const Param &p : params) {
            if (p.name.compare(lowerName, Qt::CaseInsensitive) == 0)
                return &p;
        }
        return nullptr;
    }
};

// Converted values by lower-case parameter name; a null QVariant is Null.
using Values = QHash<QString, QVariant>;

const QString DisabledDate = QStringLiteral("1993-01-02 00:00:00");
const QString DateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

Param col(const char *name, Conv conv)
{
    return {QString::fromLatin1(name), conv, QString::fromLatin1(name)};
}

Param col(const char *name, Conv conv, const char *column)
{
    return {QString::fromLatin1(name), conv, QString::fromLatin1(column)};
}

Param arg(const char *name, Conv conv)
{
    return {QString::fromLatin1(name), conv, QString()};
}

QList<Param> exitParams(const QStringList &exits)
{
    QList<Param> list;
    const QList<QPair<QString, Conv>> parts = {{QStringLiteral("Action"), Conv::Int},
                                               {QStringLiteral("Conversation"), Conv::Text},
                                               {QStringLiteral("ObjectID"), Conv::Id},
                                               {QStringLiteral("ObjectIDType"), Conv::Int}};
    for (const QString &k : exits) {
        for (const auto &[suffix, conv] : parts)
            list << Param{k + suffix, conv, k + suffix};
    }
    return list;
}

QList<Procedure> buildCatalogue()
{
    QList<Procedure> list;

    list << Procedure{QStringLiteral("sp_ModifyCallHandler"), Action::Modify, QStringLiteral("CallHandler"),
                      QStringLiteral("CallHandlerObjectID"), 3,
                      {col("CallHandlerObjectID", Conv::Key), col("TextName", Conv::Text), arg("DTMFAccessID", Conv::AccessId),
                       col("Language", Conv::Int), col("ScheduleObjectName", Conv::Text), col("MaxMsgLen", Conv::Int),
                       col("EditMsg", Conv::Bit), col("SendUrgentMsg", Conv::Int), col("OneKeyDelay", Conv::Int),
                       col("AdministratorObjectID", Conv::Id), col("AdministratorObjectIDType", Conv::Int),
                       col("RecipientObjectID", Conv::Id), col("RecipientObjectIDType", Conv::Int),
                       col("AfterMessageAction", Conv::Int), col("AfterMessageConversation", Conv::Text),
                       col("AfterMessageObjectID", Conv::Id), col("AfterMessageObjectIDType", Conv::Int)}};

    Procedure directory{QStringLiteral("sp_ModifyDirectoryHandler"), Action::Modify, QStringLiteral("NameLookupHandler"),
                        QStringLiteral("NameLookupHandlerObjectID"), 6,
                        {col("DirectoryHandlerObjectID", Conv::Key, "NameLookupHandlerObjectID"), col("TextName", Conv::Text),
                         arg("DTMFAccessID", Conv::AccessId), col("Language", Conv::Int), col("SayExtension", Conv::Bit),
                         col("MenuStyle", Conv::Bit), col("AutoRoute", Conv::Bit), col("MaxMatches", Conv::Int),
                         col("SearchByFirstName", Conv::Bit), col("SearchScope", Conv::Int),
                         col("SearchScopeObjectID", Conv::Id), col("AdministratorObjectID", Conv::Id),
                         col("AdministratorObjectIDType", Conv::Int)}};
    directory.params << exitParams({QStringLiteral("Zero"), QStringLiteral("Exit"), QStringLiteral("NoInput"),
                                    QStringLiteral("NoSelection")});
    list << directory;

    list << Procedure{QStringLiteral("sp_ModifySubscriber"), Action::Modify, QStringLiteral("Subscriber"),
                      QStringLiteral("SubscriberObjectID"), 1,
                      {col("SubscriberObjectID", Conv::Key), arg("DTMFAccessID", Conv::AccessId),
                       arg("DirectorySync", Conv::Flag), arg("DirectorySyncTicket", Conv::Ticket),
                       col("ExitAction", Conv::Int), col("ExitConversation", Conv::Text), col("ExitObjectID", Conv::Id),
                       col("ExitObjectIDType", Conv::Int)}};

    list << Procedure{QStringLiteral("sp_ModifyContactRule"), Action::Modify, QStringLiteral("ContactRule"),
                      QStringLiteral("ContactRuleObjectID"), 0,
                      {col("ContactRuleObjectID", Conv::Key), col("TimeExpires", Conv::Date), col("Action", Conv::Int),
                       col("TransferType", Conv::Int), col("TransferRings", Conv::Int), col("Extension", Conv::Text)}};

    list << Procedure{QStringLiteral("csp_MessagingRuleModify"), Action::Modify, QStringLiteral("MessagingRule"),
                      QStringLiteral("MessagingRuleObjectID"), 0,
                      {col("MessagingRuleObjectID", Conv::Key), col("TimeExpires", Conv::Date),
                       col("IgnoreDigits", Conv::Bit), col("PlayWhat", Conv::Int), col("Reprompts", Conv::Int),
                       col("Action", Conv::Int), col("ConversationName", Conv::Text),
                       col("DestinationObjectID", Conv::Id), col("DestinationObjectIDType", Conv::Int)}};

    list << Procedure{QStringLiteral("sp_ModifyMenuEntry"), Action::Modify, QStringLiteral("MenuEntry"),
                      QStringLiteral("MenuEntryObjectID"), 0,
                      {col("MenuEntryObjectID", Conv::Key), col("Locked", Conv::Bit), col("Action", Conv::Int),
                       col("ConversationName", Conv::Text), col("DestinationObjectID", Conv::Id),
                       col("DestinationObjectIDType", Conv::Int)}};

    list << Procedure{QStringLiteral("sp_CreateScopeDList"), Action::CreateScopeList, QStringLiteral("ScopeDList"),
                      QStringLiteral("ScopeDListObjectID"), 0,
                      {col("DirectoryID", Conv::Id), col("DisplayName", Conv::Text)}};

    list << Procedure{QStringLiteral("sp_DeleteDirectorySyncTicket"), Action::DeleteTicket,
                      QStringLiteral("DirectorySyncTicket"), QStringLiteral("Ticket"), 0, {col("Ticket", Conv::Key)}};

    list << Procedure{QStringLiteral("csp_CallHandlerCreate"), Action::CreateCallHandler, QStringLiteral("CallHandler"),
                      QStringLiteral("CallHandlerObjectID"), 3,
                      {col("Alias", Conv::Text), col("TextName", Conv::Text), col("AdministratorObjectID", Conv::Id),
                       col("AdministratorObjectIDType", Conv::Int), col("AfterMessageAction", Conv::Int),
                       col("AfterMessageConversation", Conv::Text), col("EditMsg", Conv::Bit), col("IsPrimary", Conv::Bit),
                       col("Language", Conv::Int), arg("DtmfAccessId", Conv::AccessId), col("MaxMsgLen", Conv::Int),
                       col("OneKeyDelay", Conv::Int), col("ScheduleObjectName", Conv::Text),
                       col("SendUrgentMsg", Conv::Int), arg("CallHandlerTemplateObjectID", Conv::Accepted),
                       col("Undeletable", Conv::Bit)}};

    list << Procedure{QStringLiteral("sp_ImportCallHandler"), Action::CreateCallHandler, QStringLiteral("CallHandler"),
                      QStringLiteral("CallHandlerObjectID"), 3,
                      {col("Alias", Conv::Text), col("DisplayName", Conv::Text, "TextName"),
                       col("AfterMessageAction", Conv::Int), col("AfterMessageConversation", Conv::Text),
                       col("EditMsg", Conv::Bit), col("IsPrimary", Conv::Bit), col("Language", Conv::Int),
                       arg("DtmfId", Conv::AccessId), col("MaxMsgLen", Conv::Int), col("OneKeyDelay", Conv::Int),
                       col("ScheduleObjectName", Conv::Text), col("SendUrgentMsg", Conv::Int),
                       arg("CreateContactRules", Conv::Flag), arg("CreateMenuEntries", Conv::Flag),
                       arg("CreateMessagingRules", Conv::Flag), col("Undeletable", Conv::Bit)}};

    list << Procedure{QStringLiteral("sp_CreateDirectoryHandler"), Action::CreateDirectoryHandler,
                      QStringLiteral("NameLookupHandler"), QStringLiteral("NameLookupHandlerObjectID"), 6,
                      {col("Alias", Conv::Text), col("TextName", Conv::Text), col("Language", Conv::Int),
                       arg("DtmfAccessId", Conv::AccessId), col("ApplicationObjectID", Conv::Id),
                       col("SearchScopeObjectID", Conv::Id), col("SearchScope", Conv::Int), col("UID", Conv::Text),
                       col("EndDialDelay", Conv::Int), col("MaxMatches", Conv::Int), col("MenuStyle", Conv::Bit),
                       col("SayExtension", Conv::Bit), col("SearchByFirstName", Conv::Bit),
                       col("StartDialDelay", Conv::Int), col("Tries", Conv::Int), col("UseStarToExit", Conv::Bit),
                       col("NoSelectionAction", Conv::Int), col("NoSelectionConversation", Conv::Text),
                       col("NoSelectionObjectIDType", Conv::Int), col("NoInputAction", Conv::Int),
                       col("NoInputConversation", Conv::Text), col("NoInputObjectIDType", Conv::Int),
                       col("ZeroAction", Conv::Int), col("ZeroConversation", Conv::Text),
                       col("ZeroObjectIDType", Conv::Int), col("ExitObjectID", Conv::Id), col("ZeroObjectID", Conv::Id),
                       col("NoInputObjectID", Conv::Id), col("NoSelectionObjectID", Conv::Id),
                       col("ExitAction", Conv::Int), col("ExitConversation", Conv::Text),
                       col("ExitObjectIDType", Conv::Int), col("LocationObjectID", Conv::Id),
                       col("Undeletable", Conv::Bit), col("AdministratorObjectID", Conv::Id),
                       col("AdministratorObjectIDType", Conv::Int)}};
    return list;
}

const QHash<QString, Procedure> &catalogue()
{
    static const QHash<QString, Procedure> procedures = [] {
        QHash<QString, Procedure> byName;
        for (const Procedure &p : buildCatalogue())
            byName.insert(p.name.toLower(), p);
        return byName;
    }();
    return procedures;
}

const Procedure *findProcedure(const QString &name)
{
    QString key = name.trimmed().toLower();
    // "dbo.name" and "[name]" call the same procedure.
    key = key.section(u'.', -1);
    if (key.startsWith(u'[') && key.endsWith(u']'))
        key = key.mid(1, key.size() - 2);
    const auto it = catalogue().constFind(key);
    return it == catalogue().constEnd() ? nullptr : &it.value();
}

bool fail(DbError *error, int number, const QString &description)
{
    if (error)
        *error = DbError{number, description};
    return false;
}

bool queryFailed(DbError *error, const QSqlQuery &q)
{
    return fail(error, dberr::QueryFailed, q.lastError().text());
}

// ---- conversions, as the real server converts what it is sent ----

struct Source {
    bool batch = false;  // the value came from a batch text
    bool quoted = false; // ... as a quoted string
    QString typeName() const { return batch && quoted ? QStringLiteral("nvarchar") : QStringLiteral("varchar"); }
};

QString plainText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QUuid:
        return v.toUuid().toString(QUuid::WithBraces).toUpper();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(DateFormat);
    case QMetaType::QDate:
        return v.toDate().startOfDay().toString(DateFormat);
    default:
        return v.toString();
    }
}

bool isTextType(const QVariant &v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray
           || v.typeId() == QMetaType::QChar;
}

bool toInteger(const QVariant &in, const Source &src, const QString &target, qint64 *out, DbError *error)
{
    const auto refuse = [&](const QString &text) {
        return fail(error, dberr::ConversionFailed,
                    QStringLiteral("Conversion failed when converting the %1 value '%2' to data type %3.")
                        .arg(src.typeName(), text, target));
    };
    switch (in.typeId()) {
    case QMetaType::Bool:
        *out = in.toBool() ? 1 : 0;
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = in.toDouble();
        if (!(d > double(std::numeric_limits<qint64>::min()) && d < double(std::numeric_limits<qint64>::max())))
            return refuse(in.toString());
        *out = qint64(d); // the server truncates a fraction
        return true;
    }
    default:
        break;
    }
    if (!isTextType(in)) {
        bool ok = false;
        const qint64 n = in.toLongLong(&ok);
        if (!ok)
            return refuse(in.toString());
        *out = n;
        return true;
    }
    const QString raw = in.toString();
    const QString text = raw.trimmed();
    if (target == u"bit") {
        if (text.compare(u"true", Qt::CaseInsensitive) == 0) {
            *out = 1;
            return true;
        }
        if (text.compare(u"false", Qt::CaseInsensitive) == 0) {
            *out = 0;
            return true;
        }
    }
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return refuse(raw);
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()) {
        if (target == u"bit" && ok) {
            *out = 1;
            return true;
        }
        return fail(error, dberr::ConversionFailed,
                    QStringLiteral("The conversion of the %1 value '%2' overflowed an int column.")
                        .arg(src.typeName(), raw));
    }
    *out = n;
    return true;
}

// Two-digit years below 50 belong to this century, as on the real server.
int fullYear(const QString &digits)
{
    const int y = digits.toInt();
    if (digits.size() > 2)
        return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

std::optional<QDateTime> parseDateText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty()) // the real server reads an empty text as its base date
        return QDateTime(QDate(1900, 1, 1), QTime(0, 0));
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.\\d{1,7})?)?)?$"));
    static const QRegularExpression us(QStringLiteral(
        "^(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?)?$"));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    QString meridiem;
    if (const auto m = iso.match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        hour = m.captured(4).toInt();
        minute = m.captured(5).toInt();
        second = m.captured(6).toInt();
    } else if (const auto u = us.match(text); u.hasMatch()) {
        month = u.captured(1).toInt();
        day = u.captured(2).toInt();
        year = fullYear(u.captured(3));
        hour = u.captured(4).toInt();
        minute = u.captured(5).toInt();
        second = u.captured(6).toInt();
        meridiem = u.captured(7).toUpper();
    } else {
        return std::nullopt;
    }
    if (!meridiem.isEmpty()) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = (hour % 12) + (meridiem == u"PM" ? 12 : 0);
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

bool convert(const QVariant &in, Conv conv, const Source &src, QVariant *out, DbError *error)
{
    if (in.isNull()) {
        *out = QVariant();
        return true;
    }
    // A batch names a Null template value as an empty quoted text; for a number
    // or a date that keeps the Null rather than inventing a value.
    const bool emptyBatchText = src.batch && src.quoted && in.toString().isEmpty();
    switch (conv) {
    case Conv::Int:
    case Conv::Bit:
    case Conv::Flag: {
        if (emptyBatchText) {
            *out = QVariant();
            return true;
        }
        const bool bit = conv == Conv::Bit || conv == Conv::Flag;
        qint64 n = 0;
        if (!toInteger(in, src, bit ? QStringLiteral("bit") : QStringLiteral("int"), &n, error))
            return false;
        *out = bit ? QVariant(n != 0 ? 1 : 0) : QVariant(n);
        return true;
    }
    case Conv::Date: {
        if (emptyBatchText) {
            *out = QVariant();
            return true;
        }
        std::optional<QDateTime> when;
        if (in.typeId() == QMetaType::QDateTime) {
            if (in.toDateTime().isValid())
                when = in.toDateTime();
        } else if (in.typeId() == QMetaType::QDate) {
            if (in.toDate().isValid())
                when = in.toDate().startOfDay();
        } else {
            when = parseDateText(in.toString());
        }
        if (!when)
            return fail(error, dberr::ConversionFailed,
                        QStringLiteral("Conversion failed when converting date and/or time from character string."));
        // Stored as the wall-clock time it was sent with: the caller decides the zone.
        *out = when->toString(DateFormat);
        return true;
    }
    case Conv::AccessId:
        *out = plainText(in).trimmed();
        return true;
    case Conv::Key:
    case Conv::Id:
    case Conv::Text:
    case Conv::Ticket:
    case Conv::Accepted:
        *out = plainText(in);
        return true;
    }
    return false;
}

// ---- the database side ----

// Runs a procedure's statements as one unit: everything or nothing.
class Savepoint {
public:
    explicit Savepoint(QSqlDatabase &db) : m_db(db) {}
    ~Savepoint()
    {
        if (m_open)
            rollback();
    }
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;

    bool begin(DbError *error)
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SAVEPOINT quillor_procedure")))
            return queryFailed(error, q);
        m_open = true;
        return true;
    }
    bool release(DbError *error)
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("RELEASE SAVEPOINT quillor_procedure")))
            return queryFailed(error, q);
        m_open = false;
        return true;
    }
    void rollback()
    {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT quillor_procedure"));
        q.exec(QStringLiteral("RELEASE SAVEPOINT quillor_procedure"));
        m_open = false;
    }

private:
    QSqlDatabase &m_db;
    bool m_open = false;
};

bool run(QSqlDatabase &db, const QString &sql, const QVariantList &values, DbError *error, int *rows = nullptr)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        return queryFailed(error, q);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return queryFailed(error, q);
    if (rows)
        *rows = q.numRowsAffected();
    return true;
}

bool insertRow(QSqlDatabase &db, const QString &table, const QList<QPair<QString, QVariant>> &columns, DbError *error)
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (const auto &[name, value] : columns) {
        names << name;
        marks << QStringLiteral("?");
        values << value;
    }
    return run(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u", "), marks.join(u", ")),
               values, error);
}

// Gives `owner` the primary extension `extension`; an empty one removes it.
bool setPrimaryExtension(QSqlDatabase &db, const QString &owner, int ownerType, const QString &extension,
                         DbError *error)
{
    if (extension.isEmpty())
        return run(db, QStringLiteral("DELETE FROM DTMFAccessID WHERE ParentObjectID = ? AND IsPrimaryID = 1"), {owner},
                   error);
    int rows = 0;
    if (!run(db, QStringLiteral("UPDATE DTMFAccessID SET DTMFAccessID = ? WHERE ParentObjectID = ? AND IsPrimaryID = 1"),
             {extension, owner}, error, &rows))
        return false;
    if (rows > 0)
        return true;
    return insertRow(db, QStringLiteral("DTMFAccessID"),
                     {{QStringLiteral("DTMFAccessID"), extension},
                      {QStringLiteral("ParentObjectID"), owner},
                      {QStringLiteral("ParentObjectIDType"), ownerType},
                      {QStringLiteral("IsPrimaryID"), 1},
                      {QStringLiteral("DTMFAccessIDType"), 0}},
                     error);
}

bool missingParameter(const Procedure &p, const QString &name, DbError *error)
{
    return fail(error, procerr::MissingParameter,
                QStringLiteral("Procedure or function '%1' expects parameter '@%2', which was not supplied.")
                    .arg(p.name, name));
}

const Param *keyParam(const Procedure &p)
{
    for (const Param &param : p.params) {
        if (param.conv == Conv::Key)
            return &param;
    }
    return nullptr;
}

bool runModify(QSqlDatabase &db, const Procedure &p, const Values &values, DbError *error)
{
    const Param *key = keyParam(p);
    Q_ASSERT(key);
    if (!values.contains(key->name.toLower()))
        return missingParameter(p, key->name, error);
    const QVariant keyValue = values.value(key->name.toLower());

    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(p.table, p.keyColumn));
    find.addBindValue(keyValue);
    if (!find.exec())
        return queryFailed(error, find);
    if (!find.next())
        return fail(error, dberr::NoRowAffected,
                    QStringLiteral("%1: there is no %2 row with %3 = '%4'; nothing was changed.")
                        .arg(p.name, p.table, p.keyColumn, keyValue.toString()));
    // A primary call handler's extension is its subscriber's.
    QString owner = find.value(p.keyColumn).toString();
    int ownerType = p.ownerType;
    if (p.table == u"CallHandler" && find.value(QStringLiteral("IsPrimary")).toInt() == 1
        && !find.value(QStringLiteral("RecipientObjectID")).toString().isEmpty()) {
        owner = find.value(QStringLiteral("RecipientObjectID")).toString();
        ownerType = 1;
    }
    find.finish();

    QStringList sets;
    QVariantList bound;
    for (const Param &param : p.params) {
        if (param.column.isEmpty() || param.conv == Conv::Key || !values.contains(param.name.toLower()))
            continue;
        sets << param.column + QStringLiteral(" = ?");
        bound << values.value(param.name.toLower());
    }
    if (!sets.isEmpty()) {
        bound << keyValue;
        int rows = 0;
        if (!run(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(p.table, sets.join(u", "), p.keyColumn), bound,
                 error, &rows))
            return false;
        if (rows < 1)
            return fail(error, dberr::NoRowAffected, QStringLiteral("%1: no row was updated.").arg(p.name));
    }

    for (const Param &param : p.params) {
        if (!values.contains(param.name.toLower()))
            continue;
        const QVariant value = values.value(param.name.toLower());
        if (param.conv == Conv::AccessId) {
            if (!setPrimaryExtension(db, owner, ownerType, value.toString(), error))
                return false;
        } else if (param.conv == Conv::Ticket && !value.isNull()) {
            // Synchronisation is immediate here, so the ticket is born finished.
            if (!run(db, QStringLiteral("INSERT OR REPLACE INTO DirectorySyncTicket (Ticket, result) VALUES (?, 0)"),
                     {value}, error))
                return false;
        }
    }
    return true;
}

QString requiredText(const Procedure &p, const Values &values, const QString &name, DbError *error)
{
    const QString text = values.value(name.toLower()).toString();
    if (text.trimmed().isEmpty())
        missingParameter(p, name, error);
    return text;
}

bool aliasTaken(QSqlDatabase &db, const Procedure &p, const QString &alias, bool *taken, DbError *error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE Alias = ?").arg(p.table));
    q.addBindValue(alias);
    if (!q.exec())
        return queryFailed(error, q);
    *taken = q.next();
    if (*taken)
        fail(error, procerr::DuplicateKey,
             QStringLiteral("Violation of UNIQUE KEY constraint 'IX_%1_Alias'. Cannot insert duplicate key in object "
                            "'dbo.%1'. The duplicate key value is (%2).")
                 .arg(p.table, alias));
    return true;
}

// The new row's columns: every parameter that names one, in declared order.
QList<QPair<QString, QVariant>> columnsOf(const Procedure &p, const Values &values)
{
    QList<QPair<QString, QVariant>> columns;
    for (const Param &param : p.params) {
        if (!param.column.isEmpty() && values.contains(param.name.toLower()))
            columns.append({param.column, values.value(param.name.toLower())});
    }
    return columns;
}

QString accessIdOf(const Procedure &p, const Values &values)
{
    for (const Param &param : p.params) {
        if (param.conv == Conv::AccessId)
            return values.value(param.name.toLower()).toString();
    }
    return {};
}

bool flagOf(const Values &values, const char *name)
{
    const QString key = QString::fromLatin1(name).toLower();
    return !values.contains(key) || values.value(key).isNull() || values.value(key).toInt() != 0;
}

bool createCallHandler(QSqlDatabase &db, const Procedure &p, const Values &values, DbError *error)
{
    const QString alias = requiredText(p, values, QStringLiteral("Alias"), error);
    if (alias.trimmed().isEmpty())
        return false;
    bool taken = false;
    if (!aliasTaken(db, p, alias, &taken, error) || taken)
        return false;

    const QString id = platform::newGuidText();
    const QString alternateRule = platform::newGuidText();
    auto columns = columnsOf(p, values);
    columns.prepend({QStringLiteral("CallHandlerObjectID"), id});
    if (!values.contains(QStringLiteral("isprimary")))
        columns.append({QStringLiteral("IsPrimary"), 0});
    columns.append({QStringLiteral("ContactRuleAlternate"), alternateRule});
    if (!insertRow(db, p.table, columns, error))
        return false;

    const QString extension = accessIdOf(p, values);
    if (!extension.isEmpty() && !setPrimaryExtension(db, id, p.ownerType, extension, error))
        return false;

    if (flagOf(values, "CreateContactRules")) {
        const QString ids[3] = {platform::newGuidText(), platform::newGuidText(), alternateRule};
        const char *aliases[3] = {"Standard", "Off Hours", "Alternate"};
        for (int i = 0; i < 3; ++i) {
            // Only the standard rule is in force on a new handler.
            if (!insertRow(db, QStringLiteral("ContactRule"),
                           {{QStringLiteral("ContactRuleObjectID"), ids[i]},
                            {QStringLiteral("ParentObjectID"), id},
                            {QStringLiteral("Alias"), QString::fromLatin1(aliases[i])},
                            {QStringLiteral("SwitchID"), 0},
                            {QStringLiteral("Extension"), extension.isEmpty() || i != 0 ? QVariant() : extension},
                            {QStringLiteral("TransferRings"), 4},
                            {QStringLiteral("TransferType"), 0},
                            {QStringLiteral("TimeExpires"), i == 0 ? QVariant() : QVariant(DisabledDate)},
                            {QStringLiteral("Action"), 0},
                            {QStringLiteral("PlayWhat"), 0},
                            {QStringLiteral("RNAAction"), 1}},
                           error))
                return false;
        }
    }
    if (flagOf(values, "CreateMenuEntries")) {
        static const char *keys[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
        for (const char *k : keys) {
            if (!insertRow(db, QStringLiteral("MenuEntry"),
                           {{QStringLiteral("MenuEntryObjectID"), platform::newGuidText()},
                            {QStringLiteral("ParentObjectID"), id},
                            {QStringLiteral("Alias"), QString::fromLatin1(k)},
                            {QStringLiteral("Action"), 0},
                            {QStringLiteral("DestinationObjectIDType"), 0},
                            {QStringLiteral("Locked"), 0}},
                           error))
                return false;
        }
    }
    if (flagOf(values, "CreateMessagingRules")) {
        static const char *greetings[6] = {"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
        for (int i = 0; i < 6; ++i) {
            // Standard, Off Hours and Error play; the others wait to be switched on.
            const bool enabled = i == 0 || i == 1 || i == 5;
            if (!insertRow(db, QStringLiteral("MessagingRule"),
                           {{QStringLiteral("MessagingRuleObjectID"), platform::newGuidText()},
                            {QStringLiteral("ParentObjectID"), id},
                            {QStringLiteral("Alias"), QString::fromLatin1(greetings[i])},
                            {QStringLiteral("Action"), 4},
                            {QStringLiteral("DestinationObjectIDType"), 0},
                            {QStringLiteral("IgnoreDigits"), 0},
                            {QStringLiteral("TimeExpires"), enabled ? QVariant() : QVariant(DisabledDate)},
                            {QStringLiteral("PlayWhat"), 0},
                            {QStringLiteral("Reprompts"), 0},
                            {QStringLiteral("RepromptDelay"), 2}},
                           error))
                return false;
        }
    }
    return true;
}

bool createDirectoryHandler(QSqlDatabase &db, const Procedure &p, const Values &values, DbError *error)
{
    const QString alias = requiredText(p, values, QStringLiteral("Alias"), error);
    if (alias.trimmed().isEmpty())
        return false;
    bool taken = false;
    if (!aliasTaken(db, p, alias, &taken, error) || taken)
        return false;
    const QString id = platform::newGuidText();
    auto columns = columnsOf(p, values);
    columns.prepend({p.keyColumn, id});
    if (!insertRow(db, p.table, columns, error))
        return false;
    const QString extension = accessIdOf(p, values);
    return extension.isEmpty() || setPrimaryExtension(db, id, p.ownerType, extension, error);
}

bool createScopeList(QSqlDatabase &db, const Procedure &p, const Values &values, DbError *error)
{
    const QString directoryId = requiredText(p, values, QStringLiteral("DirectoryID"), error);
    if (directoryId.trimmed().isEmpty())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ScopeDListObjectID FROM ScopeDList WHERE DirectoryID = ?"));
    q.addBindValue(directoryId);
    if (!q.exec())
        return queryFailed(error, q);
    if (q.next()) // one scope list per directory list: asking again reuses it
        return true;
    q.finish();
    return insertRow(db, p.table,
                     {{p.keyColumn, platform::newGuidText()},
                      {QStringLiteral("DirectoryID"), directoryId},
                      {QStringLiteral("DisplayName"), values.value(QStringLiteral("displayname"))}},
                     error);
}

bool deleteTicket(QSqlDatabase &db, const Procedure &p, const Values &values, DbError *error)
{
    if (!values.contains(QStringLiteral("ticket")))
        return missingParameter(p, QStringLiteral("Ticket"), error);
    int rows = 0;
    if (!run(db, QStringLiteral("DELETE FROM DirectorySyncTicket WHERE Ticket = ?"), {values.value(QStringLiteral("ticket"))},
             error, &rows))
        return false;
    if (rows < 1)
        return fail(error, dberr::NoRowAffected, QStringLiteral("%1: there is no such ticket.").arg(p.name));
    return true;
}

struct Input {
    QString name;
    QVariant value;
    bool quoted = false;
};

bool dispatch(QSqlDatabase &db, const QString &procedure, const QList<Input> &inputs, bool batch, DbError *error)
{
    if (error)
        *error = DbError{};
    const Procedure *p = findProcedure(procedure);
    if (!p)
        return fail(error, dberr::UnknownProcedure,
                    QStringLiteral("Could not find stored procedure '%1'.").arg(procedure.trimmed()));
    if (!db.isOpen())
        return fail(error, dberr::ConnectionFailed, QStringLiteral("The database connection is not open."));

    // Every value is converted before anything is written.
    Values values;
    for (const Input &in : inputs) {
        QString name = in.name.trimmed();
        if (name.startsWith(u'@'))
            name.remove(0, 1);
        const Param *param = p->param(name);
        if (!param)
            return fail(error, procerr::NotAParameter,
                        QStringLiteral("@%1 is not a parameter for procedure %2.").arg(name, p->name));
        QVariant converted;
        if (!convert(in.value, param->conv, Source{batch, in.quoted}, &converted, error))
            return false;
        values.insert(param->name.toLower(), converted); // a later value of the same name wins
    }

    Savepoint savepoint(db);
    if (!savepoint.begin(error))
        return false;
    bool ok = false;
    switch (p->action) {
    case Action::Modify:
        ok = runModify(db, *p, values, error);
        break;
    case Action::CreateCallHandler:
        ok = createCallHandler(db, *p, values, error);
        break;
    case Action::CreateDirectoryHandler:
        ok = createDirectoryHandler(db, *p, values, error);
        break;
    case Action::CreateScopeList:
        ok = createScopeList(db, *p, values, error);
        break;
    case Action::DeleteTicket:
        ok = deleteTicket(db, *p, values, error);
        break;
    }
    if (!ok) {
        savepoint.rollback();
        return false;
    }
    return savepoint.release(error);
}

bool syntaxError(DbError *error, const QString &near)
{
    return fail(error, procerr::SyntaxError, QStringLiteral("Incorrect syntax near '%1'.").arg(near));
}

} // namespace

std::optional<ProcedureBatch> parseProcedureBatch(const QString &text, DbError *error)
{
    ProcedureBatch batch;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    const auto readWord = [&] {
        const qsizetype start = i;
        while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == u'_' || text.at(i) == u'.'
                         || text.at(i) == u'[' || text.at(i) == u']' || text.at(i) == u'#'))
            ++i;
        return text.mid(start, i - start);
    };
    const auto near = [&] { return text.mid(i, 10).trimmed().isEmpty() ? text.right(10) : text.mid(i, 10); };

    skipSpace();
    batch.procedure = readWord();
    if (batch.procedure.compare(u"exec", Qt::CaseInsensitive) == 0
        || batch.procedure.compare(u"execute", Qt::CaseInsensitive) == 0) {
        skipSpace();
        batch.procedure = readWord();
    }
    if (batch.procedure.isEmpty()) {
        syntaxError(error, near());
        return std::nullopt;
    }

    skipSpace();
    while (i < n) {
        if (text.at(i) == u';') {
            ++i;
            skipSpace();
            if (i < n) {
                syntaxError(error, near());
                return std::nullopt;
            }
            break;
        }
        if (text.at(i) != u'@') {
            syntaxError(error, near());
            return std::nullopt;
        }
        ++i;
        const qsizetype nameStart = i;
        while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == u'_'))
            ++i;
        ProcArg arg;
        arg.name = text.mid(nameStart, i - nameStart);
        skipSpace();
        if (arg.name.isEmpty() || i >= n || text.at(i) != u'=') {
            syntaxError(error, near());
            return std::nullopt;
        }
        ++i;
        skipSpace();
        bool quoted = false;
        if (i < n && (text.at(i) == u'\'' || ((text.at(i) == u'N' || text.at(i) == u'n') && i + 1 < n
                                              && text.at(i + 1) == u'\''))) {
            quoted = true;
            if (text.at(i) != u'\'')
                ++i;
            ++i; // opening quote
            QString value;
            bool closed = false;
            while (i < n) {
                const QChar c = text.at(i);
                if (c == u'\'') {
                    if (i + 1 < n && text.at(i + 1) == u'\'') {
                        value += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += c;
                ++i;
            }
            if (!closed) {
                fail(error, procerr::SyntaxError,
                     QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(value));
                return std::nullopt;
            }
            arg.value = value;
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != u',' && text.at(i) != u';')
                ++i;
            const QString bare = text.mid(start, i - start).trimmed();
            if (bare.isEmpty() || bare.contains(u' ') || bare.contains(u'\'') || bare.contains(u'@')) {
                i = start;
                syntaxError(error, near());
                return std::nullopt;
            }
            if (bare.compare(u"null", Qt::CaseInsensitive) == 0)
                arg.value = QVariant();
            else
                arg.value = bare;
        }
        arg.type = platform::AdoType::VarChar;
        batch.args << arg;
        batch.quoted << quoted;

        skipSpace();
        if (i < n && text.at(i) == u',') {
            ++i;
            skipSpace();
            if (i >= n || text.at(i) != u'@') { // a comma must lead to another parameter
                syntaxError(error, QStringLiteral(","));
                return std::nullopt;
            }
        } else if (i < n && text.at(i) != u';') {
            syntaxError(error, near());
            return std::nullopt;
        }
    }
    return batch;
}

std::optional<QStringList> StandInProcedures::parameters(const QString &procedure) const
{
    const Procedure *p = findProcedure(procedure);
    if (!p)
        return std::nullopt;
    QStringList names;
    for (const Param &param : p->params)
        names << param.name;
    return names;
}

QStringList StandInProcedures::procedureNames() const
{
    QStringList names;
    for (const Procedure &p : buildCatalogue())
        names << p.name;
    return names;
}

bool StandInProcedures::execute(QSqlDatabase &db, const QString &procedure, const QList<ProcArg> &args,
                                DbError *error)
{
    QList<Input> inputs;
    for (const ProcArg &a : args)
        inputs << Input{a.name, a.value, false};
    return dispatch(db, procedure, inputs, false, error);
}

bool StandInProcedures::executeBatch(QSqlDatabase &db, const QString &text, DbError *error)
{
    const auto batch = parseProcedureBatch(text, error);
    if (!batch)
        return false;
    QList<Input> inputs;
    for (qsizetype k = 0; k < batch->args.size(); ++k)
        inputs << Input{batch->args.at(k).name, batch->args.at(k).value, batch->quoted.at(k)};
    return dispatch(db, batch->procedure, inputs, true, error);
}

} // namespace quillor::embedded
