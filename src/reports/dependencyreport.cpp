#include "reports/dependencyreport.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "common/tolvaversion.h"
#include "platform/busycursor.h"
#include "platform/database.h"
#include "platform/seams.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <utility>

namespace quillor {

using platform::DbError;
using platform::Recordset;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

struct TargetKind {
    qint16 type;
    const char *typeName;
    const char *table;
    const char *keyColumn;
    const char *nameColumn;
};

constexpr std::array<TargetKind, 4> kTargets = {{
    {3, "Call Handler", "CallHandler", "CallHandlerObjectID", "TextName"},
    {5, "Interview Handler", "InterviewHandler", "InterviewHandlerObjectID", "TextName"},
    {1, "Subscriber", "Subscriber", "SubscriberObjectID", "DisplayName"},
    {6, "Directory Handler", "NameLookupHandler", "NameLookupHandlerObjectID", "TextName"},
}};

// One column of a candidate that may name the target. Owner and recipient
// columns hold the object's own id; routing columns hold, for a subscriber,
// the id of its primary call handler, through which callers reach it.
struct ColumnTest {
    const char *column;
    const char *reason;
    bool routing;
};

// One section of the report: a kind of candidate, the query that lists every
// candidate with the columns its tests read, and its reason lines.
struct Section {
    const char *title;
    // The list's columns in the order of its rows: "expression", or "expression AS name".
    std::array<const char *, 8> columns; // up to the first nullptr
    const char *from;
    const char *nameColumn;
    std::array<ColumnTest, 5> tests; // up to the first entry without a column
    // The candidate's call handler, whose keys and greetings may lead to the
    // target; nullptr for kinds without keys and greetings.
    const char *handlerColumn;
    const char *keysReason;
    const char *greetingsReason;
};

const std::array<Section, 4> kSections = {{
    {"CALL HANDLERS:",
     {"CallHandlerObjectID", "Alias", "TextName", "AdministratorObjectID", "RecipientObjectID", "AfterMessageObjectID"},
     "FROM CallHandler WHERE IsPrimary='0'",
     "TextName",
     {{{"AdministratorObjectID", "The owner of this call handler", false},
       {"RecipientObjectID", "The recipient of this call handler", false},
       {"AfterMessageObjectID", "The after message destination for this call handler", true}}},
     "CallHandlerObjectID",
     "The destination for these caller input keys on this call handler: ",
     "The after message destination for these greetings on this call handler: "},
    // A subscriber's routing is its primary call handler's; a subscriber
    // whose call handler is missing has no keys, greetings or after-message
    // action to test.
    {"SUBSCRIBERS:",
     {"s.SubscriberObjectID", "s.Alias", "s.DisplayName", "s.ExitObjectID", "c.CallHandlerObjectID AS HandlerObjectID",
      "c.AfterMessageObjectID"},
     "FROM Subscriber s LEFT JOIN CallHandler c ON c.CallHandlerObjectID = s.CallHandlerObjectID "
     "WHERE s.SubscriberType NOT IN (0,6)",
     "DisplayName",
     {{{"AfterMessageObjectID", "The after message destination for this subscriber", true},
       {"ExitObjectID", "The exit destination for this subscriber", true}}},
     "HandlerObjectID",
     "The destination for these caller input keys on this subscriber: ",
     "The after message destination for these greetings on this subscriber: "},
    {"INTERVIEW HANDLERS:",
     {"InterviewHandlerObjectID", "Alias", "TextName", "AdministratorObjectID", "RecipientObjectID",
      "AfterMessageObjectID"},
     "FROM InterviewHandler",
     "TextName",
     {{{"AdministratorObjectID", "The owner of this interview handler", false},
       {"RecipientObjectID", "The recipient of this interview handler", false},
       {"AfterMessageObjectID", "The after message destination for this interview handler", true}}},
     nullptr, nullptr, nullptr},
    {"NAME LOOKUP HANDLERS:",
     {"NameLookupHandlerObjectID", "Alias", "TextName", "AdministratorObjectID", "ExitObjectID", "ZeroObjectID",
      "NoInputObjectID", "NoSelectionObjectID"},
     "FROM NameLookupHandler",
     "TextName",
     {{{"AdministratorObjectID", "The owner of this name lookup handler", false},
       {"ExitObjectID", "The exit action of this name lookup handler", true},
       {"ZeroObjectID", "The zero out action of this name lookup handler", true},
       {"NoInputObjectID", "The no input action of this name lookup handler", true},
       {"NoSelectionObjectID", "The no selection action of this name lookup handler", true}}},
     nullptr, nullptr, nullptr},
}};

QString errorLine(const DbError &error, const QString &procedure)
{
    return QStringLiteral("Error %1 (%2) in procedure %3 of Form frmDependency")
        .arg(error.number)
        .arg(error.description, procedure);
}

// The server hands ObjectIDs back in its own form (SQL Server: upper case,
// without braces), so they are compared by value.
bool containsId(const QStringList &ids, const QString &value)
{
    if (value.isEmpty())
        return false;
    for (const QString &id : ids)
        if (sameObjectId(id, value))
            return true;
    return false;
}

// The key a ParentObjectID is grouped by: the same for every form of one
// ObjectID (the server's comparison ignores case).
QString parentKey(const QString &id) { return normalizedObjectId(id).toUpper(); }

QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(","));
}

// The query that lists a section's candidates.
QString listSql(const Section &section)
{
    QStringList columns;
    for (const char *column : section.columns)
        if (column)
            columns << QLatin1String(column);
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + u' ' + QLatin1String(section.from);
}

// Where a list's rows hold the column `name` (the name after "AS", else
// after the table's prefix); -1 for no name.
int columnIndex(const Section &section, const char *name)
{
    if (!name)
        return -1;
    for (size_t i = 0; i < section.columns.size() && section.columns[i]; ++i) {
        const QLatin1StringView column(section.columns[i]);
        const qsizetype as = column.indexOf(QLatin1StringView(" AS "));
        const QLatin1StringView own = as >= 0 ? column.sliced(as + 4) : column.sliced(column.indexOf(u'.') + 1);
        if (own == QLatin1StringView(name))
            return int(i);
    }
    return -1;
}

QVariantList toParams(const QStringList &ids)
{
    QVariantList params;
    for (const QString &id : ids)
        params << id;
    return params;
}

// Everything the report reads, each kind in one query.
class Reader {
public:
    explicit Reader(AppContext &ctx) : m_ctx(ctx) {}

    std::optional<Recordset> open(const QString &sql, const QVariantList &params, const QString &procedure)
    {
        if (m_failed)
            return std::nullopt;
        DbError error;
        Recordset rs = m_ctx.db().open(m_ctx.state().gConnectionString, sql, params, &error);
        if (!rs.isOpen()) {
            fail(error, procedure);
            return std::nullopt;
        }
        return rs;
    }

    // The rows handed to `each` as they come: a long list is written while it is read.
    bool forEach(const QString &sql, const QVariantList &params, const QString &procedure,
                 const std::function<void(const QVariantList &row)> &each)
    {
        if (m_failed)
            return false;
        DbError error;
        if (m_ctx.db().forEachRow(m_ctx.state().gConnectionString, sql, params, each, &error))
            return true;
        fail(error, procedure);
        return false;
    }

    // The aliases of the rows of `table` that lead to one of `ids`, by their
    // call handler, in the order the server returns them.
    QHash<QString, QStringList> aliasesByParent(const char *table, const QStringList &ids)
    {
        QHash<QString, QStringList> byParent;
        const QString sql = QStringLiteral("SELECT ParentObjectID, Alias FROM %1 WHERE DestinationObjectID IN (%2)")
                                .arg(QLatin1String(table), placeholders(ids.size()));
        forEach(sql, toParams(ids), QStringLiteral("FindCallHandlerReferences"), [&byParent](const QVariantList &row) {
            byParent[parentKey(row[0].toString())] << row[1].toString();
        });
        return byParent;
    }

    bool failed() const { return m_failed; }
    QString failure() const { return m_failure; }

private:
    void fail(const DbError &error, const QString &procedure)
    {
        m_failed = true;
        m_failure = errorLine(error, procedure);
        platform::msgBox(m_failure);
    }

    AppContext &m_ctx;
    bool m_failed = false;
    QString m_failure;
};

// One candidate's block: its head before the first reason line, nothing when
// it does not refer to the target.
class Block {
public:
    Block(QString &out, const QString &alias, const QString &name) : m_out(out), m_alias(alias), m_name(name) {}
    void reason(QLatin1String text)
    {
        if (!m_written) {
            line(QLatin1String("    _______"));
            line(QLatin1String("    Alias="), m_alias);
            line(QLatin1String("    Display Name="), m_name);
            m_written = true;
        }
        line(QLatin1String("        "), text);
    }
    void aliases(const QStringList &list)
    {
        for (const QString &alias : list)
            line(QLatin1String("            "), alias);
    }
    bool written() const { return m_written; }

private:
    // Appended piece by piece: a report can run to a hundred thousand lines.
    template <typename... Parts> void line(const Parts &...parts)
    {
        ((m_out += parts), ...);
        m_out += kCrLf;
    }

    QString &m_out;
    const QString &m_alias;
    const QString &m_name;
    bool m_written = false;
};

// The text as it is written: kept whole, or handed on to a receiver in runs
// of whole lines.
class HandOn {
public:
    HandOn(QString &text, const ReportLines &lines) : m_text(text), m_lines(lines) {}
    // At the end of a line: the run so far, once it is long enough.
    void some()
    {
        if (m_lines && m_text.size() >= kRun)
            rest();
    }
    void rest()
    {
        if (m_lines && !m_text.isEmpty()) {
            m_lines(std::exchange(m_text, QString()));
            m_text.reserve(2 * kRun);
        }
    }

private:
    // Short runs: the receiver takes whatever has come by the time it is ready.
    static constexpr qsizetype kRun = 4 * 1024;
    QString &m_text;
    const ReportLines &m_lines;
};

} // namespace

DependencyReport makeDependencyReport(AppContext &ctx, qint16 iObjectType, const QString &strObjectID,
                                      const ReportLines &lines)
{
    DependencyReport report;
    if (!bIsVersionGreaterThanOrEqualTo(ctx, 4, 1, 1, 0)) {
        report.text = QStringLiteral("This report only works with Tolva 4.1(1) and later") + kCrLf;
        return report;
    }
    if (iObjectType == 0) {
        report.text = QStringLiteral("Invalid object type passed to report: 0") + kCrLf;
        return report;
    }
    if (strObjectID.size() < 10) {
        report.text = QStringLiteral("Invalid ObjectID string passed to report: ") + strObjectID + kCrLf;
        return report;
    }
    const auto kind = std::find_if(kTargets.cbegin(), kTargets.cend(),
                                   [&](const TargetKind &k) { return k.type == iObjectType; });
    if (kind == kTargets.cend()) {
        report.text = QStringLiteral("Invalid object type passed to report: %1").arg(iObjectType);
        return report;
    }

    const platform::BusyCursor busy;
    Reader reader(ctx);
    const QString typeName = QLatin1String(kind->typeName);
    const QString notFound =
        QStringLiteral("Unable to find record for ") + typeName + QStringLiteral(" using ObjectID=") + strObjectID;
    // Text that is no GUID names no object; SQL Server would refuse to compare
    // it with its uniqueidentifier keys rather than find nothing.
    if (!isGuidText(strObjectID)) {
        report.text = notFound;
        return report;
    }
    const auto target = reader.open(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?")
                                        .arg(QLatin1String(kind->table), QLatin1String(kind->keyColumn)),
                                    {normalizedObjectId(strObjectID)}, QStringLiteral("RunReport"));
    if (!target) {
        report.text = reader.failure();
        return report;
    }
    if (target->RecordCount() != 1) {
        report.text = notFound;
        return report;
    }
    const QString alias = target->text(QStringLiteral("Alias"));
    const QString name = target->text(QLatin1String(kind->nameColumn));

    // Callers are sent to a subscriber through its primary call handler, so
    // routing to either reaches it. Both are asked for in the one form the
    // program sends ObjectIDs in.
    const QStringList ownIds{normalizedObjectId(strObjectID)};
    QStringList routingIds = ownIds;
    if (iObjectType == 1) {
        const QString handler = target->text(QStringLiteral("CallHandlerObjectID"));
        if (!handler.isEmpty() && !containsId(routingIds, handler))
            routingIds << normalizedObjectId(handler);
    }

    // Keys and greetings first: both sections of call handlers need them.
    const QHash<QString, QStringList> keys = reader.aliasesByParent("MenuEntry", routingIds);
    const QHash<QString, QStringList> greetings = reader.aliasesByParent("MessagingRule", routingIds);
    if (reader.failed()) {
        report.text = reader.failure();
        return report;
    }

    QString out = QStringLiteral("Dependency information for ") + typeName + kCrLf + QStringLiteral("Alias=") + alias
                  + kCrLf + QStringLiteral("Display Name=") + name + kCrLf + QString(27, u'=') + kCrLf + kCrLf;
    // Each list is written while it is read, and handed on as it is written.
    HandOn handOn(out, lines);
    for (size_t i = 0; i < kSections.size(); ++i) {
        const Section &section = kSections[i];
        if (i > 0)
            out += kCrLf;
        out += QLatin1String(section.title) + kCrLf;
        const int aliasColumn = columnIndex(section, "Alias");
        const int nameColumn = columnIndex(section, section.nameColumn);
        const int handlerColumn = columnIndex(section, section.handlerColumn);
        std::array<int, 5> testColumns{};
        for (size_t t = 0; t < section.tests.size(); ++t)
            testColumns[t] = columnIndex(section, section.tests[t].column);
        const auto cell = [](const QVariantList &row, int col) {
            return col < 0 || col >= row.size() || row[col].isNull() ? QString() : row[col].toString();
        };
        int found = 0;
        const bool read = reader.forEach(listSql(section), {}, QStringLiteral("RunReport"), [&](const QVariantList &row) {
            const QString candidateAlias = cell(row, aliasColumn);
            const QString candidateName = cell(row, nameColumn);
            Block block(out, candidateAlias, candidateName);
            for (size_t t = 0; t < section.tests.size(); ++t) {
                const ColumnTest &test = section.tests[t];
                if (test.column && containsId(test.routing ? routingIds : ownIds, cell(row, testColumns[t])))
                    block.reason(QLatin1String(test.reason));
            }
            if (handlerColumn >= 0) {
                const QString handler = cell(row, handlerColumn);
                if (!handler.isEmpty()) {
                    for (const auto &[byParent, reason] : {std::pair{&keys, section.keysReason},
                                                           std::pair{&greetings, section.greetingsReason}}) {
                        const auto it = byParent->constFind(parentKey(handler));
                        if (it == byParent->cend())
                            continue;
                        block.reason(QLatin1String(reason));
                        block.aliases(*it);
                    }
                }
            }
            if (block.written()) {
                ++found;
                handOn.some();
            }
        });
        if (!read) {
            report.text = reader.failure();
            return report;
        }
        if (found == 0)
            out += QStringLiteral("    None") + kCrLf;
    }
    // Routing rules name their target without braces.
    QStringList ruleIds;
    for (QString id : routingIds)
        ruleIds << id.remove(u'{').remove(u'}');
    const auto rules = reader.open(QStringLiteral("SELECT COUNT(*) AS Found FROM [Rule] WHERE ActionObjectID IN (%1)")
                                       .arg(placeholders(ruleIds.size())),
                                   toParams(ruleIds), QStringLiteral("FindRoutingRuleRefferences"));
    if (!rules) {
        report.text = reader.failure();
        return report;
    }
    const bool ruleFound = rules->RecordCount() > 0 && rules->field(QStringLiteral("Found")).toLongLong() > 0;
    out += kCrLf + QStringLiteral("ROUTING RULES:") + kCrLf
           + (ruleFound ? QStringLiteral("    One or more routing rules reference this object") : QStringLiteral("    None"))
           + kCrLf;
    handOn.rest();
    report.text = std::move(out);
    report.made = true;
    report.targetAlias = alias;
    return report;
}

} // namespace quillor
