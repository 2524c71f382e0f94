#pragma once
// The routing tree: where calls go from a root call handler, built lazily.
// StartNewTree makes the root and its direct links; every other call handler
// or subscriber gets its links the first time it is opened. A call handler or
// subscriber already on the path from the root is marked as a duplicate and
// never opened, so every path is finite; a link whose destination is gone is
// marked as an invalid link.

#include "mainwindow/linktable.h"
#include "platform/database.h"
#include "platform/outlinemodel.h"

#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace quillor {

class AppContext;
class DestinationLookup;

// Node types of the tree's rows.
enum NodeType : qint16 {
    NodeLeaf = 0,
    NodeSubscriber = 1,
    NodeCallHandler = 3,
    NodeInterviewer = 5,
    NodeNameLookup = 6,
    NodeInvalidLink = 97,
    NodeDuplicateHandler = 98,
    NodeDuplicateSubscriber = 99,
};

// The picture key of a node type ("" for an unknown one).
QString pictureKeyForNodeType(int nodeType);

// The page of the detail pane that shows a row of this node type: 0
// "Subscriber", 1 "Call Handler", 2 "Interviewer", 3 "Leaf", 4 "Directory
// Handler"; -1 for a node type that has none.
int detailPageForNodeType(int nodeType);

// The check marks of the Options menu that building reads.
struct TreeViewOptions {
    bool ShowIgnoreKey = true;
    bool ShowNoLeafs = false;
    bool ShowAfterMessageLinks = true;
    bool ShowAfterGreetingLinks = false;
    bool operator==(const TreeViewOptions &) const = default;
};

// "Expand all nodes" stops opening nodes once the tree holds this many rows:
// routing with many back-links unfolds into more paths than memory holds.
inline constexpr int kExpandAllRowLimit = 1000000;

class RoutingTree : public QObject {
    Q_OBJECT
public:
    using Node = platform::OutlineNode;

    explicit RoutingTree(AppContext &ctx, QObject *parent = nullptr);
    ~RoutingTree() override;

    platform::OutlineModel &ATTree() { return m_model; }
    TreeViewOptions &options() { return m_options; }

    // The root of the tree last built.
    QString gRootObjectID;
    qint16 gRootNodeType = 0;

    // Builds the tree from the call handler `strHandlerObjectID` ("" for the
    // default root), which is overwritten with the root's ObjectID as read.
    // False when the program is being ended (no root, or two).
    bool StartNewTree(QString &strHandlerObjectID, qint16 iNodeType = 0);
    // Builds the tree anew once the program runs (reload, a view option,
    // re-rooting): from `strHandlerObjectID`, which is overwritten with the
    // root built from. Unlike the start-up build it never ends the program: a
    // root that is no longer in the database is reported and the tree is
    // built from the current root, else from the default root; when neither
    // is found the tree is left empty (and the current root kept for the
    // next attempt).
    void RebuildTree(QString &strHandlerObjectID);
    // Re-roots the tree at `strHandlerObjectID` (Set As Root Node, the grid
    // view's double-click). An object that is no longer in the database, or
    // a subscriber without its subscriber row, is reported and the tree is
    // left as it was, open rows and all. True when the tree was built.
    bool ReRootTree(QString &strHandlerObjectID);

    struct ExpandAllResult {
        int expanded = 0;          // nodes that got their links
        bool limitReached = false; // stopped at the row limit
        bool everyLinkRead = false; // read every object's links at once on the way
        // Stopped because a read met a lost connection or a time-out: the
        // node being read keeps its placeholder, like every node not reached.
        bool connectionLost = false;
    };
    // Opens every call handler and subscriber of the tree, depth first,
    // unopened ones by building their links, already built ones by showing
    // them open. Stops before an expansion once the tree holds `rowLimit`
    // rows, and at the first read that lost the connection or timed out (the
    // next would only wait as long again); nodes not reached keep their
    // placeholder and open as usual later. A node whose data is faulty is
    // reported and the walk goes on.
    ExpandAllResult ExpandAllNodes(int rowLimit = kExpandAllRowLimit);
    // The limit "Expand all nodes" uses (lowered by tests).
    int expandAllRowLimit() const { return m_expandAllRowLimit; }
    void setExpandAllRowLimit(int rows) { m_expandAllRowLimit = rows; }
    // The objects "Expand all nodes" reads one by one at least before it
    // reads every object's links at once (tests raise it to the largest int
    // to have every object read one by one).
    int expandAllTableAfter() const { return m_expandAllTableAfter; }
    void setExpandAllTableAfter(int reads) { m_expandAllTableAfter = reads; }
    // "Expand all nodes" reads every object's links at once only when it is
    // bound to open at least one in this many of the server's call handlers;
    // 0 (the default) takes one in 40.
    void setExpandAllTableShare(int share) { m_expandAllTableShare = share; }
    // Adds the links of a call handler or subscriber row that has no children
    // yet but its placeholder, which becomes the first link's row.
    void ExpandRow(Node *iRow);
    // Right after the program's write of an object's keys, greetings or
    // after-message action: every row of the object whose links were built (open or closed again)
    // shows the object's links as they are now, read once for all its rows.
    // A link that shows what it showed keeps its row and whatever was opened
    // below it; a changed one takes the new link's text and cells and loses
    // the rows below it (a call handler or subscriber link gets a fresh
    // placeholder); links that came or went are added or removed. Open rows
    // stay open.
    void RefreshTreeRowsForObject(const QString &strObjectID);
    // A refresh that takes away more rows than this has the views start afresh
    // instead (each row taken away costs a view a walk over every row it keeps open).
    int refreshResetThreshold() const { return m_refreshResetThreshold; }
    void setRefreshResetThreshold(int rows) { m_refreshResetThreshold = rows; }
    // Whether a call handler or subscriber row has had its links built.
    bool isOpened(const Node *row) const;
    // The links' keys from the root down to `row` (none for the root), and the
    // row they lead to (as far as the keys still lead).
    QStringList pathOf(const Node *row) const;
    Node *nodeAtPath(const QStringList &keys) const;
    void RemoveChildren(Node *iRow);
    // True when a row on the path from `iRow` up to the root has that ObjectID.
    bool bIsAncestor(const QString &strObjectID, const Node *iRow) const;

    // The row's record.
    qint16 nodeType(const Node *row) const;
    QString objectId(const Node *row) const;
    QString childAlias(const Node *row) const;
    QString conversation(const Node *row) const;
    QVariant action(const Node *row) const;
    bool isPlaceholder(const Node *row) const;
    // Opens a row as the user does (the lazy expansion runs for an unopened row).
    bool openRow(Node *row);

signals:
    // The tree moved its selection to `node` (the view follows and loads the row's page).
    void selectRow(quillor::platform::OutlineNode *node);

private:
    enum class BuildResult { Built, RootMissing, RootDuplicated, Stopped, Ended };
    enum class BuildMode { StartUp, Rebuild, ReRoot };
    // StartNewTree. On a missing or duplicated root the start-up ends the
    // program; the others return without a message and with the tree as it
    // was. Any other stop leaves the tree empty, except when re-rooting.
    BuildResult buildTree(QString &strHandlerObjectID, BuildMode mode);
    struct Link;
    struct LinkRow;
    struct NodeLinks;
    struct ReadCache;
    struct Filling;
    // What has been read for this tree, dropped first when the server was
    // written to or the view options changed since.
    ReadCache &cache();
    std::shared_ptr<NodeLinks> readNodeLinks(const QString &objectId, platform::DbError *error);
    // What opening the object whose normalised ObjectID is `key` reads, asked
    // of the server alone, into `rows`; false (with `error`) when the query failed.
    bool queryNodeRows(const QString &key, std::vector<LinkTable::Row> &rows, platform::DbError *error);
    // The same for many objects at once, by normalised ObjectID (none for an object the server holds nothing of).
    bool queryRowsOf(const QStringList &keys, QHash<QString, std::vector<LinkTable::Row>> &rows, platform::DbError *error);
    std::shared_ptr<NodeLinks> linksFromRows(const std::vector<LinkTable::Row> &rows) const;
    void clearCache();
    // False (with `error`) when the one query for them failed.
    bool prefetchDestinations(const std::vector<const NodeLinks *> &nodes, platform::DbError *error);
    // Each link of `links` that a row shows under the view options.
    template <typename F> void forEachShownLink(const NodeLinks &links, F &&each) const;
    // Whether a link leads to a call handler or subscriber, a row that opens.
    static bool opensNode(const Link &link);
    // ExpandRow; `pathIds` (when given) holds the ObjectIDs from the row up to
    // the root. False when a read lost the connection: the row keeps its
    // placeholder, to be opened once the server answers again.
    bool expandRow(Node *iRow, const QHash<QString, int> *pathIds);
    // A row about to open: the first time, it gets its links in place of its
    // placeholder; it stays closed when they could not be read for a lost connection.
    void ATTree_BeforeCollapse(Node *node, bool &cancel);
    enum class LinkRead {
        Complete,
        Short, // the object's data is faulty: the rows up to the fault, after its message
        Lost,  // a read lost the connection or timed out (m_lost): no rows, no message
    };
    // The rows of an object's links in the order they stand below its row, as far as the server lets.
    LinkRead readLinkRows(const QString &objectId, std::vector<std::shared_ptr<const LinkRow>> &rows);
    // Notes a read that lost the connection or timed out; true for one.
    bool lostConnection(const platform::DbError &error);
    std::shared_ptr<const LinkRow> slotRow(NodeLinks &links, int slot);
    // One link's row below the row being filled.
    void AddNewNode(Filling &fill, const LinkRow &link);
    // What the links below an opened row need to show the object's links as
    // they are now; answers how many rows that takes away.
    struct LinkUpdate;
    int planLinkUpdates(Node *iRow, const std::vector<std::shared_ptr<const LinkRow>> &links,
                        std::vector<LinkUpdate> &updates);
    void applyLinkUpdate(const LinkUpdate &update, const std::vector<std::shared_ptr<const LinkRow>> &links);
    // The node type a link shows below the filled row: a call handler or
    // subscriber already on its path is marked as met before.
    qint16 shownType(Filling &fill, const LinkRow &link) const;
    // Whether the row of a changed link keeps what stands below it: what
    // stood below the old link goes, but an unopened link's placeholder stays
    // for a new link that opens too.
    bool keepsPlaceholder(Filling &fill, const Node *row, const LinkRow &link) const;
    std::shared_ptr<const LinkRow> makeLinkRow(const Link &link, int slot, bool &shownMessage);
    void PopulateRowInfo(Filling &fill, Node *row, const LinkRow &link);
    bool onPath(Filling &fill, const QString &objectId) const;
    void addPlaceholder(Node *row);
    void reportError(int number, const QString &description, const QString &procedure);

    AppContext &m_ctx;
    platform::OutlineModel m_model;
    TreeViewOptions m_options;
    // What has been read for this tree: each object's links, the destinations
    // they name and the rows they make. Dropped at every rebuild and after
    // any write; an expansion under way keeps what it uses.
    std::shared_ptr<ReadCache> m_cache;
    int m_expandAllRowLimit = kExpandAllRowLimit;
    int m_expandAllTableAfter = 0;
    int m_expandAllTableShare = 0;
    // Expand all under way: the objects it has read (alone or ahead of the
    // walk), how many it reads alone before it may read ahead, the call
    // handlers on the server, and the objects it is yet to open that nothing
    // has read.
    struct ExpandWalk {
        int reads = 0;
        int tableAfter = 0;
        qint64 share = 0;
        std::optional<qint64> handlers; // counted when first needed
        QSet<QString> unread;
        bool mayReadAhead() const { return tableAfter < std::numeric_limits<int>::max(); }
    };
    // Notes the row's object when the row waits to be opened and nothing has
    // read its links yet (Expand all, while it may read ahead).
    void noteUnreadRow(const Node *row);
    // Reads, level by level, the links of every object Expand all is yet to
    // open (`key` among them), until there are no more or the walk is bound
    // to open its share of the server: then every object's links at once.
    // When neither answers, the walk goes on one object at a time; when a
    // read lost the connection, it stops (m_lost).
    void readAhead(const QString &key);
    std::optional<ExpandWalk> m_walk;
    // The lost connection or time-out the latest opening met (kept until the
    // next opening starts, so that the walk sees it).
    std::optional<platform::DbError> m_lost;
    int m_refreshResetThreshold = 16;
};

} // namespace quillor
