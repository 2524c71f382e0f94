#include "mainwindow/frmmain.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/tolvaversion.h"
#include "mainwindow/routingtree.h"
#include "mainwindow/treeexport.h"
#include "mainwindow/treeicons.h"
#include "platform/busycursor.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "platform/seams.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

namespace quillor {

using platform::msgBox;

namespace {
// The window's smallest size, 11280 x 6660 twips at 15 twips a pixel.
constexpr int kMinWidth = 752;
constexpr int kMinHeight = 444;
} // namespace

frmMain::frmMain(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent), m_ctx(ctx), m_tree(new RoutingTree(ctx, this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillor"));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(1100, 720);
    createMenus();
    createLayout();
    readTreeViewOptions();
    m_tree->ATTree().setPictureProvider(&treePicture);
    ATTree->setOutlineModel(&m_tree->ATTree());
    connect(m_tree, &RoutingTree::selectRow, ATTree, &platform::OutlineTreeView::selectNode);
    connect(ATTree, &platform::OutlineTreeView::selectionMoved, this, &frmMain::ATTree_AfterRowColChange);
    connect(ATTree, &platform::OutlineTreeView::rightClicked, this, &frmMain::ATTree_MouseDown);
}

frmMain::~frmMain() = default;

QString frmMain::connectionStringFor(const QString &computerName)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
                          "Catalog=TolvaDb;Data Source=")
           + computerName;
}

void frmMain::createMenus()
{
    const auto entry = [this](QMenu *menu, const QString &name, const QString &caption, void (frmMain::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto separator = [](QMenu *menu, const QString &name) {
        QAction *action = menu->addSeparator();
        action->setObjectName(name);
        return action;
    };
    const auto option = [&](const QString &name, const QString &caption, bool ticked, void (frmMain::*handler)()) {
        QAction *action = entry(mnuOptions, name, caption, handler);
        action->setCheckable(true);
        action->setChecked(ticked);
        return action;
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuReload = entry(mnuFile, QStringLiteral("mnuReload"), QStringLiteral("Reload"), &frmMain::mnuReload_Click);
    // The program's only shortcut.
    mnuReload->setShortcut(QKeySequence(Qt::Key_F1));
    mnuReload->setShortcutContext(Qt::WindowShortcut);
    seperator7 = separator(mnuFile, QStringLiteral("seperator7"));
    mnuExportTreeInfo = entry(mnuFile, QStringLiteral("mnuExportTreeInfo"), QStringLiteral("Export tree information to file"),
                              &frmMain::mnuExportTreeInfo_Click);
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    mnuOptions = menuBar()->addMenu(QStringLiteral("Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    // The marks are the tree's view options; they are not kept between runs.
    ShowIgnoreKey = option(QStringLiteral("ShowIgnoreKey"), QStringLiteral("Show \"Ignore Key\" links in tree"), true,
                           &frmMain::ShowIgnoreKey_Click);
    ShowNoLeafs = option(QStringLiteral("ShowNoLeafs"), QStringLiteral("Remove all \"Leaf\" links from tree"), false,
                         &frmMain::ShowNoLeafs_Click);
    ShowAfterMessageLinks = option(QStringLiteral("ShowAfterMessageLinks"),
                                   QStringLiteral("Show \"After Message\" links in tree"), true,
                                   &frmMain::ShowAfterMessageLinks_Click);
    ShowAfterGreetingLinks = option(QStringLiteral("ShowAfterGreetingLinks"),
                                    QStringLiteral("Show \"After Greeting\" links in tree"), false,
                                    &frmMain::ShowAfterGreetingLinks_Click);
    seperator6 = separator(mnuOptions, QStringLiteral("seperator6"));
    ExpandAllNodes = entry(mnuOptions, QStringLiteral("ExpandAllNodes"), QStringLiteral("Expand all nodes"),
                           &frmMain::ExpandAllNodes_Click);
    CollapseAllNodes = entry(mnuOptions, QStringLiteral("CollapseAllNodes"), QStringLiteral("Collapse all nodes"),
                             &frmMain::CollapseAllNodes_Click);

    // Popped up at the pointer only, never shown in the menu bar.
    PopupSetRoot = new QMenu(QStringLiteral("PopupSetRoot"), this);
    PopupSetRoot->setObjectName(QStringLiteral("PopupSetRoot"));
    mnuSetRoot = PopupSetRoot->addAction(QStringLiteral("Set As Root Node"));
    mnuSetRoot->setObjectName(QStringLiteral("mnuSetRoot"));
    connect(mnuSetRoot, &QAction::triggered, this, &frmMain::mnuSetRoot_Click);
}

void frmMain::createLayout()
{
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitterMain"));
    splitter->setChildrenCollapsible(false);

    TabTreeGrid = new QTabWidget(splitter);
    TabTreeGrid->setObjectName(QStringLiteral("TabTreeGrid"));
    auto *treePage = new QWidget(TabTreeGrid);
    treePage->setObjectName(QStringLiteral("pageTreeView"));
    auto *treeLayout = new QVBoxLayout(treePage);
    treeLayout->setContentsMargins(2, 2, 2, 2);
    ATTree = new platform::OutlineTreeView(treePage);
    ATTree->setObjectName(QStringLiteral("ATTree"));
    treeLayout->addWidget(ATTree);
    TabTreeGrid->addTab(treePage, QStringLiteral("Tree View"));
    auto *gridPage = new QWidget(TabTreeGrid);
    gridPage->setObjectName(QStringLiteral("pageGridView"));
    gridPage->setLayout(new QVBoxLayout);
    TabTreeGrid->addTab(gridPage, QStringLiteral("Grid View"));

    auto *right = new QWidget(splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    frameObjectTitle = new QFrame(right);
    frameObjectTitle->setObjectName(QStringLiteral("frameObjectTitle"));
    frameObjectTitle->setFrameShape(QFrame::StyledPanel);
    auto *titleLayout = new QVBoxLayout(frameObjectTitle);
    lblCurrentObjectDisplayName = new QLabel(frameObjectTitle);
    lblCurrentObjectDisplayName->setObjectName(QStringLiteral("lblCurrentObjectDisplayName"));
    QFont titleFont = lblCurrentObjectDisplayName->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    lblCurrentObjectDisplayName->setFont(titleFont);
    titleLayout->addWidget(lblCurrentObjectDisplayName);
    rightLayout->addWidget(frameObjectTitle);

    tabInfoTab = new QTabWidget(right);
    tabInfoTab->setObjectName(QStringLiteral("tabInfoTab"));
    const QStringList pages = {QStringLiteral("Subscriber"), QStringLiteral("Call Handler"), QStringLiteral("Interviewer"),
                               QStringLiteral("Leaf"), QStringLiteral("Directory Handler")};
    for (const QString &caption : pages) {
        auto *page = new QWidget(tabInfoTab);
        page->setObjectName(QStringLiteral("page") + QString(caption).remove(u' '));
        tabInfoTab->addTab(page, caption);
    }
    rightLayout->addWidget(tabInfoTab, 1);

    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
}

bool frmMain::Form_Load()
{
    // A failing step is reported and the next one still runs.
    const auto step = [this](const auto &work) {
        if (m_ended)
            return;
        try {
            work();
        } catch (const std::exception &e) {
            reportError(0, QString::fromLocal8Bit(e.what()), QStringLiteral("Form_Load"), QStringLiteral("Form"),
                        QStringLiteral("frmMain"));
        }
    };

    AppState &state = m_ctx.state();
    step([&] { state.bLoadingControls = true; });
    step([&] { TabTreeGrid->setCurrentIndex(0); });
    step([&] { state.gConnectionString = connectionStringFor(m_ctx.workstation().ComputerName()); });
    step([&] { state.gVersion = getVersion(m_ctx); });
    step([&] {
        if (!bIsVersionGreaterThanOrEqualTo(m_ctx, 4, 0, 3, 0)) {
            msgBox(QStringLiteral("This version of Quillor only works with Tolva 4.0(3) and later - see the help file "
                                  "for more details"));
            endProgram(0);
        }
    });
    step([&] {
        // No rows and no header row, so that the root will be row 0.
        m_tree->ATTree().clear();
        m_tree->ATTree().setRedraw(true);
    });
    step([&] {
        QString root;
        if (!m_tree->StartNewTree(root, 0))
            m_ended = true;
    });
    step([&] { openLogFile(); });
    return !m_ended;
}

void frmMain::openLogFile()
{
    LogFile &log = m_ctx.log();
    const QString path = log.GenerateNewLogFileName();
    const WorkStationInfo &ws = m_ctx.workstation();
    QString error;
    if (!log.WriteLogHeader(path, {m_ctx.state().gVersion.Text, ws.Domain(), ws.UserName()}, &error))
        msgBox(QStringLiteral("The log file %1 could not be created (%2). Changes made in this session will not be "
                              "recorded in a log.")
                   .arg(path, error));
}

void frmMain::ATTree_AfterRowColChange(platform::OutlineNode *node)
{
    if (!node)
        return;
    int page = -1;
    switch (m_tree->nodeType(node)) {
    case NodeSubscriber:
    case NodeDuplicateSubscriber: page = 0; break;
    case NodeCallHandler:
    case NodeDuplicateHandler: page = 1; break;
    case NodeInterviewer: page = 2; break;
    case NodeLeaf:
    case NodeInvalidLink: page = 3; break;
    case NodeNameLookup: page = 4; break;
    default: break;
    }
    if (page < 0) {
        msgBox(QStringLiteral("Error! Invalid node type!"));
        return;
    }
    // Exactly one page shows: the one that fits the row.
    tabInfoTab->setTabVisible(page, true);
    tabInfoTab->setCurrentIndex(page);
    for (int i = 0; i < tabInfoTab->count(); ++i)
        tabInfoTab->setTabVisible(i, i == page);
}

void frmMain::ATTree_MouseDown(platform::OutlineNode *node, const QPoint &globalPos)
{
    if (!node || node == m_tree->ATTree().root())
        return;
    const qint16 type = m_tree->nodeType(node);
    if (type == NodeCallHandler || type == NodeSubscriber || type == NodeDuplicateHandler || type == NodeDuplicateSubscriber)
        PopupSetRoot->popup(globalPos);
}

void frmMain::readTreeViewOptions()
{
    TreeViewOptions &o = m_tree->options();
    o.ShowIgnoreKey = ShowIgnoreKey->isChecked();
    o.ShowNoLeafs = ShowNoLeafs->isChecked();
    o.ShowAfterMessageLinks = ShowAfterMessageLinks->isChecked();
    o.ShowAfterGreetingLinks = ShowAfterGreetingLinks->isChecked();
}

void frmMain::rebuildTree(const QString &root)
{
    platform::BusyCursor busy;
    readTreeViewOptions();
    QString id = root;
    m_tree->RebuildTree(id);
}

void frmMain::mnuReload_Click() { rebuildTree(m_tree->gRootObjectID); }

void frmMain::ShowIgnoreKey_Click() { rebuildTree(m_tree->gRootObjectID); }

void frmMain::ShowNoLeafs_Click()
{
    // Without leaves there are no ignore-key links to show or hide; the mark stays as it is.
    ShowIgnoreKey->setEnabled(!ShowNoLeafs->isChecked());
    rebuildTree(m_tree->gRootObjectID);
}

void frmMain::ShowAfterMessageLinks_Click() { rebuildTree(m_tree->gRootObjectID); }

void frmMain::ShowAfterGreetingLinks_Click() { rebuildTree(m_tree->gRootObjectID); }

void frmMain::CollapseAllNodes_Click()
{
    m_tree->ATTree().clear();
    rebuildTree(m_tree->gRootObjectID);
}

void frmMain::mnuSetRoot_Click()
{
    platform::OutlineNode *row = ATTree->selectedNode();
    if (!row)
        return;
    const qint16 type = m_tree->nodeType(row);
    if (type != NodeSubscriber && type != NodeCallHandler && type != NodeDuplicateHandler
        && type != NodeDuplicateSubscriber) {
        msgBox(QStringLiteral("Error! That object cannot be used as the tree root."));
        return;
    }
    // A subscriber row carries its primary call handler's ObjectID: the new root shows the subscriber again.
    rebuildTree(m_tree->objectId(row));
}

void frmMain::ExpandAllNodes_Click()
{
    platform::OutlineNode *root = m_tree->ATTree().root();
    if (!root)
        return;
    RoutingTree::ExpandAllResult result;
    {
        platform::BusyCursor busy;
        // No detail tab loads for the rows the expansion passes through.
        const QScopedValueRollback suppress(m_ctx.state().bSuppressTabLoad, true);
        result = m_tree->ExpandAllNodes(m_tree->expandAllRowLimit());
    }
    ATTree->selectNode(root);
    if (result.limitReached)
        msgBox(QStringLiteral("Expand all nodes stopped when the tree reached its limit of %1 rows. The nodes not "
                              "opened yet can still be opened one by one.")
                   .arg(m_tree->expandAllRowLimit()));
}

void frmMain::mnuExportTreeInfo_Click() { ExportTreeInfo(m_tree->ATTree(), this); }

void frmMain::endProgram(int exitCode)
{
    m_ended = true;
    platform::Seams::shell().endProcess(exitCode);
}

void frmMain::mnuExit_Click() { endProgram(0); }

void frmMain::Form_Unload() { endProgram(0); }

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

} // namespace quillor
