#include "mainwindow/routingtree.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "details/actiontext.h"
#include "platform/busycursor.h"
#include "platform/seams.h"

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

struct GreetingKey {
    const char *alias;
    const char *key;
};
const GreetingKey kGreetings[] = {{"Standard", "STD"}, {"Off Hours", "OFF"}, {"Alternate", "ALT"},
                                  {"Internal", "INT"}, {"Busy", "BSY"},      {"Error", "ERR"}};

// Conversations that lead nowhere further.
bool isConversationWithoutDestination(const QString &c)
{
    return c == conv::SubSignIn || c == conv::GreetingsAdministrator || c == conv::CxConvEasySignIn
           || c == conv::CxConvSystemTransfer || c == conv::ConvCVMMBoxReset || c == conv::ConvHotelCheckedOut
           || c == conv::CxConvSubSystemTransfer || c == conv::BroadcastMessageAdministrator
           || c == conv::TransferAltContactNumber;
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
    QString key;
};

// What opening one call handler needs from the database, kept until the
// tree is rebuilt or the program writes to the server.
struct RoutingTree::NodeLinks {
    int handlerCount = 0;
    QString handlerId;
    Link afterMessage;
    QList<std::optional<Link>> keys;      // in key order; nullopt: no such entry
    QList<std::optional<Link>> greetings; // in tree order; nullopt: no such greeting
    int menuCount = 0;
    int greetingCount = 0;
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
      m_lookup(std::make_unique<DestinationLookup>(ctx))
{
    connect(&m_model, &platform::OutlineModel::beforeExpand, this, &RoutingTree::onBeforeExpand);
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
    ExpandRow(root);
    m_model.showOutlineToLevel(1);
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
    // Depth first over every row, the rows each expansion adds included.
    for (Node *row = m_model.root(); row; row = m_model.nextInTree(row)) {
        Node *first = row->firstChild();
        if (!first)
            continue;
        if (isPlaceholder(first)) {
            if (m_model.totalRows() >= rowLimit) {
                // What is open stays whole; the rest keeps its placeholder.
                result.limitReached = true;
                break;
            }
            m_model.removeNode(first);
            ExpandRow(row);
            ++result.expanded;
        }
        // Also a node opened before and closed again: the whole tree shows open.
        m_model.setExpanded(row, true);
    }
    m_model.endBulkChange();
    m_model.setRedraw(true);
    return result;
}

std::shared_ptr<const RoutingTree::NodeLinks> RoutingTree::readNodeLinks(const QString &objectId, platform::DbError *error)
{
    platform::Database &db = m_ctx.db();
    // Rows read before one of the program's own writes may be stale.
    if (db.writeCount() != m_cacheWrites)
        clearCache();
    const QString key = normalizedObjectId(objectId);
    if (const auto it = m_nodeCache.constFind(key); it != m_nodeCache.cend())
        return *it;

    const QString connection = m_ctx.state().gConnectionString;
    auto links = std::make_shared<NodeLinks>();
    platform::Recordset handler = db.open(
        connection,
        QStringLiteral("SELECT CallHandlerObjectID, AfterMessageAction, AfterMessageObjectID, AfterMessageConversation "
                       "FROM vw_CallHandler WHERE CallHandlerObjectID = ?"),
        {key}, error);
    if (!handler.isOpen())
        return nullptr;
    links->handlerCount = handler.RecordCount();
    if (links->handlerCount == 1) {
        handler.MoveFirst();
        links->handlerId = handler.text(QStringLiteral("CallHandlerObjectID"));
        links->afterMessage = Link{handler.field(QStringLiteral("AfterMessageAction")),
                                   handler.text(QStringLiteral("AfterMessageObjectID")),
                                   handler.text(QStringLiteral("AfterMessageConversation")), QStringLiteral("AM")};
        // The node's menu entries and greetings in one query: the tree sends it for every node it opens.
        const QString parent = normalizedObjectId(links->handlerId);
        platform::Recordset rules = db.open(
            connection,
            QStringLiteral("SELECT 0 AS RuleKind, Alias, Action, ConversationName, DestinationObjectID FROM vw_MenuEntry "
                           "WHERE ParentObjectID = ? UNION ALL "
                           "SELECT 1, Alias, Action, ConversationName, DestinationObjectID FROM vw_MessagingRule "
                           "WHERE ParentObjectID = ?"),
            {parent, parent}, error);
        if (!rules.isOpen())
            return nullptr;
        // The first row of each alias, as a forward search from the first row finds it.
        QHash<QString, Link> menuByAlias;
        QHash<QString, Link> greetingByAlias;
        const int kind = rules.fieldIndex(QStringLiteral("RuleKind"));
        const int alias = rules.fieldIndex(QStringLiteral("Alias"));
        const int action = rules.fieldIndex(QStringLiteral("Action"));
        const int conversation = rules.fieldIndex(QStringLiteral("ConversationName"));
        const int destination = rules.fieldIndex(QStringLiteral("DestinationObjectID"));
        for (int r = 0; r < rules.RecordCount(); ++r) {
            const bool menu = rules.value(r, kind).toInt() == 0;
            (menu ? links->menuCount : links->greetingCount)++;
            QHash<QString, Link> &byAlias = menu ? menuByAlias : greetingByAlias;
            const QString name = rules.value(r, alias).toString().toLower();
            if (byAlias.contains(name))
                continue;
            // A Null reads as "": no link inherits what the previous one held.
            byAlias.insert(name, Link{rules.value(r, action), rules.value(r, destination).toString(),
                                      rules.value(r, conversation).toString(), QString()});
        }
        for (const QString &k : kKeys) {
            const auto it = menuByAlias.constFind(k);
            if (it == menuByAlias.cend()) {
                links->keys << std::nullopt;
                continue;
            }
            Link link = *it;
            link.key = k;
            // A conversation that needs a destination but has none reads "(Error)".
            // The server's own conversations (sign-in and the like) never have
            // one: they stay what they are and read as themselves.
            if (!link.action.isNull() && link.action.toInt() == 2 && !link.conversation.isEmpty()
                && link.destination.isEmpty() && !isConversationWithoutDestination(link.conversation))
                link.action = 6;
            links->keys << link;
        }
        for (const GreetingKey &g : kGreetings) {
            const auto it = greetingByAlias.constFind(QString::fromLatin1(g.alias).toLower());
            if (it == greetingByAlias.cend()) {
                links->greetings << std::nullopt;
                continue;
            }
            Link link = *it;
            link.key = QString::fromLatin1(g.key);
            links->greetings << link;
        }
    }
    m_nodeCache.insert(key, links);
    return links;
}

void RoutingTree::clearCache()
{
    m_nodeCache.clear();
    m_lookup = std::make_unique<DestinationLookup>(m_ctx);
    m_cacheWrites = m_ctx.db().writeCount();
}

void RoutingTree::ExpandRow(Node *iRow)
{
    if (!iRow)
        return;
    m_model.setRedraw(false);
    BusyCursor busy;
    const auto finish = [&](bool select) {
        m_model.setRedraw(true);
        if (select)
            emit selectRow(iRow);
    };

    const qint16 type = nodeType(iRow);
    if (type != NodeCallHandler && type != NodeSubscriber) {
        msgBox(QStringLiteral("error!  Unknown node type passed to node builder routine:"));
        finish(true);
        return;
    }
    platform::DbError err;
    const auto links = readNodeLinks(objectId(iRow), &err);
    if (!links) {
        msgBox(QStringLiteral("Error in ExpandRow: ") + err.description);
        finish(false);
        return;
    }
    if (links->handlerCount != 1) {
        msgBox(QStringLiteral("Error, could not find handler in database:") + objectId(iRow));
        finish(false);
        return;
    }
    DestinationLookup &lookup = *m_lookup;
    {
        // The destinations of every link, fetched in one query per kind
        // instead of one or two per link.
        QStringList handlers, directories, interviews;
        const auto collect = [&](const std::optional<Link> &l) {
            if (!l || l->action.isNull() || l->action.toInt() != 2)
                return;
            if (l->conversation == conv::PHGreeting || l->conversation == conv::PHTransfer)
                handlers << l->destination;
            else if (l->conversation == conv::AD)
                directories << l->destination;
            else if (l->conversation == conv::CHInterview)
                interviews << l->destination;
        };
        for (const auto &l : links->keys)
            collect(l);
        if (m_options.ShowAfterMessageLinks)
            collect(links->afterMessage);
        if (m_options.ShowAfterGreetingLinks)
            for (const auto &l : links->greetings)
                collect(l);
        lookup.prefetch(Kind::CallHandler, handlers);
        QStringList subscribers;
        for (const QString &id : std::as_const(handlers)) {
            const auto f = lookup.find(Kind::CallHandler, id);
            if (f.found() && f.isPrimary)
                subscribers << f.recipientObjectId;
        }
        lookup.prefetch(Kind::Subscriber, subscribers);
        lookup.prefetch(Kind::NameLookupHandler, directories);
        lookup.prefetch(Kind::InterviewHandler, interviews);
    }

    if (links->menuCount < 10) {
        msgBox(QStringLiteral("Error, could not find menu entries for currently selected handler or subscriber - ObjectID=")
               + links->handlerId);
        finish(false);
        return;
    }
    for (int i = 0; i < links->keys.size(); ++i) {
        if (!links->keys[i]) {
            m_ctx.log().logMessage(
                QStringLiteral("(error) Could not find menu entry referenced in database.  Missing menu#: %1").arg(i));
            m_ctx.log().logMessage(
                QStringLiteral("     Skipping this menu entry and moving to the next.  Please contact Harvel Labs support"));
            continue;
        }
        AddNewNode(iRow, *links->keys[i], lookup);
    }
    if (m_options.ShowAfterMessageLinks)
        AddNewNode(iRow, links->afterMessage, lookup);

    if (links->greetingCount < 5) {
        msgBox(QStringLiteral("Error, could not find all the messaging rules for the currently selected handler or "
                              "subscriber - ObjectID=")
               + links->handlerId);
        finish(false);
        return;
    }
    if (m_options.ShowAfterGreetingLinks) {
        for (int i = 0; i < links->greetings.size(); ++i) {
            if (!links->greetings[i]) {
                msgBox(QStringLiteral("Error, could not find messaging rule for selected call handler or subscriber.  Alias=")
                       + QString::fromLatin1(kGreetings[i].key));
                continue;
            }
            AddNewNode(iRow, *links->greetings[i], lookup);
        }
    }
    for (int i = 0; i < iRow->childCount(); ++i)
        m_model.setExpanded(iRow->child(i), false);
    finish(true);
}

void RoutingTree::AddNewNode(Node *parent, const Link &link, DestinationLookup &lookup)
{
    QString NewNodeObjectID;
    qint16 NewNodeType = NodeLeaf;
    QVariant iAction = link.action;
    QString strConversationName = link.conversation;
    const QString &dest = link.destination;
    bool add = false;
    bool invalid = false;

    const auto check = [&](const DestinationLookup::Found &f) {
        if (f.failed)
            reportError(f.error.number, f.error.description, QStringLiteral("AddNewRow"));
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
                add = true;
            }
            break;
        default:
            msgBox(QStringLiteral("Error in ExpandRow function - bad action value passed in"));
            return;
        }
    }
    if (invalid) {
        NewNodeType = NodeInvalidLink;
        iAction = 99;
        NewNodeObjectID.clear();
        strConversationName.clear();
    }
    if (!add)
        return;

    Node *row = m_model.appendChild(parent, QStringLiteral("temp"));
    m_model.setCell(row, kObjectID, NewNodeObjectID);
    m_model.setCell(row, kChildAlias, link.key);
    m_model.setCell(row, kNodeType, NewNodeType);
    m_model.setCell(row, kConversation, strConversationName);
    m_model.setCell(row, kAction, iAction);
    PopulateRowInfo(row, iAction, strConversationName, lookup);
}

void RoutingTree::PopulateRowInfo(Node *row, const QVariant &iAction, const QString &strConversationName,
                                  DestinationLookup &lookup)
{
    qint16 type = nodeType(row);
    const QString id = objectId(row);
    const qint16 code = iAction.isNull() ? qint16(-1) : qint16(iAction.toInt());
    m_model.setMainText(row, childAlias(row) + QStringLiteral(": ")
                                 + strConstructActionString(m_ctx, strConversationName, code, id, &lookup));
    m_model.setCell(row, kConversation, strConversationName);
    m_model.setCell(row, kAction, iAction);

    if ((type == NodeCallHandler || type == NodeSubscriber) && bIsAncestor(id, row->parent()))
        type = type == NodeCallHandler ? NodeDuplicateHandler : NodeDuplicateSubscriber;
    m_model.setCell(row, kNodeType, type);

    if (type == NodeCallHandler || type == NodeSubscriber) {
        if (row->childCount() == 0)
            addPlaceholder(row);
        m_model.setExpanded(row, false);
    } else {
        RemoveChildren(row);
    }
    m_model.setPicture(row, pictureKeyForNodeType(type));
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

void RoutingTree::onBeforeExpand(Node *node, bool &)
{
    // While the tree is being built, opening and closing rows is only layout.
    if (!m_model.redraw())
        return;
    Node *first = node ? node->firstChild() : nullptr;
    if (first && isPlaceholder(first)) {
        m_model.removeNode(first);
        ExpandRow(node);
    }
}

} // namespace quillor
