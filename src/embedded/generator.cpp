#include "embedded/generator.h"
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
#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace quillor::embedded {

using detail::buildDatabase;
using detail::removeDatabaseFiles;
using detail::setError;
using detail::wavTone;
using detail::writeFile;

using SampleIds::Kind;

namespace {

// Serials of deliberately missing objects start here; no kind ever gets this many.
constexpr qint64 MissingSerialBase = 0xFFFF0000LL;
// Keys "1"-"9" of a menu that may lead to further menus; the rest stay for people.
constexpr int MaxMenuChildren = 8;
// Beyond this branching the tree is made deeper instead of wider.
constexpr double MaxBranching = 6.0;
// A server gets a chain only when this many menus stay beside it.
constexpr int MinimumMenusBesideChains = 10;

const QString Disabled = QStringLiteral("1993-01-02 00:00:00");
const QVariant Null;


// A small, fast generator whose sequence is the same on every platform and
// standard library, so a seed means the same server everywhere.
class Random {
public:
    // Each use of a seed draws from its own stream, told apart by `stream`.
    Random(quint32 seed, quint32 stream) : m_state((quint64(stream) << 32) | seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n (n > 0).
    int below(int n) { return int(((next() >> 32) * quint64(n)) >> 32); }
    bool percent(int p) { return below(100) < p; }
    template <typename T, std::size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[below(int(N))];
    }

private:
    quint64 m_state;
};

int digitsOf(qint64 value)
{
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// ---- counts ----

struct Plan {
    GeneratedShape shape;
    std::vector<int> levelSizes; // menus per level, the root's level first
};

// The branching b with 1 + b + b^2 + ... + b^depth = menus.
double branchingFor(int menus, int depth)
{
    if (depth <= 0)
        return 0.0;
    double lo = 1.0, hi = double(menus);
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        double sum = 0, power = 1;
        for (int l = 0; l <= depth; ++l, power *= mid)
            sum += power;
        (sum > menus ? hi : lo) = mid;
    }
    return lo;
}

Plan makePlan(const GeneratedOptions &options)
{
    Plan plan;
    GeneratedShape &s = plan.shape;
    const int n = std::max(options.objects, MinimumGeneratedObjects);
    s.objects = n;
    s.interviewHandlers = std::max(1, int(std::lround(0.05 * n)));
    s.nameLookupHandlers = std::max(1, int(std::lround(0.05 * n)));
    s.callHandlers = std::max(3, int(std::lround(0.30 * n)));
    s.subscribers = n - s.callHandlers - s.interviewHandlers - s.nameLookupHandlers;
    // The operator and goodbye handlers are outside the tree; the rest are
    // menus, or steps of chains when the shape asks for them.
    const int treeHandlers = s.callHandlers - 2;
    if (options.chainLength > 0) {
        s.chains = treeHandlers / (2 * options.chainLength);
        if (s.chains == 0 && treeHandlers - options.chainLength >= MinimumMenusBesideChains)
            s.chains = 1;
        s.chainLength = s.chains > 0 ? options.chainLength : 0;
    }
    s.menus = treeHandlers - s.chains * s.chainLength;
    const int invalid = std::max(1, int(std::lround(n / 400.0)));
    s.invalidDirectoryLinks = invalid / 4;
    s.invalidHandlerLinks = invalid - s.invalidDirectoryLinks;

    // The depth has its own stream so that it does not shift with other choices.
    Random depthRandom(options.seed, 1);
    int depth = 4 + depthRandom.below(3);
    while (branchingFor(s.menus, depth) > MaxBranching)
        ++depth;
    s.depth = std::min(depth, s.menus - 1);

    // Rounded level sizes keep the upper menus as wide as the branching says;
    // rounded down they always leave the deepest level at least one menu.
    const double b = branchingFor(s.menus, s.depth);
    for (const bool rounded : {true, false}) {
        plan.levelSizes.clear();
        int placed = 0;
        double power = 1;
        for (int l = 0; l < s.depth; ++l, power *= b) {
            const int size = std::max(1, int(rounded ? std::lround(power) : std::floor(power + 1e-9)));
            plan.levelSizes.push_back(size);
            placed += size;
        }
        plan.levelSizes.push_back(s.menus - placed);
        if (plan.levelSizes.back() >= 1)
            break;
    }
    return plan;
}

// ---- identifiers ----

QString makeId(quint32 seed, int kind, int index, qint64 serial)
{
    static const char hex[] = "0123456789ABCDEF";
    QChar text[38];
    const auto put = [&](int at, quint64 value, int width) {
        for (int i = width - 1; i >= 0; --i, value >>= 4)
            text[at + i] = QLatin1Char(hex[value & 0xF]);
    };
    // The serial leads: IDs that differ early keep the case-blind index
    // comparisons short, as random IDs would.
    text[0] = u'{';
    put(1, quint64(serial) & 0xFFFFFFFFULL, 8);
    text[9] = u'-';
    put(10, quint64(kind & 0xFF), 2);
    put(12, quint64(index & 0xFF), 2);
    text[14] = u'-';
    put(15, 0x4000, 4);
    text[19] = u'-';
    put(20, 0x8000, 4);
    text[24] = u'-';
    put(25, 0, 4);
    put(29, seed, 8);
    text[37] = u'}';
    return QString(text, 38);
}

// ---- routes ----

struct Route {
    QVariant action = 0;
    QVariant conversation;
    QVariant destination;
    QVariant destinationType = 0;
};

const QVariant PHGreeting = QStringLiteral("PHGreeting");
const QVariant PHTransfer = QStringLiteral("PHTransfer");
const QVariant SubSignIn = QStringLiteral("SubSignIn");
const QVariant AD = QStringLiteral("AD");
const QVariant CHInterview = QStringLiteral("CHInterview");

Route act(int action)
{
    return {action, Null, Null, 0};
}

Route go(const QVariant &conversation, const QString &destination, int type)
{
    return {2, conversation, destination, type};
}

const char *const KeyAliases[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
const char *const GreetingAliases[6] = {"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
const char *const ContactAliases[3] = {"Standard", "Off Hours", "Alternate"};

const char *const FirstNames[] = {
    "Ada", "Bruno", "Chiara", "Dmitri", "Elena", "Farid", "Greta", "Hiro", "Ines", "Jonas",
    "Kamala", "Lars", "Mei", "Nuno", "Olga", "Pavel", "Quentin", "Rosa", "Sven", "Tamar",
    "Ugo", "Vera", "Wim", "Ximena", "Yusuf", "Zofia", "Amir", "Beatrix", "Cyril", "Dalia",
    "Emil", "Fiona", "Goran", "Hanna", "Ivo", "Jana", "Kofi", "Lena", "Marek", "Nadia"};
const char *const LastNames[] = {
    "Abara", "Berger", "Castillo", "Dubois", "Eriksen", "Fischer", "Garcia", "Horvath", "Ivanova",
    "Jensen", "Kowalski", "Lindqvist", "Moreau", "Novak", "Okafor", "Petrov", "Quinn", "Rossi",
    "Schmidt", "Tanaka", "Urban", "Varga", "Weber", "Xu", "Yilmaz", "Zimmermann", "Almeida",
    "Brandt", "Costa", "Dahl", "Engel", "Ferreira", "Gruber", "Haas", "Ionescu", "Jovanovic",
    "Keller", "Lambert", "Meyer", "Nilsen"};
const char *const QuestionTexts[] = {
    "Please say your name.", "Please spell your last name.", "What is your telephone number?",
    "Describe the reason for your call.", "Which product is this about?", "Anything else?"};

// ---- the routing tree ----

struct TreeHandler {
    int parent = -1;      // index in the handler list; -1 for the root and the fixed handlers
    int depth = 0;
    QString path;         // keys from the root: "3.2.7"
    int nextKey = 1;      // the next free key among "1"-"9"
    int menuChildren = 0;
    int chain = 0;        // the chain (from 1) of a chain's handler, 0 for a menu
    int step = 0;         // its place in the chain, from 1
    std::array<Route, 12> keys;
};

class TreeBuilder {
public:
    TreeBuilder(const Plan &plan, quint32 seed, Random &random) : m_plan(plan), m_seed(seed), m_random(random) {}

    // Handlers in serial order: root, operator, goodbye, then the menus level by level.
    std::vector<TreeHandler> build()
    {
        const GeneratedShape &s = m_plan.shape;
        m_handlers.resize(std::size_t(s.callHandlers));
        std::vector<std::vector<int>> levels(m_plan.levelSizes.size());
        levels[0].push_back(0);
        int next = 3;
        for (std::size_t l = 1; l < levels.size(); ++l) {
            std::vector<int> open = levels[l - 1];
            for (int k = 0; k < m_plan.levelSizes[l]; ++k) {
                const int child = next++;
                const int parent = takeParent(open, child, int(l));
                TreeHandler &c = m_handlers[std::size_t(child)];
                const TreeHandler &p = m_handlers[std::size_t(parent)];
                c.parent = parent;
                c.depth = p.depth + 1;
                const int key = p.nextKey;
                c.path = parent == 0 ? QString::number(key) : p.path + u'.' + QString::number(key);
                link(parent, go(m_random.percent(85) ? PHGreeting : PHTransfer, handlerId(child), 3));
                ++m_handlers[std::size_t(parent)].menuChildren;
                levels[std::size_t(c.depth)].push_back(child);
            }
        }
        if (s.chains > 0)
            buildChains(levels.size() > 1 ? levels[1] : std::vector<int>());
        for (int i = 0; i < s.callHandlers; ++i) {
            if (i == 1 || i == 2)
                continue;
            m_any.push_back(i);
            const TreeHandler &h = m_handlers[std::size_t(i)];
            if (h.menuChildren == 0 && h.chain == 0)
                m_leaves.push_back(i);
        }

        // Directories and interviews first, then the broken links, then people,
        // so that a small server never runs out of keys for the counted links.
        for (int d = 1; d <= s.nameLookupHandlers; ++d)
            placeOn(m_any, go(AD, generatedObjectId(m_seed, Kind::NameLookupHandler, d), 6));
        for (int i = 2; i <= s.interviewHandlers; ++i) // the template stays unlinked
            placeOn(m_any, go(CHInterview, generatedObjectId(m_seed, Kind::InterviewHandler, i), 5));
        for (int i = 0; i < s.invalidHandlerLinks; ++i)
            placeOn(m_any, go(PHGreeting, generatedObjectId(m_seed, Kind::CallHandler, MissingSerialBase + i), 3));
        for (int i = 0; i < s.invalidDirectoryLinks; ++i)
            placeOn(m_any, go(AD, generatedObjectId(m_seed, Kind::NameLookupHandler, MissingSerialBase + i), 6));
        for (int sub = 1; sub <= s.subscribers; ++sub) {
            const Route route = go(m_random.percent(80) ? PHGreeting : PHTransfer,
                                   handlerId(s.callHandlers + sub - 1), 3);
            if (!(m_random.percent(80) && placeOn(m_leaves, route)))
                placeOn(m_any, route);
        }
        return std::move(m_handlers);
    }

    // Links that found no free key (never on servers of the minimum size or more).
    int unplaced() const { return m_unplaced; }

private:
    QString handlerId(int index) const { return generatedObjectId(m_seed, Kind::CallHandler, index + 1); }

    // The chains follow the menus in the handler list. Every step's key 1 leads
    // to the next step, keys 2 and 3 to the first two menus below the root (the
    // writer points key 0 back to the root). The chain itself hangs off the root
    // or a menu outside those two menus' subtrees, so the sideways links never
    // lead back into the path that reached them.
    void buildChains(const std::vector<int> &firstLevel)
    {
        const GeneratedShape &s = m_plan.shape;
        const std::vector<int> sides(firstLevel.begin(), firstLevel.begin() + std::min<std::ptrdiff_t>(2, firstLevel.size()));
        const auto belowSide = [&](int index) {
            while (index > 0 && m_handlers[std::size_t(index)].parent > 0)
                index = m_handlers[std::size_t(index)].parent;
            return std::find(sides.begin(), sides.end(), index) != sides.end();
        };
        const int firstStep = 2 + s.menus;
        std::vector<int> hangers;
        for (int i = 0; i < firstStep; ++i)
            if (i != 1 && i != 2 && !belowSide(i))
                hangers.push_back(i);
        for (int c = 0; c < s.chains; ++c) {
            const int head = firstStep + c * s.chainLength;
            for (int k = 0; k < s.chainLength; ++k) {
                const int index = head + k;
                TreeHandler &h = m_handlers[std::size_t(index)];
                h.chain = c + 1;
                h.step = k + 1;
                h.parent = k == 0 ? -1 : index - 1;
                if (k + 1 < s.chainLength)
                    link(index, go(PHGreeting, handlerId(index + 1), 3));
                else
                    h.nextKey = 2; // the last step leads nowhere further
                for (const int side : sides)
                    link(index, go(PHGreeting, handlerId(side), 3));
            }
            if (!placeOn(hangers, go(PHGreeting, handlerId(head), 3)))
                ++m_unplaced;
        }
    }

    bool hasFreeKey(int index) const { return m_handlers[std::size_t(index)].nextKey <= 9; }

    void link(int parent, const Route &route)
    {
        TreeHandler &p = m_handlers[std::size_t(parent)];
        if (p.nextKey > 9) { // keys "*" and "#" are never given away
            ++m_unplaced;
            return;
        }
        p.keys[std::size_t(p.nextKey++)] = route;
    }

    // A random parent from the level above with room for one more menu; when
    // the level is full, any menu above `level` with a free key.
    int takeParent(std::vector<int> &open, int child, int level)
    {
        while (!open.empty()) {
            const int at = m_random.below(int(open.size()));
            const int candidate = open[std::size_t(at)];
            if (hasFreeKey(candidate) && m_handlers[std::size_t(candidate)].menuChildren < MaxMenuChildren)
                return candidate;
            open[std::size_t(at)] = open.back();
            open.pop_back();
        }
        const int start = m_random.below(child);
        for (int i = 0; i < child; ++i) {
            const int candidate = (start + i) % child;
            if (candidate != 1 && candidate != 2 && hasFreeKey(candidate)
                && m_handlers[std::size_t(candidate)].depth < level)
                return candidate;
        }
        return 0; // not reached: the level sizes leave room; link() reports it otherwise
    }

    bool placeOn(std::vector<int> &pool, const Route &route)
    {
        while (!pool.empty()) {
            const int at = m_random.below(int(pool.size()));
            const int candidate = pool[std::size_t(at)];
            if (hasFreeKey(candidate)) {
                link(candidate, route);
                return true;
            }
            pool[std::size_t(at)] = pool.back();
            pool.pop_back();
        }
        if (&pool == &m_any)
            ++m_unplaced;
        return false;
    }

    const Plan &m_plan;
    quint32 m_seed;
    Random &m_random;
    std::vector<TreeHandler> m_handlers;
    std::vector<int> m_any, m_leaves;
    int m_unplaced = 0;
};

// ---- writing ----

// One prepared INSERT, bound by position and run once per row; the first
// failure sticks and silences every later row.
class Insert {
public:
    Insert(QSqlDatabase &db, const QString &table, const QStringList &columns, QString &error)
        : m_query(db), m_table(table), m_error(error), m_columns(int(columns.size()))
    {
        const QString marks = QStringList(columns.size(), QStringLiteral("?")).join(u',');
        m_query.setForwardOnly(true);
        if (m_error.isEmpty()
            && !m_query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns.join(u','), marks)))
            m_error = table + QStringLiteral(": ") + m_query.lastError().text();
    }

    void row(std::initializer_list<QVariant> values)
    {
        if (!m_error.isEmpty())
            return;
        if (int(values.size()) != m_columns) {
            m_error = m_table + QStringLiteral(": wrong number of values");
            return;
        }
        int i = 0;
        for (const QVariant &v : values)
            m_query.bindValue(i++, v);
        if (!m_query.exec())
            m_error = m_table + QStringLiteral(": ") + m_query.lastError().text();
    }

private:
    QSqlQuery m_query;
    QString m_table;
    QString &m_error;
    int m_columns;
};

QStringList columns(const char *list)
{
    return QString::fromLatin1(list).split(u',');
}

class ServerWriter {
public:
    ServerWriter(QSqlDatabase &db, const Plan &plan, quint32 seed, QString &error)
        : m_plan(plan), m_seed(seed), m_random(seed, 2), m_error(error),
          m_callHandler(db, QStringLiteral("CallHandler"),
                        columns("CallHandlerObjectID,Alias,TextName,IsPrimary,RecipientObjectID,RecipientObjectIDType,"
                                "AdministratorObjectID,AdministratorObjectIDType,Language,ScheduleObjectName,MaxMsgLen,"
                                "EditMsg,SendUrgentMsg,AfterMessageAction,AfterMessageConversation,AfterMessageObjectID,"
                                "AfterMessageObjectIDType,OneKeyDelay,ContactRuleAlternate,Undeletable"),
                        error),
          m_contactRule(db, QStringLiteral("ContactRule"),
                        columns("ContactRuleObjectID,ParentObjectID,Alias,SwitchID,Extension,TransferRings,"
                                "TransferType,TimeExpires,Action,PlayWhat,RNAAction"),
                        error),
          m_greeting(db, QStringLiteral("MessagingRule"),
                     columns("MessagingRuleObjectID,ParentObjectID,Alias,Action,ConversationName,DestinationObjectID,"
                             "DestinationObjectIDType,IgnoreDigits,TimeExpires,StreamPath,PlayWhat,Reprompts,"
                             "RepromptDelay"),
                     error),
          m_menuEntry(db, QStringLiteral("MenuEntry"),
                      columns("MenuEntryObjectID,ParentObjectID,Alias,Action,ConversationName,DestinationObjectID,"
                              "DestinationObjectIDType,Locked"),
                      error),
          m_extension(db, QStringLiteral("DTMFAccessID"),
                      columns("DTMFAccessID,ParentObjectID,ParentObjectIDType,IsPrimaryID,DTMFAccessIDType"), error),
          m_subscriber(db, QStringLiteral("Subscriber"),
                       columns("SubscriberObjectID,Alias,DisplayName,FirstName,LastName,CallHandlerObjectID,"
                               "SubscriberType,HomeServer,DirectoryID,COSObjectID,SwitchID,ExitAction,"
                               "ExitConversation,ExitObjectID,ExitObjectIDType"),
                       error),
          m_db(db)
    {
        const GeneratedShape &s = plan.shape;
        m_extensionDigits = std::max(3, digitsOf(std::max({s.callHandlers, s.subscribers, s.interviewHandlers,
                                                             s.nameLookupHandlers})));
        m_subscriberDigits = std::max(5, digitsOf(s.subscribers));
        m_root = id(Kind::CallHandler, 1);
        m_operator = id(Kind::CallHandler, 2);
        m_goodbye = id(Kind::CallHandler, 3);
        m_operators = id(Kind::DistributionList, 2);
        m_allSubscribers = id(Kind::DistributionList, 1);
        m_defaultCos = id(Kind::Cos, 1);
        m_headquarters = id(Kind::Location, 1);
    }

    bool write(const std::vector<TreeHandler> &tree)
    {
        // The template directory handler must be the first row of its table.
        addNameLookupHandlers();
        addLookups();
        addTreeHandlers(tree);
        addSubscribers();
        addInterviewHandlers();
        return m_error.isEmpty();
    }

private:
    QString id(Kind kind, qint64 serial, int index = 0) const { return makeId(m_seed, int(kind), index, serial); }

    QString extension(char prefix, qint64 number) const
    {
        return QLatin1Char(prefix) + QStringLiteral("%1").arg(number, m_extensionDigits, 10, QLatin1Char('0'));
    }

    void addExtension(const QString &number, const QString &owner, int ownerType)
    {
        m_extension.row({number, owner, ownerType, 1, 0});
    }

    // A subscriber that owns or receives for a handler; the operators' list
    // when the server has no subscribers to spare.
    std::pair<QVariant, QVariant> somePerson()
    {
        if (m_plan.shape.subscribers > 0 && m_random.percent(70))
            return {id(Kind::Subscriber, 1 + m_random.below(m_plan.shape.subscribers)), 1};
        return {m_operators, 2};
    }

    QVariant someLanguage()
    {
        const int roll = m_random.below(100);
        return roll < 80 ? QVariant(1033) : roll < 90 ? QVariant(1031) : Null;
    }

    struct HandlerRow {
        QString id;
        QString alias;
        QString textName;
        int isPrimary = 0;
        QVariant recipient, recipientType, administrator, administratorType;
        QVariant language = 1033;
        QVariant schedule = QStringLiteral("Weekdays");
        int maxMsgLen = 300, editMsg = 1, sendUrgentMsg = 0, oneKeyDelay = 1500, undeletable = 0;
        Route afterMessage = act(1);
        std::array<Route, 12> keys;
        std::array<int, 12> locked{};
        std::array<Route, 6> greetings;
        QVariant standardStream;
        int reprompts = 0;
        QVariant transferExtension;
        int standardContactAction = 0, standardTransferType = 0, standardRings = 4;
    };

    void addHandler(HandlerRow &h)
    {
        m_callHandler.row({h.id, h.alias, h.textName, h.isPrimary, h.recipient, h.recipientType, h.administrator,
                           h.administratorType, h.language, h.schedule, h.maxMsgLen, h.editMsg, h.sendUrgentMsg,
                           h.afterMessage.action, h.afterMessage.conversation, h.afterMessage.destination,
                           h.afterMessage.destinationType, h.oneKeyDelay, id(Kind::ContactRule, serialOf(h), 2),
                           h.undeletable});
        const qint64 serial = serialOf(h);
        for (int i = 0; i < 3; ++i) {
            const bool standard = i == 0;
            m_contactRule.row({id(Kind::ContactRule, serial, i), h.id, QString::fromLatin1(ContactAliases[i]), 0,
                               h.transferExtension, standard ? h.standardRings : 4,
                               standard ? h.standardTransferType : 0, i == 1 ? QVariant(Disabled) : Null,
                               standard ? h.standardContactAction : 0, 0, 1});
        }
        for (int i = 0; i < 6; ++i) {
            const Route &g = h.greetings[std::size_t(i)];
            // Busy, Alternate and Internal are there but switched off, as on a fresh server.
            const bool off = i >= 2 && i <= 4;
            m_greeting.row({id(Kind::Greeting, serial, i), h.id, QString::fromLatin1(GreetingAliases[i]), g.action,
                            g.conversation, g.destination, g.destinationType, 0, off ? QVariant(Disabled) : Null,
                            i == 0 ? h.standardStream : Null, 0, i == 0 ? h.reprompts : 0, 2});
        }
        for (int i = 0; i < 12; ++i) {
            const Route &k = h.keys[std::size_t(i)];
            m_menuEntry.row({id(Kind::MenuEntry, serial, i), h.id, QString::fromLatin1(KeyAliases[i]), k.action,
                             k.conversation, k.destination, k.destinationType, h.locked[std::size_t(i)]});
        }
    }

    // Rules carry their handler's serial and their own kind and index.
    static qint64 serialOf(const HandlerRow &h) { return h.id.mid(1, 8).toLongLong(nullptr, 16); }

    HandlerRow baseHandler(const QString &handlerId)
    {
        HandlerRow h;
        h.id = handlerId;
        for (Route &g : h.greetings)
            g = act(4);
        h.greetings[5] = go(PHGreeting, m_root, 3); // errors send callers back to the opening greeting
        return h;
    }

    void addTreeHandlers(const std::vector<TreeHandler> &tree)
    {
        const GeneratedShape &s = m_plan.shape;
        for (int i = 0; i < s.callHandlers; ++i) {
            const TreeHandler &t = tree[std::size_t(i)];
            HandlerRow h = baseHandler(id(Kind::CallHandler, i + 1));
            h.keys = t.keys;
            QString ext = extension('1', i);
            if (i == 0) {
                h.alias = QStringLiteral("openinggreetingch");
                h.textName = QStringLiteral("Opening Greeting");
                h.administrator = s.subscribers > 0 ? QVariant(id(Kind::Subscriber, 1)) : QVariant(m_operators);
                h.administratorType = s.subscribers > 0 ? 1 : 2;
                h.recipient = m_operators;
                h.recipientType = 2;
                h.undeletable = 1;
                h.afterMessage = go(PHGreeting, m_goodbye, 3);
                h.greetings[0] = go(PHTransfer, m_operator, 3);
                h.greetings[1] = go(PHGreeting, m_goodbye, 3);
                h.standardStream = QStringLiteral("openinggreetingch_Standard.wav");
                h.reprompts = 1;
                h.locked[10] = h.locked[11] = 1;
            } else if (i == 1) {
                h.alias = QStringLiteral("operatorch");
                h.textName = QStringLiteral("Operator");
                h.administrator = h.recipient = m_operators;
                h.administratorType = h.recipientType = 2;
                h.schedule = QStringLiteral("All Hours");
                h.afterMessage = go(PHGreeting, m_goodbye, 3);
                h.standardContactAction = 1;
                h.standardTransferType = 1;
                h.standardRings = 6;
            } else if (i == 2) {
                h.alias = QStringLiteral("goodbyech");
                h.textName = QStringLiteral("Goodbye");
                h.administrator = h.recipient = m_operators;
                h.administratorType = h.recipientType = 2;
                h.greetings[0] = act(1);
                ext.clear();
            } else {
                if (t.chain > 0) {
                    h.alias = QStringLiteral("chain%1_%2").arg(t.chain).arg(t.step, 3, 10, QLatin1Char('0'));
                    h.textName = QStringLiteral("Chain %1 step %2").arg(t.chain).arg(t.step);
                } else {
                    QString alias = t.path;
                    alias.replace(u'.', u'_');
                    h.alias = QStringLiteral("menu_") + alias;
                    h.textName = QStringLiteral("Menu ") + t.path;
                }
                const auto [owner, ownerType] = somePerson();
                h.administrator = owner;
                h.administratorType = ownerType;
                if (m_random.percent(60)) {
                    h.recipient = owner;
                    h.recipientType = ownerType;
                } else {
                    h.recipient = m_operators;
                    h.recipientType = 2;
                }
                h.language = someLanguage();
                if (m_random.percent(15))
                    h.schedule = QStringLiteral("All Hours");
                h.maxMsgLen = m_random.percent(80) ? 300 : m_random.percent(50) ? 120 : 600;
                h.editMsg = m_random.percent(90) ? 1 : 0;
                h.sendUrgentMsg = m_random.percent(85) ? 0 : 2;
                h.oneKeyDelay = m_random.percent(85) ? 1500 : m_random.percent(50) ? 1000 : 2500;
                const int after = m_random.below(100);
                h.afterMessage = after < 70 ? go(PHGreeting, m_goodbye, 3) : after < 90 ? act(1) : go(PHGreeting, m_root, 3);
                const int standard = m_random.below(100);
                h.greetings[0] = standard < 40 ? act(4)
                                 : standard < 80 ? go(PHTransfer, m_operator, 3)
                                 : standard < 90 ? go(PHGreeting, m_root, 3)
                                                 : act(1);
                h.greetings[1] = m_random.percent(50) ? go(PHGreeting, m_goodbye, 3) : act(4);
                h.reprompts = m_random.below(3);
                if (m_random.percent(15))
                    ext.clear(); // reachable only through the menus
            }
            if (t.chain > 0) { // every step of a chain leads back to the root
                h.keys[0] = go(PHGreeting, m_root, 3);
                h.keys[10] = {2, SubSignIn, Null, 0};
            } else if (i != 1) { // the operator's own keys lead back to the root
                h.keys[0] = go(PHTransfer, m_operator, 3);
                h.keys[10] = {2, SubSignIn, Null, 0};
            } else {
                h.keys[0] = h.keys[9] = go(PHGreeting, m_root, 3);
                h.keys[10] = {2, SubSignIn, Null, 0};
            }
            h.keys[11] = act(1);
            if (i == 2)
                for (Route &k : h.keys)
                    k = act(0);
            h.transferExtension = ext.isEmpty() ? Null : QVariant(ext);
            addHandler(h);
            if (!ext.isEmpty())
                addExtension(ext, h.id, 3);
        }
    }

    void addSubscribers()
    {
        const GeneratedShape &s = m_plan.shape;
        for (int sub = 1; sub <= s.subscribers; ++sub) {
            const QString subscriberId = id(Kind::Subscriber, sub);
            const QString handlerId = id(Kind::CallHandler, s.callHandlers + sub);
            const QString first = QString::fromLatin1(m_random.pick(FirstNames));
            const QString last = QString::fromLatin1(m_random.pick(LastNames));
            const QString number = QStringLiteral("%1").arg(sub, m_subscriberDigits, 10, QLatin1Char('0'));
            const QString alias = (first.left(1) + last).toLower() + number;
            const QString displayName = QStringLiteral("Subscriber ") + number;
            const QString ext = extension('5', sub);
            const int cosRoll = m_random.below(100);
            const QString cos = cosRoll < 90 ? m_defaultCos : id(Kind::Cos, cosRoll < 95 ? 2 : 3);
            const Route exit = m_random.percent(70) ? go(PHGreeting, m_root, 3) : act(1);
            m_subscriber.row({subscriberId, alias, displayName, first, last, handlerId, 1,
                              m_random.percent(80) ? QStringLiteral("MAIL01") : QStringLiteral("MAIL02"),
                              id(Kind::DirectoryId, sub), cos, m_random.percent(80) ? 0 : 1, exit.action,
                              exit.conversation, exit.destination, exit.destinationType});
            addExtension(ext, subscriberId, 1);

            HandlerRow h = baseHandler(handlerId);
            h.alias = QStringLiteral("ch_") + alias;
            h.textName = displayName;
            h.isPrimary = 1;
            h.recipient = h.administrator = subscriberId;
            h.recipientType = h.administratorType = 1;
            h.language = someLanguage();
            if (m_random.percent(10))
                h.schedule = QStringLiteral("All Hours");
            h.sendUrgentMsg = m_random.percent(90) ? 0 : 1;
            h.afterMessage = m_random.percent(60) ? act(1) : go(PHGreeting, m_goodbye, 3);
            if (m_random.percent(90))
                h.keys[0] = go(PHTransfer, m_operator, 3);
            if (m_random.percent(5))
                h.keys[10] = {2, SubSignIn, Null, 0};
            h.transferExtension = ext;
            if (m_random.percent(75)) { // most subscribers have their phone rung first
                h.standardContactAction = 1;
                h.standardTransferType = m_random.percent(50) ? 1 : 0;
            }
            addHandler(h);
        }
    }

    void addInterviewHandlers()
    {
        const GeneratedShape &s = m_plan.shape;
        Insert handler(m_db, QStringLiteral("InterviewHandler"),
                       columns("InterviewHandlerObjectID,Alias,TextName,Undeletable,Language,AdministratorObjectID,"
                               "AdministratorObjectIDType,RecipientObjectID,RecipientObjectIDType,AfterMessageAction,"
                               "AfterMessageConversation,AfterMessageObjectID,AfterMessageObjectIDType,LocationObjectID"),
                       m_error);
        Insert question(m_db, QStringLiteral("InterviewQuestion"),
                        columns("InterviewQuestionObjectID,ParentObjectID,Alias,StreamText,MaxMsgLength,StreamPath"),
                        m_error);
        const int number = std::max(4, digitsOf(s.interviewHandlers));
        for (int i = 1; i <= s.interviewHandlers; ++i) {
            const QString handlerId = id(Kind::InterviewHandler, i);
            const bool isTemplate = i == 1;
            const QString tag = QStringLiteral("%1").arg(i, number, 10, QLatin1Char('0'));
            const auto [owner, ownerType] = somePerson();
            const auto [recipient, recipientType] = somePerson();
            const Route after = isTemplate || m_random.percent(50) ? go(PHGreeting, m_goodbye, 3) : act(1);
            handler.row({handlerId, isTemplate ? QStringLiteral("interviewtemplate") : QStringLiteral("interview_") + tag,
                         isTemplate ? QStringLiteral("Interview Template") : QStringLiteral("Interview ") + tag,
                         isTemplate ? 1 : 0, isTemplate ? Null : someLanguage(), owner, ownerType,
                         isTemplate ? QVariant(m_operators) : recipient, isTemplate ? QVariant(2) : recipientType,
                         after.action, after.conversation, after.destination, after.destinationType,
                         m_headquarters});
            if (!isTemplate && m_random.percent(90))
                addExtension(extension('2', i - 1), handlerId, 5);
            const int questions = isTemplate ? 1 : 1 + m_random.below(3);
            for (int q = 0; q < questions; ++q)
                question.row({id(Kind::Question, i, q), handlerId, QString::number(q + 1),
                              QString::fromLatin1(q == 0 ? QuestionTexts[0] : m_random.pick(QuestionTexts)),
                              q == 0 ? 10 : 30 + 30 * m_random.below(3), Null});
        }
    }

    void addNameLookupHandlers()
    {
        const GeneratedShape &s = m_plan.shape;
        Insert handler(m_db, QStringLiteral("NameLookupHandler"),
                       columns("NameLookupHandlerObjectID,Alias,TextName,UID,Language,AdministratorObjectID,"
                               "AdministratorObjectIDType,PlayAllNames,SearchScope,SearchScopeObjectID,"
                               "SearchByFirstName,ExitAction,ExitConversation,ExitObjectID,ExitObjectIDType,ZeroAction,"
                               "ZeroConversation,ZeroObjectID,ZeroObjectIDType,NoInputAction,NoInputConversation,"
                               "NoInputObjectID,NoInputObjectIDType,NoSelectionAction,NoSelectionConversation,"
                               "NoSelectionObjectID,NoSelectionObjectIDType,AutoRoute,MenuStyle,SayExtension,MaxMatches,"
                               "ApplicationObjectID,EndDialDelay,StartDialDelay,Tries,UseStarToExit,LocationObjectID,"
                               "Undeletable"),
                       m_error);
        const Route exit = go(PHGreeting, m_root, 3);
        const Route zero = go(PHTransfer, m_operator, 3);
        const Route noInput = act(1);
        const Route noSelection = go(PHGreeting, m_goodbye, 3);
        const int number = std::max(4, digitsOf(s.nameLookupHandlers));
        for (int d = 1; d <= s.nameLookupHandlers; ++d) {
            const QString handlerId = id(Kind::NameLookupHandler, d);
            const bool isTemplate = d == 1;
            const QString tag = QStringLiteral("%1").arg(d, number, 10, QLatin1Char('0'));
            const QString alias = isTemplate ? QStringLiteral("companydirectory") : QStringLiteral("directory_") + tag;
            // Mostly the whole dialing domain; some directories search a location, a list or a class of service.
            const int roll = isTemplate ? 0 : m_random.below(100);
            const int scope = roll < 60 ? 1 : roll < 75 ? 3 : roll < 90 ? 4 : 5;
            const QVariant scopeObject = scope == 3   ? QVariant(m_headquarters)
                                         : scope == 4 ? QVariant(id(Kind::ScopeList, 1))
                                         : scope == 5 ? QVariant(m_defaultCos)
                                                      : Null;
            const auto [owner, ownerType] = somePerson();
            handler.row({handlerId, alias,
                         isTemplate ? QStringLiteral("Company Directory") : QStringLiteral("Directory ") + tag, alias,
                         isTemplate ? Null : someLanguage(), owner, ownerType, isTemplate ? 0 : m_random.percent(20) ? 1 : 0,
                         scope, scopeObject, isTemplate ? 0 : m_random.percent(30) ? 1 : 0, exit.action,
                         exit.conversation, exit.destination, exit.destinationType, zero.action, zero.conversation,
                         zero.destination, zero.destinationType, noInput.action, noInput.conversation,
                         noInput.destination, noInput.destinationType, noSelection.action, noSelection.conversation,
                         noSelection.destination, noSelection.destinationType, isTemplate || m_random.percent(80) ? 1 : 0,
                         isTemplate || m_random.percent(80) ? 1 : 0, 1, isTemplate ? 8 : 4 + m_random.below(7),
                         id(Kind::Application, 1), 2000, 1500, 3, 1, m_headquarters, isTemplate ? 1 : 0});
            addExtension(extension('3', d - 1), handlerId, 6);
        }
    }

    void addLookups()
    {
        Insert schedule(m_db, QStringLiteral("Schedule"),
                        columns("DisplayName,IgnoreHolidays,Monday,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday"),
                        m_error);
        const QByteArray none(12, '\0');
        const QByteArray always(12, char(0xFF));
        const QByteArray office = QByteArray::fromHex("00000000FFFFFFFFF0000000"); // 08:00-17:00
        schedule.row({QStringLiteral("Weekdays"), 0, office, office, office, office, office, none, none});
        schedule.row({QStringLiteral("All Hours"), 1, always, always, always, always, always, always, always});

        Insert cos(m_db, QStringLiteral("COS"), columns("COSObjectID,Alias,TextName"), m_error);
        cos.row({m_defaultCos, QStringLiteral("defaultcos"), QStringLiteral("Default COS")});
        cos.row({id(Kind::Cos, 2), QStringLiteral("administratorscos"), QStringLiteral("Administrators")});
        cos.row({id(Kind::Cos, 3), QStringLiteral("restrictedcos"), QStringLiteral("Restricted")});

        Insert location(m_db, QStringLiteral("Location"), columns("LocationObjectID,Alias,TextName"), m_error);
        location.row({m_headquarters, QStringLiteral("default"), QStringLiteral("Headquarters")});
        location.row({id(Kind::Location, 2), QStringLiteral("branch"), QStringLiteral("Branch Office")});

        Insert list(m_db, QStringLiteral("DistributionList"),
                    columns("SystemDListObjectID,DirectoryID,Alias,DisplayName,SMTPAddress"), m_error);
        list.row({m_allSubscribers, id(Kind::DirectoryId, 1, 1), QStringLiteral("allsubscribers"),
                  QStringLiteral("All Subscribers"), QStringLiteral("allsubscribers@tolva.example.com")});
        list.row({m_operators, id(Kind::DirectoryId, 2, 1), QStringLiteral("operators"),
                  QStringLiteral("Operators"), QStringLiteral("operators@tolva.example.com")});

        Insert scope(m_db, QStringLiteral("ScopeDList"), columns("ScopeDListObjectID,DirectoryID,DisplayName"), m_error);
        scope.row({id(Kind::ScopeList, 1), id(Kind::DirectoryId, 1, 1),
                   QStringLiteral("All Subscribers")});

        // Routing rules name their target without braces.
        Insert rule(m_db, QStringLiteral("[Rule]"), columns("RuleObjectID,DisplayName,ActionObjectID"), m_error);
        rule.row({makeId(m_seed, 0xB1, 0, 1), QStringLiteral("Route to operator"), m_operator.mid(1, 36)});
    }

    const Plan &m_plan;
    quint32 m_seed;
    Random m_random;
    QString &m_error;
    Insert m_callHandler, m_contactRule, m_greeting, m_menuEntry, m_extension, m_subscriber;
    QSqlDatabase &m_db;
    int m_extensionDigits = 4, m_subscriberDigits = 5;
    QString m_root, m_operator, m_goodbye, m_operators, m_allSubscribers, m_defaultCos, m_headquarters;
};

// ---- files ----





} // namespace

QString generatedObjectId(quint32 seed, SampleIds::Kind kind, qint64 serial, int index)
{
    return makeId(seed, int(kind), index, serial);
}

bool isGeneratedMissingId(const QString &id)
{
    return id.size() == 38 && id.mid(1, 4).compare(QLatin1String("FFFF"), Qt::CaseInsensitive) == 0
           && id.mid(14, 15) == QLatin1String("-4000-8000-0000");
}

GeneratedShape generatedShape(const GeneratedOptions &options)
{
    return makePlan(options).shape;
}

std::optional<SampleServer> createGeneratedServer(const QString &folder, const GeneratedOptions &options,
                                                  QString *error)
{
    const auto laidOut = detail::layOutServer(folder, error);
    if (!laidOut)
        return std::nullopt;
    const SampleServer &server = *laidOut;
    if (!writeFile(server.streamFolder + QStringLiteral("openinggreetingch_Standard.wav"), wavTone(440.0), error))
        return std::nullopt;

    const Plan plan = makePlan(options);
    Random random(options.seed, 3);
    TreeBuilder builder(plan, options.seed, random);
    const std::vector<TreeHandler> tree = builder.build();
    if (builder.unplaced() > 0) {
        setError(error, QStringLiteral("The menus have no room for %1 links.").arg(builder.unplaced()));
        return std::nullopt;
    }

    if (!buildDatabase(server.mainDatabase, createMainSchema,
                       [&](QSqlDatabase &db, QString *why) {
                           QString failure;
                           const bool ok = ServerWriter(db, plan, options.seed, failure).write(tree);
                           return ok || setError(why, failure);
                       },
                       error))
        return std::nullopt;
    if (!detail::finishServer(server, SampleOptions{}, error))
        return std::nullopt;
    return server;
}

} // namespace quillor::embedded
