#include "mainwindow/routingtree.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "details/actiontext.h"
#include "details/detailpage.h"
#include "platform/busycursor.h"
#include "platform/seams.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quillor {

using platform::BusyCursor;
using platform::msgBox;
using platform::OutlineNode;
using Kind = DestinationLookup::Kind;

namespace {

const QString kConversation = QStringLiteral("Conversation");
const QString kAction = QStringLiteral("Action");
const QString kObjectID = QStringLiteral("ObjectID");
const QString kNodeType = QStringLiteral("NodeType");
const QString kChildAlias = QStringLiteral("ChildAlias");

// The one-key keys in tree order.
const QStringList kKeys = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                           QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                           QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("*"), QStringLiteral("#")};

// The greetings (by greeting index) in tree order: Standard, Off Hours,
// Alternate, Internal, Busy, Error.
constexpr int kGreetings[] = {0, 1, 3, 4, 2, 5};
const QStringList kGreetingAliases = [] {
    QStringList aliases;
    for (const int g : kGreetings)
        aliases << greetingRuleAlias(g);
    return aliases;
}();

// The links of a node in the order its rows are added: the twelve keys, the
// after-message action, the six greetings.
constexpr int kKeySlots = 12;
constexpr int kAfterMessageSlot = kKeySlots;
constexpr int kFirstGreetingSlot = kAfterMessageSlot + 1;
constexpr int kSlots = kFirstGreetingSlot + int(std::size(kGreetings));

// Expand all reads ahead of its walk what it is yet to open, a level of the
// tree a query, and reads every object's links at once (a LinkTable) once it
// is bound to open at least one in kLinkTableShare of the server's call
// handlers: those it has read and those it has met and is yet to open (each
// opened unless the row limit stops the walk first). A tree that big mostly
// goes on over most of the server, and in this process the whole read costs
// about as much as reading a tenth of the objects one by one; a small tree
// on a large server never gets there and is read a level at a time. The same
// share holds over a network: a level costs a round trip or two, while the
// whole read moves every row of the server over the wire, which for a small
// tree on a large server costs far more than the few levels it saves.
constexpr int kLinkTableShare = 40;
// Objects read ahead in one query: three lists of parameters stay well below
// what either server takes in one statement.
constexpr qsizetype kReadAheadChunk = 300;

const QStringList kSlotKeys = [] {
    QStringList keys = kKeys;
    keys << QStringLiteral("AM");
    for (const int g : kGreetings)
        keys << greetingLinkCode(g);
    return keys;
}();

// The hidden columns, in the order the model is given them.
enum Column { ColConversation, ColAction, ColObjectID, ColNodeType, ColChildAlias };

// What opening objects reads, in one query: each object's handler row, its
// menu entries and its greetings (only counted while they are not shown,
// which the index answers alone), each row with the object it belongs to.
// `match` picks the objects (" = ?", " IN (?,...)"); it is asked once in each part.
QString nodeRowsQuery(const QString &match, bool greetingLinks)
{
    return QStringLiteral("SELECT 2 AS RuleKind, NULL AS Alias, AfterMessageAction AS Action, AfterMessageConversation AS "
                          "ConversationName, AfterMessageObjectID AS DestinationObjectID, CallHandlerObjectID AS "
                          "OwnerObjectID FROM vw_CallHandler WHERE CallHandlerObjectID")
           + match
           + QStringLiteral(" UNION ALL SELECT 0, Alias, Action, ConversationName, DestinationObjectID, ParentObjectID "
                            "FROM vw_MenuEntry WHERE ParentObjectID")
           + match
           + (greetingLinks ? QStringLiteral(" UNION ALL SELECT 1, Alias, Action, ConversationName, DestinationObjectID, "
                                             "ParentObjectID FROM vw_MessagingRule WHERE ParentObjectID")
                            : QStringLiteral(" UNION ALL SELECT 1, NULL, NULL, NULL, NULL, ParentObjectID FROM "
                                             "vw_MessagingRule WHERE ParentObjectID"))
           + match;
}

// Conversations that lead nowhere further.
bool isConversationWithoutDestination(const QString &c)
{
    return c == conv::SubSignIn || c == conv::GreetingsAdministrator || c == conv::CxConvEasySignIn
           || c == conv::CxConvSystemTransfer || c == conv::ConvCVMMBoxReset || c == conv::ConvHotelCheckedOut
           || c == conv::CxConvSubSystemTransfer || c == conv::BroadcastMessageAdministrator
           || c == conv::TransferAltContactNumber;
}

// The slot of a menu entry's or a greeting's alias; -1 for another alias.
int slotOf(bool menu, const QString &alias)
{
    if (menu) {
        for (int i = 0; i < kKeySlots; ++i) {
            if (alias.compare(kKeys.at(i), Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    for (int i = 0; i < int(std::size(kGreetings)); ++i) {
        if (alias.compare(kGreetingAliases.at(i), Qt::CaseInsensitive) == 0)
            return kFirstGreetingSlot + i;
    }
    return -1;
}

// A link as read, by which links that show the same row are found.
struct LinkKey {
    int slot = 0;
    int actionType = -1; // -1: no action stored
    int action = 0;
    QString conversation;
    QString destination;
    bool operator==(const LinkKey &) const = default;
};

size_t qHash(const LinkKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.slot, k.actionType, k.action, k.conversation, k.destination);
}

} // namespace

QString pictureKeyForNodeType(int nodeType)
{
    switch (nodeType) {
    case NodeLeaf: return QStringLiteral("Leaf");
    case NodeSubscriber: return QStringLiteral("Subscriber");
    case NodeCallHandler: return QStringLiteral("Handler");
    case NodeInterviewer: return QStringLiteral("Interviewer");
    case NodeNameLookup: return QStringLiteral("AlphaDirectory");
    case NodeInvalidLink: return QStringLiteral("InvalidLink");
    case NodeDuplicateHandler:
    case NodeDuplicateSubscriber: return QStringLiteral("Duplicate");
    default: return {};
    }
}

// One link read from the database, before it becomes a row.
struct RoutingTree::Link {
    QVariant action; // Null when the database holds none
    QString destination;
    QString conversation;
};

// What a link shows as a row. It is the same wherever its object is opened,
// so it is worked out once and every row of the link shares its text and
// cells: a tree of a million rows holds far fewer distinct ones.
struct RoutingTree::LinkRow {
    bool add = false; // false: the view options leave the link out
    qint16 type = NodeLeaf; // before the loop test
    QString text;
    QString objectId; // normalised; empty for leaves and invalid links
    platform::OutlineCells cells;
    platform::OutlineCells duplicateCells; // a call handler or subscriber met on its own path
};

// What opening one call handler needs from the database, kept until the
// tree is rebuilt or the program writes to the server.
struct RoutingTree::NodeLinks {
    int handlerCount = 0;
    QString handlerId;
    int menuCount = 0;
    int greetingCount = 0;
    // By slot (the greetings only when they are shown). A link keeps what it
    // was read as until its row has been worked out without a message; a
    // slot with neither is an entry the server does not have.
    struct Slot {
        std::shared_ptr<const LinkRow> row;
        std::unique_ptr<Link> link;
        bool present() const { return row || link; }
    };
    std::vector<Slot> entries;
};

struct RoutingTree::ReadCache {
    explicit ReadCache(AppContext &ctx, const TreeViewOptions &shown) : lookup(ctx), writes(ctx.db().writeCount()), options(shown) {}
    QHash<QString, std::shared_ptr<NodeLinks>> nodes;
    // Every object's links, read by an Expand all that has read many one by
    // one (kept until it ends).
    std::unique_ptr<LinkTable> table;
    std::vector<LinkTable::Row> rowBuffer; // an object's rows as read, reused for the next
    QHash<LinkKey, std::shared_ptr<const LinkRow>> rows;
    DestinationLookup lookup;
    quint64 writes;
    TreeViewOptions options; // the rows depend on them
};

// What one opened row of a changed object needs: its link at `position` made
// anew, or (`tail`) its links from `position` on made to match.
struct RoutingTree::LinkUpdate {
    Node *row;
    int position;
    bool tail;
};

// The row being given its links.
struct RoutingTree::Filling {
    Filling(Node *filled, Node *stub) : row(filled), placeholder(stub) {}
    Node *row;
    Node *placeholder; // to become the first link's row
    std::vector<QString> path; // the ObjectIDs from the row up to the root, read when first asked
    bool pathRead = false;
    const QHash<QString, int> *pathIds = nullptr; // the same, kept by the walk that fills the row
};

int detailPageForNodeType(int nodeType)
{
    switch (nodeType) {
    case NodeSubscriber:
    case NodeDuplicateSubscriber: return 0;
    case NodeCallHandler:
    case NodeDuplicateHandler: return 1;
    case NodeInterviewer: return 2;
    case NodeLeaf:
    case NodeInvalidLink: return 3;
    case NodeNameLookup: return 4;
    default: return -1;
    }
}

RoutingTree::RoutingTree(AppContext &ctx, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_model({kConversation, kAction, kObjectID, kNodeType, kChildAlias}),
      m_cache(std::make_shared<ReadCache>(ctx, m_options))
{
    connect(&m_model, &platform::OutlineModel::beforeExpand, this, &RoutingTree::ATTree_BeforeCollapse);
}

RoutingTree::~RoutingTree() = default;

qint16 RoutingTree::nodeType(const Node *row) const { return qint16(m_model.cell(row, kNodeType).toInt()); }
QString RoutingTree::objectId(const Node *row) const { return m_model.cell(row, kObjectID).toString(); }
QString RoutingTree::childAlias(const Node *row) const { return m_model.cell(row, kChildAlias).toString(); }
QString RoutingTree::conversation(const Node *row) const { return m_model.cell(row, kConversation).toString(); }
QVariant RoutingTree::action(const Node *row) const { return m_model.cell(row, kAction); }
bool RoutingTree::isPlaceholder(const Node *row) const { return row && m_model.mainText(row).isEmpty(); }

bool RoutingTree::openRow(Node *row) { return m_model.setExpanded(row, true); }

void RoutingTree::reportError(int number, const QString &description, const QString &procedure)
{
    quillor::reportError(number, description, procedure, QStringLiteral("Form"), QStringLiteral("frmMain"));
}

bool RoutingTree::StartNewTree(QString &strHandlerObjectID, qint16)
{
    return buildTree(strHandlerObjectID, BuildMode::StartUp) != BuildResult::Ended;
}

RoutingTree::BuildResult RoutingTree::buildTree(QString &strHandlerObjectID, BuildMode mode)
{
    m_model.setRedraw(false);
    // Until a root is found the tree stays as it is: re-rooting at an object
    // that has gone leaves it whole, and a rebuild tries its next root.
    const auto stop = [&](BuildResult result) {
        if (result == BuildResult::Stopped && mode != BuildMode::ReRoot)
            m_model.clear();
        m_model.setRedraw(true);
        return result;
    };
    const QString connection = m_ctx.state().gConnectionString;

    platform::DbError err;
    platform::Recordset rs = strHandlerObjectID.isEmpty()
                                 ? m_ctx.db().open(connection, QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias = ?"),
                                                   {QStringLiteral("openinggreetingch")}, &err)
                                 : m_ctx.db().open(connection,
                                                   QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID = ?"),
                                                   {normalizedObjectId(strHandlerObjectID)}, &err);
    if (!rs.isOpen()) {
        reportError(err.number, err.description, QStringLiteral("StartNewTree"));
        return stop(BuildResult::Stopped);
    }
    if (rs.RecordCount() != 1) {
        const bool duplicated = rs.RecordCount() > 1;
        if (mode != BuildMode::StartUp)
            return stop(duplicated ? BuildResult::RootDuplicated : BuildResult::RootMissing);
        m_model.clear();
        msgBox(duplicated ? QStringLiteral("Error!  More than one root call handler found - cannot build tree. Exiting")
                          : QStringLiteral("Error!  Could not find root call handler requested - exiting"));
        platform::Seams::shell().endProcess(0);
        return BuildResult::Ended;
    }
    rs.MoveFirst();
    const QString rootId = normalizedObjectId(rs.text(QStringLiteral("CallHandlerObjectID")));

    QString name;
    qint16 type = NodeCallHandler;
    const bool isPrimary = !rs.isNull(QStringLiteral("IsPrimary")) && rs.field(QStringLiteral("IsPrimary")).toInt() != 0;
    if (isPrimary) {
        platform::Recordset sub = m_ctx.db().open(connection,
                                                  QStringLiteral("SELECT * FROM vw_Subscriber WHERE SubscriberObjectID = ?"),
                                                  {normalizedObjectId(rs.text(QStringLiteral("RecipientObjectID")))}, &err);
        if (!sub.isOpen())
            reportError(err.number, err.description, QStringLiteral("StartNewTree"));
        if (sub.RecordCount() != 1) {
            msgBox(QStringLiteral("Could not find subsriber in database!"));
            return stop(BuildResult::Stopped);
        }
        sub.MoveFirst();
        name = sub.text(QStringLiteral("DisplayName"));
        if (name.isEmpty())
            name = sub.text(QStringLiteral("Alias"));
        type = NodeSubscriber;
    } else {
        name = rs.text(QStringLiteral("TextName"));
        if (name.isEmpty())
            name = rs.text(QStringLiteral("Alias"));
    }

    m_model.clear();
    // A new tree reads everything afresh.
    clearCache();
    strHandlerObjectID = rootId;
    Node *root = m_model.setRoot(name);
    m_model.setCell(root, kNodeType, type);
    m_model.setPicture(root, pictureKeyForNodeType(type));
    m_model.setCell(root, kObjectID, strHandlerObjectID);
    if (m_model.totalRows() == 1) {
        gRootObjectID = strHandlerObjectID;
        gRootNodeType = type;
    }
    // A root whose links could not be read for a lost connection stays closed, to be opened later.
    m_model.showOutlineToLevel(expandRow(root, nullptr) ? 1 : 0);
    emit selectRow(root);
    m_model.setRedraw(true);
    return BuildResult::Built;
}

void RoutingTree::RebuildTree(QString &strHandlerObjectID)
{
    // The roots to try, in order, each once: the one asked for, the current
    // root, the default root ("").
    QStringList candidates;
    for (const QString &id : {normalizedObjectId(strHandlerObjectID), gRootObjectID, QString()}) {
        if (!candidates.contains(id))
            candidates << id;
    }
    BuildResult result = BuildResult::RootMissing;
    qsizetype tried = 0;
    QString built;
    for (const QString &candidate : std::as_const(candidates)) {
        built = candidate;
        result = buildTree(built, BuildMode::Rebuild);
        ++tried;
        if (result != BuildResult::RootMissing && result != BuildResult::RootDuplicated)
            break;
    }
    if (result == BuildResult::Built || result == BuildResult::Stopped) {
        strHandlerObjectID = built;
        if (tried > 1 && result == BuildResult::Built)
            msgBox(QStringLiteral("Error!  Could not find root call handler requested - the tree is shown from \"%1\" "
                                  "instead.")
                       .arg(m_model.mainText(m_model.root())));
        return;
    }
    // No root left: an empty tree rather than one that shows what is no longer there.
    m_model.clear();
    msgBox(result == BuildResult::RootDuplicated
               ? QStringLiteral("Error!  More than one root call handler found - cannot build tree.")
               : QStringLiteral("Error!  Could not find root call handler requested - cannot build tree."));
}

bool RoutingTree::ReRootTree(QString &strHandlerObjectID)
{
    QString id = normalizedObjectId(strHandlerObjectID);
    switch (buildTree(id, BuildMode::ReRoot)) {
    case BuildResult::Built: strHandlerObjectID = id; return true;
    case BuildResult::RootMissing:
        msgBox(QStringLiteral("Error!  Could not find root call handler requested - the tree is left as it was."));
        return false;
    case BuildResult::RootDuplicated:
        msgBox(QStringLiteral("Error!  More than one root call handler found - the tree is left as it was."));
        return false;
    default: return false; // reported where it failed
    }
}

RoutingTree::ExpandAllResult RoutingTree::ExpandAllNodes(int rowLimit)
{
    ExpandAllResult result;
    if (m_model.isEmpty())
        return result;
    // An object met on many branches would repeat its fault once per branch:
    // shown once, written to the log every time.
    const platform::OnceOnlyMessages once([this](const QString &text) { m_ctx.log().logMessage(text); });
    m_model.setRedraw(false);
    // Views hear of the opened tree once, at the end, not of each of its rows.
    m_model.beginBulkChange();
    m_walk = ExpandWalk{};
    m_walk->tableAfter = m_expandAllTableAfter;
    m_walk->share = m_expandAllTableShare > 0 ? m_expandAllTableShare : kLinkTableShare;
    if (m_walk->mayReadAhead() && !cache().table) {
        for (const Node *row = m_model.root(); row; row = m_model.nextInTree(row))
            noteUnreadRow(row);
    }
    // The ObjectIDs from the root down to the row the walk is at, kept as it
    // goes: the loop test of a link is then one look-up, not a climb to the
    // root (two hundred levels on long chains).
    std::vector<std::pair<const Node *, QString>> path;
    QHash<QString, int> onPath;
    // Depth first over every row, the rows each expansion adds included.
    for (Node *row = m_model.root(); row; row = m_model.nextInTree(row)) {
        Node *first = row->firstChild();
        if (!first)
            continue;
        while (!path.empty() && path.back().first != row->parent()) {
            if (--onPath[path.back().second] == 0)
                onPath.remove(path.back().second);
            path.pop_back();
        }
        path.emplace_back(row, objectId(row));
        ++onPath[path.back().second];
        if (isPlaceholder(first)) {
            if (m_model.totalRows() >= rowLimit) {
                // What is open stays whole; the rest keeps its placeholder.
                result.limitReached = true;
                break;
            }
            // A read that lost the connection or timed out: every read after
            // it would wait as long again, so the walk ends here.
            if (!expandRow(row, &onPath)) {
                result.connectionLost = true;
                break;
            }
            ++result.expanded;
            for (int i = 0; m_walk->mayReadAhead() && !m_cache->table && i < row->childCount(); ++i)
                noteUnreadRow(row->child(i));
        }
        // Also a node opened before and closed again: the whole tree shows open.
        m_model.setExpanded(row, true);
    }
    m_walk.reset();
    result.everyLinkRead = m_cache->table != nullptr;
    // What the walk did not open is read one by one when opened.
    m_cache->table.reset();
    if (result.connectionLost)
        m_ctx.log().logMessage(QStringLiteral("(error) Expand all nodes stopped: the connection to the server was lost (")
                               + m_lost->description + u')');
    m_model.endBulkChange();
    m_model.setRedraw(true);
    return result;
}

RoutingTree::ReadCache &RoutingTree::cache()
{
    // Rows read before one of the program's own writes may be stale; rows
    // made under other view options show other links.
    if (m_cache->writes != m_ctx.db().writeCount() || !(m_cache->options == m_options))
        clearCache();
    return *m_cache;
}

void RoutingTree::clearCache()
{
    m_cache = std::make_shared<ReadCache>(m_ctx, m_options);
}

std::shared_ptr<RoutingTree::NodeLinks> RoutingTree::readNodeLinks(const QString &objectId, platform::DbError *error)
{
    ReadCache &known = cache();
    const QString key = normalizedObjectId(objectId);
    if (const auto it = known.nodes.constFind(key); it != known.nodes.cend())
        return *it;

    // Expand all reads what it is yet to open ahead of its walk, or every object's links at once.
    if (m_walk && !known.table && m_walk->mayReadAhead() && m_walk->reads >= m_walk->tableAfter) {
        readAhead(key);
        if (m_lost) {
            if (error)
                *error = *m_lost;
            return nullptr;
        }
        if (const auto it = known.nodes.constFind(key); it != known.nodes.cend())
            return *it;
    }
    std::vector<LinkTable::Row> &rows = known.rowBuffer;
    if (!known.table || !known.table->rowsOf(key, rows)) {
        if (!queryNodeRows(key, rows, error))
            return nullptr;
        if (m_walk) {
            ++m_walk->reads;
            m_walk->unread.remove(key);
        }
    }
    auto links = linksFromRows(rows);
    known.nodes.insert(key, links);
    return links;
}

void RoutingTree::noteUnreadRow(const Node *row)
{
    if (const Node *first = row->firstChild(); first && isPlaceholder(first)) {
        QString id = objectId(row);
        if (!m_cache->nodes.contains(id))
            m_walk->unread.insert(std::move(id));
    }
}

void RoutingTree::readAhead(const QString &key)
{
    ExpandWalk &walk = *m_walk;
    const std::shared_ptr<ReadCache> hold = m_cache;
    ReadCache &known = *hold;
    const QString &connection = m_ctx.state().gConnectionString;
    // From now on the walk reads one object at a time, as it does when told
    // to; after a lost connection it reads nothing more (m_lost says so).
    platform::DbError error;
    const auto oneByOne = [&] {
        walk.tableAfter = std::numeric_limits<int>::max();
        walk.unread = {};
        lostConnection(error);
    };
    if (!walk.handlers) {
        platform::Recordset count =
            m_ctx.db().open(connection, QStringLiteral("SELECT COUNT(*) AS Handlers FROM vw_CallHandler"), {}, &error);
        if (count.RecordCount() != 1)
            return oneByOne();
        count.MoveFirst();
        walk.handlers = count.field(QStringLiteral("Handlers")).toLongLong();
    }
    walk.unread.insert(key);
    // What was read ahead, for its destinations.
    std::vector<std::shared_ptr<NodeLinks>> readLinks;
    while (!walk.unread.isEmpty()) {
        if ((qint64(walk.reads) + walk.unread.size()) * walk.share >= *walk.handlers) {
            auto table = std::make_unique<LinkTable>();
            switch (table->read(m_ctx.db(), connection, m_options.ShowAfterGreetingLinks, *walk.handlers, &error)) {
            case LinkTable::Read:
                known.table = std::move(table);
                walk.unread = {};
                // The links' destinations: as many again, and as quickly read at once.
                for (const Kind kind : {Kind::CallHandler, Kind::Subscriber, Kind::NameLookupHandler, Kind::InterviewHandler})
                    if (!known.lookup.readAll(kind, &error) && lostConnection(error))
                        return;
                return;
            case LinkTable::TooLarge: // more than were counted: read ahead further first
                walk.handlers = table->handlers();
                if ((qint64(walk.reads) + walk.unread.size()) * walk.share < *walk.handlers)
                    break;
                [[fallthrough]];
            case LinkTable::Failed:
                return oneByOne();
            }
        }
        // The objects of one level of the tree ahead, a few hundred a query.
        // (An ObjectID that is no GUID is left to its own query: SQL Server refuses to compare it.)
        QStringList level;
        for (const QString &id : std::as_const(walk.unread))
            if (isGuidText(id))
                level << id;
        walk.unread.clear();
        QSet<QString> next;
        for (qsizetype first = 0; first < level.size(); first += kReadAheadChunk) {
            const QStringList ids = level.mid(first, kReadAheadChunk);
            QHash<QString, std::vector<LinkTable::Row>> rows;
            if (!queryRowsOf(ids, rows, &error))
                return oneByOne();
            for (const QString &id : ids) {
                auto links = linksFromRows(rows.value(id));
                known.nodes.insert(id, links);
                ++walk.reads;
                readLinks.push_back(links);
                forEachShownLink(*links, [&](const Link &link) {
                    if (opensNode(link)) {
                        const QString destination = normalizedObjectId(link.destination);
                        if (isGuidText(destination) && !known.nodes.contains(destination))
                            next.insert(destination);
                    }
                });
            }
        }
        // (Objects of this level met again in it were read with it.)
        next.removeIf([&known](const QString &id) { return known.nodes.contains(id); });
        walk.unread = std::move(next);
    }
    std::vector<const NodeLinks *> destinations;
    for (const auto &links : readLinks)
        destinations.push_back(links.get());
    if (!prefetchDestinations(destinations, &error))
        lostConnection(error);
}

bool RoutingTree::queryNodeRows(const QString &key, std::vector<LinkTable::Row> &rows, platform::DbError *error)
{
    // The tree sends it for every node it opens.
    platform::Recordset rules = m_ctx.db().open(m_ctx.state().gConnectionString,
                                                nodeRowsQuery(QStringLiteral(" = ?"), m_options.ShowAfterGreetingLinks),
                                                {key, key, key}, error);
    if (!rules.isOpen())
        return false;
    const int kind = rules.fieldIndex(QStringLiteral("RuleKind"));
    const int alias = rules.fieldIndex(QStringLiteral("Alias"));
    const int action = rules.fieldIndex(QStringLiteral("Action"));
    const int conversation = rules.fieldIndex(QStringLiteral("ConversationName"));
    const int destination = rules.fieldIndex(QStringLiteral("DestinationObjectID"));
    const int owner = rules.fieldIndex(QStringLiteral("OwnerObjectID"));
    rows.clear();
    for (int r = 0; r < rules.RecordCount(); ++r) {
        const int k = rules.value(r, kind).toInt();
        rows.push_back({k, rules.value(r, alias).toString(), rules.value(r, action),
                        rules.value(r, conversation).toString(), rules.value(r, destination).toString(),
                        k == LinkTable::HandlerRow ? rules.value(r, owner).toString() : QString()});
    }
    return true;
}

bool RoutingTree::queryRowsOf(const QStringList &keys, QHash<QString, std::vector<LinkTable::Row>> &rows,
                              platform::DbError *error)
{
    // What queryNodeRows reads for each object, for many objects at once.
    QStringList marks;
    for (qsizetype i = 0; i < keys.size(); ++i)
        marks << QStringLiteral("?");
    const QString sql = nodeRowsQuery(QStringLiteral(" IN (") + marks.join(u',') + u')', m_options.ShowAfterGreetingLinks);
    QVariantList params;
    for (int list = 0; list < 3; ++list)
        for (const QString &key : keys)
            params << key;
    rows.clear();
    return m_ctx.db().forEachRow(m_ctx.state().gConnectionString, sql, params, [&rows](const QVariantList &row) {
        const QString owner = row[5].toString();
        const int kind = row[0].toInt();
        rows[normalizedObjectId(owner)].push_back({kind, row[1].toString(), row[2], row[3].toString(), row[4].toString(),
                                                   kind == LinkTable::HandlerRow ? owner : QString()});
    }, error);
}

std::shared_ptr<RoutingTree::NodeLinks> RoutingTree::linksFromRows(const std::vector<LinkTable::Row> &rows) const
{
    auto links = std::make_shared<NodeLinks>();
    // A Null reads as "": no link inherits what the previous one held.
    const auto linkAt = [](const LinkTable::Row &row) {
        return std::make_unique<Link>(Link{row.action, row.destination, row.conversation});
    };
    const LinkTable::Row *handlerRow = nullptr;
    for (const LinkTable::Row &row : rows) {
        if (row.kind == LinkTable::HandlerRow && links->handlerCount++ == 0)
            handlerRow = &row;
    }
    if (links->handlerCount != 1)
        return links;
    links->handlerId = handlerRow->handlerId;
    links->entries.resize(size_t(m_options.ShowAfterGreetingLinks ? kSlots : kFirstGreetingSlot));
    links->entries[kAfterMessageSlot].link = linkAt(*handlerRow);
    for (const LinkTable::Row &row : rows) {
        if (row.kind == LinkTable::HandlerRow)
            continue;
        const bool menu = row.kind == LinkTable::MenuRow;
        (menu ? links->menuCount : links->greetingCount)++;
        if (!menu && !m_options.ShowAfterGreetingLinks)
            continue;
        const int slot = slotOf(menu, row.alias);
        // The first row of each alias, as a forward search from the first row finds it.
        if (slot < 0 || size_t(slot) >= links->entries.size() || links->entries[size_t(slot)].link)
            continue;
        auto link = linkAt(row);
        // A conversation that needs a destination but has none reads "(Error)".
        // The server's own conversations (sign-in and the like) never have
        // one: they stay what they are and read as themselves.
        if (menu && !link->action.isNull() && link->action.toInt() == 2 && !link->conversation.isEmpty()
            && link->destination.isEmpty() && !isConversationWithoutDestination(link->conversation))
            link->action = 6;
        links->entries[size_t(slot)].link = std::move(link);
    }
    return links;
}

template <typename F> void RoutingTree::forEachShownLink(const NodeLinks &links, F &&each) const
{
    const auto at = [&](int slot) {
        if (const Link *l = size_t(slot) < links.entries.size() ? links.entries[size_t(slot)].link.get() : nullptr)
            each(*l);
    };
    for (int slot = 0; slot < kKeySlots; ++slot)
        at(slot);
    if (m_options.ShowAfterMessageLinks)
        at(kAfterMessageSlot);
    if (m_options.ShowAfterGreetingLinks)
        for (int slot = kFirstGreetingSlot; slot < kSlots; ++slot)
            at(slot);
}

bool RoutingTree::opensNode(const Link &link)
{
    return !link.action.isNull() && link.action.toInt() == 2
           && (link.conversation == conv::PHGreeting || link.conversation == conv::PHTransfer);
}

// The destinations of every link not yet worked out, fetched in one query
// instead of one or two per link.
bool RoutingTree::prefetchDestinations(const std::vector<const NodeLinks *> &nodes, platform::DbError *error)
{
    const std::shared_ptr<ReadCache> hold = m_cache;
    DestinationLookup &lookup = hold->lookup;
    if (lookup.knowsAll(Kind::CallHandler) && lookup.knowsAll(Kind::Subscriber)
        && lookup.knowsAll(Kind::NameLookupHandler) && lookup.knowsAll(Kind::InterviewHandler))
        return true;
    QStringList handlers, directories, interviews;
    for (const NodeLinks *links : nodes)
        forEachShownLink(*links, [&](const Link &l) {
            if (opensNode(l))
                handlers << l.destination;
            else if (l.action.isNull() || l.action.toInt() != 2)
                return;
            else if (l.conversation == conv::AD)
                directories << l.destination;
            else if (l.conversation == conv::CHInterview)
                interviews << l.destination;
        });
    if (handlers.isEmpty() && directories.isEmpty() && interviews.isEmpty())
        return true;
    // (The subscribers of primary call handlers come with them.)
    platform::DbError failed;
    lookup.prefetchTogether({handlers, QStringList(), directories, interviews}, &failed);
    if (error && failed.isSet())
        *error = failed;
    return !failed.isSet();
}

void RoutingTree::ExpandRow(Node *iRow) { expandRow(iRow, nullptr); }

bool RoutingTree::expandRow(Node *iRow, const QHash<QString, int> *pathIds)
{
    if (!iRow)
        return true;
    m_model.setRedraw(false);
    BusyCursor busy;
    // Changing the placeholder into the first link's row costs a view far
    // less than removing it (which walks every index the view keeps).
    Filling fill{iRow, iRow->childCount() == 1 && isPlaceholder(iRow->firstChild()) ? iRow->firstChild() : nullptr};
    fill.pathIds = pathIds;
    // The links reach the view as one insertion once they are all there.
    m_model.beginAppendRows(iRow);
    bool appending = true;
    const auto endAppending = [&] {
        if (std::exchange(appending, false))
            m_model.endAppendRows();
        // No link took the placeholder's place: the row is left without children.
        if (Node *unused = std::exchange(fill.placeholder, nullptr))
            m_model.removeNode(unused);
    };
    const auto finish = [&](bool select) {
        endAppending();
        m_model.setRedraw(true);
        if (select)
            emit selectRow(iRow);
    };

    const qint16 type = nodeType(iRow);
    if (type != NodeCallHandler && type != NodeSubscriber) {
        msgBox(QStringLiteral("error!  Unknown node type passed to node builder routine:"));
        finish(true);
        return true;
    }
    std::vector<std::shared_ptr<const LinkRow>> rows;
    const LinkRead read = readLinkRows(objectId(iRow), rows);
    if (read == LinkRead::Lost) {
        // The row stays as it was, placeholder and all: it opens once the server answers again.
        fill.placeholder = nullptr;
        finish(false);
        return false;
    }
    for (const auto &row : rows)
        AddNewNode(fill, *row);
    if (read == LinkRead::Short) {
        finish(false);
        return true;
    }
    endAppending();
    for (int i = 0; i < iRow->childCount(); ++i)
        m_model.setExpanded(iRow->child(i), false);
    finish(true);
    return true;
}

bool RoutingTree::lostConnection(const platform::DbError &error)
{
    if (error.lost && !m_lost)
        m_lost = error;
    return error.lost;
}

RoutingTree::LinkRead RoutingTree::readLinkRows(const QString &objectId, std::vector<std::shared_ptr<const LinkRow>> &rows)
{
    m_lost.reset();
    const auto lost = [&] {
        rows.clear();
        // A look-up that failed for it would stay failed in what was read:
        // everything is read anew once the server answers again.
        clearCache();
        // Expand all says it once for the whole walk.
        if (!m_walk)
            msgBox(QStringLiteral("Error in ExpandRow: ") + m_lost->description);
        return LinkRead::Lost;
    };
    platform::DbError err;
    const auto links = readNodeLinks(objectId, &err);
    if (!links) {
        if (lostConnection(err))
            return lost();
        msgBox(QStringLiteral("Error in ExpandRow: ") + err.description);
        return LinkRead::Short;
    }
    if (links->handlerCount != 1) {
        msgBox(QStringLiteral("Error, could not find handler in database:") + objectId);
        return LinkRead::Short;
    }
    if (!prefetchDestinations({links.get()}, &err) && lostConnection(err))
        return lost();

    if (links->menuCount < 10) {
        msgBox(QStringLiteral("Error, could not find menu entries for currently selected handler or subscriber - ObjectID=")
               + links->handlerId);
        return LinkRead::Short;
    }
    // False once a look-up of a link's destination lost the connection.
    const auto add = [&](int slot) {
        if (std::shared_ptr<const LinkRow> row = slotRow(*links, slot); row && row->add)
            rows.push_back(std::move(row));
        return !m_lost;
    };
    for (int i = 0; i < kKeySlots; ++i) {
        if (!links->entries[size_t(i)].present()) {
            m_ctx.log().logMessage(
                QStringLiteral("(error) Could not find menu entry referenced in database.  Missing menu#: %1").arg(i));
            m_ctx.log().logMessage(
                QStringLiteral("     Skipping this menu entry and moving to the next.  Please contact Harvel Labs support"));
            continue;
        }
        if (!add(i))
            return lost();
    }
    if (m_options.ShowAfterMessageLinks && !add(kAfterMessageSlot))
        return lost();

    if (links->greetingCount < 5) {
        msgBox(QStringLiteral("Error, could not find all the messaging rules for the currently selected handler or "
                              "subscriber - ObjectID=")
               + links->handlerId);
        return LinkRead::Short;
    }
    if (m_options.ShowAfterGreetingLinks) {
        for (int i = 0; i < int(std::size(kGreetings)); ++i) {
            const int slot = kFirstGreetingSlot + i;
            if (size_t(slot) >= links->entries.size() || !links->entries[size_t(slot)].present()) {
                msgBox(QStringLiteral("Error, could not find messaging rule for selected call handler or subscriber.  Alias=")
                       + greetingLinkCode(kGreetings[i]));
                continue;
            }
            if (!add(slot))
                return lost();
        }
    }
    return LinkRead::Complete;
}

bool RoutingTree::isOpened(const Node *row) const
{
    // A row never opened holds the placeholder alone.
    return row && !(row->childCount() == 1 && isPlaceholder(row->firstChild()));
}

void RoutingTree::RefreshTreeRowsForObject(const QString &strObjectID)
{
    const QString id = normalizedObjectId(strObjectID);
    std::vector<Node *> rows;
    for (Node *row = m_model.root(); row; row = m_model.nextInTree(row)) {
        // Read by column, not by key: this looks at every row of the tree.
        const platform::OutlineCells cells = m_model.cells(row);
        const int type = cells.value(ColNodeType).toInt();
        if ((type == NodeCallHandler || type == NodeSubscriber) && isOpened(row)
            && cells.value(ColObjectID).toString() == id)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    // When that write is the only one since the tree read the server, the
    // rest of what was read still holds: only the object's links are read again.
    if (m_cache->writes + 1 == m_ctx.db().writeCount() && m_cache->options == m_options) {
        m_cache->nodes.remove(id);
        m_cache->writes = m_ctx.db().writeCount();
    }
    // The object's links, read and worked out once for all of its rows.
    std::vector<std::shared_ptr<const LinkRow>> links;
    if (const LinkRead read = readLinkRows(id, links);
        read == LinkRead::Lost || (read == LinkRead::Short && links.empty()))
        return; // nothing could be read: the rows stay as they are
    std::vector<LinkUpdate> updates;
    int removals = 0;
    for (Node *row : rows)
        removals += planLinkUpdates(row, links, updates);
    if (updates.empty())
        return;

    const bool redraw = m_model.redraw();
    m_model.setRedraw(false);
    BusyCursor busy;
    // Each row that goes costs a view a walk over every row it keeps open;
    // past a few of them, one reset of the views costs less.
    const bool reset = removals > m_refreshResetThreshold;
    if (reset)
        m_model.beginBulkChange();
    for (const LinkUpdate &u : updates)
        applyLinkUpdate(u, links);
    if (reset)
        m_model.endBulkChange();
    m_model.setRedraw(redraw);
}

int RoutingTree::planLinkUpdates(Node *iRow, const std::vector<std::shared_ptr<const LinkRow>> &links,
                                 std::vector<LinkUpdate> &updates)
{
    int removals = 0;
    Filling fill{iRow, nullptr};
    const int kept = std::min(iRow->childCount(), int(links.size()));
    for (int i = 0; i < kept; ++i) {
        const Node *child = iRow->child(i);
        const LinkRow &link = *links[size_t(i)];
        // A link that shows what it showed keeps its row and what was opened
        // below it. Whether it was met before on the path is as it was: the
        // path has not changed.
        if (m_model.mainText(child) == link.text) {
            const platform::OutlineCells shown = m_model.cells(child);
            const auto same = [&shown](const platform::OutlineCells &wanted) {
                for (int c : {ColObjectID, ColNodeType, ColAction, ColConversation, ColChildAlias})
                    if (shown.value(c) != wanted.value(c))
                        return false;
                return true;
            };
            if (same(link.cells) || (!link.duplicateCells.isEmpty() && same(link.duplicateCells)))
                continue;
        }
        removals += child->childCount() > 0 && !keepsPlaceholder(fill, child, link);
        updates.push_back({iRow, i, false});
    }
    if (iRow->childCount() != int(links.size())) {
        removals += std::max(0, iRow->childCount() - kept);
        updates.push_back({iRow, kept, true});
    }
    return removals;
}

void RoutingTree::applyLinkUpdate(const LinkUpdate &u, const std::vector<std::shared_ptr<const LinkRow>> &links)
{
    Node *iRow = u.row;
    Filling fill{iRow, nullptr};
    if (!u.tail) {
        Node *child = iRow->child(u.position);
        const LinkRow &link = *links[size_t(u.position)];
        if (!keepsPlaceholder(fill, child, link))
            RemoveChildren(child);
        PopulateRowInfo(fill, child, link);
        return;
    }
    while (iRow->childCount() > u.position)
        m_model.removeNode(iRow->lastChild());
    if (links.size() > size_t(u.position)) {
        m_model.beginAppendRows(iRow);
        for (size_t i = size_t(u.position); i < links.size(); ++i)
            PopulateRowInfo(fill, m_model.appendChild(iRow, links[i]->text), *links[i]);
        m_model.endAppendRows();
    }
}

QStringList RoutingTree::pathOf(const Node *row) const
{
    QStringList keys;
    for (const Node *n = row; n && n->parent(); n = n->parent())
        keys.prepend(childAlias(n));
    return keys;
}

RoutingTree::Node *RoutingTree::nodeAtPath(const QStringList &keys) const
{
    Node *n = m_model.root();
    for (const QString &key : keys) {
        Node *next = nullptr;
        for (int i = 0; n && i < n->childCount() && !next; ++i)
            if (childAlias(n->child(i)) == key)
                next = n->child(i);
        if (!next)
            break;
        n = next;
    }
    return n;
}

std::shared_ptr<const RoutingTree::LinkRow> RoutingTree::slotRow(NodeLinks &links, int slot)
{
    NodeLinks::Slot &s = links.entries[size_t(slot)];
    std::shared_ptr<const LinkRow> row = s.row;
    if (!row) {
        bool shownMessage = false;
        row = makeLinkRow(*s.link, slot, shownMessage);
        // A link whose row came with a message is worked out again next time, message and all.
        if (row && !shownMessage) {
            s.row = row;
            s.link.reset();
        }
    }
    return row;
}

void RoutingTree::AddNewNode(Filling &fill, const LinkRow &link)
{
    Node *node = std::exchange(fill.placeholder, nullptr);
    if (!node)
        node = m_model.appendChild(fill.row, link.text);
    PopulateRowInfo(fill, node, link);
}

// The row of a link (nullptr: none, after the message about a bad action);
// `shownMessage` is set when working it out showed one.
std::shared_ptr<const RoutingTree::LinkRow> RoutingTree::makeLinkRow(const Link &link, int slot, bool &shownMessage)
{
    // Held here: a message shown below lets the user rebuild the tree meanwhile.
    const std::shared_ptr<ReadCache> hold = m_cache;
    ReadCache &known = *hold;
    const QVariant &action = link.action;
    const LinkKey key{slot, action.isNull() ? -1 : action.typeId(), action.isNull() ? 0 : action.toInt(),
                      link.conversation, link.destination};
    if (const auto it = known.rows.constFind(key); it != known.rows.cend())
        return *it;

    DestinationLookup &lookup = known.lookup;
    QString NewNodeObjectID;
    qint16 NewNodeType = NodeLeaf;
    QVariant iAction = action;
    QString strConversationName = link.conversation;
    const QString &dest = link.destination;
    bool add = false;
    bool invalid = false;

    const auto check = [&](const DestinationLookup::Found &f) {
        if (f.failed) {
            // A lost connection ends the opening (m_lost), which says so once.
            if (!lostConnection(f.error))
                reportError(f.error.number, f.error.description, QStringLiteral("AddNewRow"));
            shownMessage = true;
        }
        return f.found();
    };

    if (iAction.isNull()) {
        // No action stored: shown as a leaf reading "(Error)", never as another link's action.
        add = !m_options.ShowNoLeafs;
    } else {
        switch (iAction.toInt()) {
        case 0:
        case 1:
        case 4:
        case 5:
        case 6:
            add = !m_options.ShowNoLeafs && !(iAction.toInt() == 0 && !m_options.ShowIgnoreKey);
            break;
        case 2:
            if (isConversationWithoutDestination(strConversationName)) {
                add = !m_options.ShowNoLeafs;
            } else if (strConversationName == conv::AD) {
                if (check(lookup.find(Kind::NameLookupHandler, dest))) {
                    NewNodeObjectID = normalizedObjectId(dest);
                    NewNodeType = NodeNameLookup;
                } else {
                    invalid = true;
                }
                add = !m_options.ShowNoLeafs;
            } else if (strConversationName == conv::PHGreeting || strConversationName == conv::PHTransfer) {
                const auto f = lookup.find(Kind::CallHandler, dest);
                if (!check(f)) {
                    invalid = true;
                } else if (f.isPrimary) {
                    if (check(lookup.find(Kind::Subscriber, f.recipientObjectId))) {
                        NewNodeObjectID = normalizedObjectId(dest);
                        NewNodeType = NodeSubscriber;
                    } else {
                        invalid = true;
                    }
                } else {
                    NewNodeObjectID = normalizedObjectId(dest);
                    NewNodeType = NodeCallHandler;
                }
                add = true;
            } else if (strConversationName == conv::CHInterview) {
                if (!m_options.ShowNoLeafs) {
                    if (check(lookup.find(Kind::InterviewHandler, dest))) {
                        NewNodeObjectID = normalizedObjectId(dest);
                        NewNodeType = NodeInterviewer;
                    } else {
                        invalid = true;
                    }
                    add = true;
                }
            } else {
                // A conversation the system does not know: its text says so in a message.
                shownMessage = true;
                add = true;
            }
            break;
        default:
            msgBox(QStringLiteral("Error in ExpandRow function - bad action value passed in"));
            shownMessage = true;
            return nullptr;
        }
    }
    if (invalid) {
        NewNodeType = NodeInvalidLink;
        iAction = 99;
        NewNodeObjectID.clear();
        strConversationName.clear();
    }

    auto row = std::make_shared<LinkRow>();
    row->add = add;
    if (add) {
        const QString &childAlias = kSlotKeys.at(slot);
        const qint16 code = iAction.isNull() ? qint16(-1) : qint16(iAction.toInt());
        row->type = NewNodeType;
        row->objectId = NewNodeObjectID;
        row->text = childAlias + QStringLiteral(": ")
                    + strConstructActionString(m_ctx, strConversationName, code, NewNodeObjectID, &lookup);
        row->cells.set(ColConversation, strConversationName);
        row->cells.set(ColAction, iAction);
        row->cells.set(ColObjectID, NewNodeObjectID);
        row->cells.set(ColNodeType, int(NewNodeType));
        row->cells.set(ColChildAlias, childAlias);
        if (NewNodeType == NodeCallHandler || NewNodeType == NodeSubscriber) {
            row->duplicateCells = row->cells;
            row->duplicateCells.set(ColNodeType, int(NewNodeType == NodeCallHandler ? NodeDuplicateHandler
                                                                                    : NodeDuplicateSubscriber));
        }
    }
    if (!shownMessage)
        known.rows.insert(key, row);
    return row;
}

bool RoutingTree::keepsPlaceholder(Filling &fill, const Node *row, const LinkRow &link) const
{
    const qint16 type = shownType(fill, link);
    return (type == NodeCallHandler || type == NodeSubscriber) && !isOpened(row);
}

qint16 RoutingTree::shownType(Filling &fill, const LinkRow &link) const
{
    const qint16 type = link.type;
    if ((type == NodeCallHandler || type == NodeSubscriber) && onPath(fill, link.objectId))
        return type == NodeCallHandler ? NodeDuplicateHandler : NodeDuplicateSubscriber;
    return type;
}

void RoutingTree::PopulateRowInfo(Filling &fill, Node *row, const LinkRow &link)
{
    m_model.setMainText(row, link.text);
    const qint16 type = shownType(fill, link);
    m_model.setCells(row, type == link.type ? link.cells : link.duplicateCells);

    if (type == NodeCallHandler || type == NodeSubscriber) {
        if (row->childCount() == 0)
            addPlaceholder(row);
        m_model.setExpanded(row, false);
    } else {
        RemoveChildren(row);
    }
    m_model.setPicture(row, pictureKeyForNodeType(type));
}

// bIsAncestor from the row being filled, for each of its links: the path is read once.
bool RoutingTree::onPath(Filling &fill, const QString &objectId) const
{
    if (fill.pathIds)
        return fill.pathIds->contains(objectId);
    if (!fill.pathRead) {
        for (const Node *n = fill.row; n; n = n->parent())
            fill.path.push_back(this->objectId(n));
        fill.pathRead = true;
    }
    return std::find(fill.path.cbegin(), fill.path.cend(), objectId) != fill.path.cend();
}

void RoutingTree::addPlaceholder(Node *row) { m_model.appendChild(row, QString()); }

bool RoutingTree::bIsAncestor(const QString &strObjectID, const Node *iRow) const
{
    // Rows keep their ObjectIDs normalised, so one normalisation of the argument suffices.
    const QString id = normalizedObjectId(strObjectID);
    for (const Node *n = iRow; n; n = n->parent()) {
        if (objectId(n) == id)
            return true;
    }
    return false;
}

void RoutingTree::RemoveChildren(Node *iRow) { m_model.removeChildren(iRow); }

void RoutingTree::ATTree_BeforeCollapse(Node *node, bool &cancel)
{
    // While the tree is being built, opening and closing rows is only layout.
    if (!m_model.redraw())
        return;
    Node *first = node ? node->firstChild() : nullptr;
    if (first && isPlaceholder(first) && !expandRow(node, nullptr))
        cancel = true;
}

} // namespace quillor
