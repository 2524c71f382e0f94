#include "mainwindow/frmmain.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/frmhelp.h"
#include "common/switchinfo.h"
#include "common/tolvaversion.h"
#include "common/updatecheck.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "mainwindow/extensionlookup.h"
#include "mainwindow/routingtree.h"
#include "mainwindow/treeicons.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "platform/seams.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
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

QString frmMain::homePageUrl() const
{
    return modUpdateCheck::homePageUrl(m_ctx.db().profile().toolsSiteHost);
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    // Popped up at the pointer only, never shown in the menu bar.
    PopupSetRoot = new QMenu(QStringLiteral("PopupSetRoot"), this);
    PopupSetRoot->setObjectName(QStringLiteral("PopupSetRoot"));
    mnuSetRoot = PopupSetRoot->addAction(QStringLiteral("Set As Root Node"));
    mnuSetRoot->setObjectName(QStringLiteral("mnuSetRoot"));
    // Re-rooting comes with the tree view options.
    mnuSetRoot->setEnabled(false);
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
    {
        QWidget *handlerPage = tabInfoTab->widget(1);
        auto *handlerLayout = new QVBoxLayout(handlerPage);
        handlerLayout->setContentsMargins(0, 0, 0, 0);
        m_callHandlerPage = new CallHandlerPage(handlerPage);
        handlerLayout->addWidget(m_callHandlerPage);
    }
    {
        QWidget *leafPage = tabInfoTab->widget(3);
        auto *leafLayout = new QVBoxLayout(leafPage);
        txtLeafAction = new QLineEdit(leafPage);
        txtLeafAction->setObjectName(QStringLiteral("txtLeafAction"));
        txtLeafAction->setReadOnly(true);
        leafLayout->addWidget(txtLeafAction);
        leafLayout->addStretch(1);
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
    step([&] { PopulateControls(); });
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
    step([&] { modUpdateCheck::checkForUpdatedVersion_Background(homePageUrl()); });
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
    LoadTabInfo(m_tree->objectId(node), m_tree->nodeType(node));
}

void frmMain::LoadTabInfo(const QString &strObjectID, qint16 iNodeType)
{
    AppState &state = m_ctx.state();
    if (state.bSuppressTabLoad)
        return;
    state.bLoadingControls = true;
    try {
        switch (iNodeType) {
        case NodeCallHandler:
        case NodeDuplicateHandler: LoadTabCallHandler(strObjectID); break;
        case NodeSubscriber:
        case NodeDuplicateSubscriber:
        case NodeInterviewer:
        case NodeNameLookup:
            // The object pages load themselves as they are built.
            Q_UNUSED(strObjectID);
            break;
        case NodeLeaf: loadLeaf(); break;
        case NodeInvalidLink:
            // The shown object stays what it was: the link has none of its own.
            lblCurrentObjectDisplayName->setText(QString());
            txtLeafAction->setText(QStringLiteral(" Invalid Link!"));
            break;
        default:
            lblCurrentObjectDisplayName->setText(QString());
            msgBox(QStringLiteral("Error: Illegal node type in LoadTabInfo function"));
            break;
        }
    } catch (const std::exception &e) {
        reportError(0, QString::fromLocal8Bit(e.what()), QStringLiteral("LoadTabInfo"), QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
    }
    state.bLoadingControls = false;
}

void frmMain::LoadTabCallHandler(const QString &strObjectID)
{
    if (m_callHandlerPage->load(m_ctx, strObjectID, m_selected))
        lblCurrentObjectDisplayName->setText(m_selected.DisplayName);
}

void frmMain::PopulateControls()
{
    // The lists are found by name, so every detail page that carries one of
    // them is filled, whichever pages this window holds.
    const auto list = [this](const QString &name) { return findChild<QComboBox *>(name); };
    const auto each = [&](const QString &name, int count, const auto &work) {
        for (int i = 0; i < count; ++i)
            if (QComboBox *combo = list(indexedName(name, i)))
                work(combo);
    };
    const auto selectFirst = [](QComboBox *combo) {
        // As the server's tools report selecting in an empty list.
        if (!selectComboIndex(combo, 0))
            reportError(380, QStringLiteral("Invalid property value"), QStringLiteral("PopulateControls"),
                        QStringLiteral("Form"), QStringLiteral("frmMain"));
    };
    const auto fillFixed = [&](QComboBox *combo, const QStringList &entries) {
        fillFixedList(combo, entries);
        clearComboSelection(combo);
    };

    m_choiceLists = readChoiceLists(m_ctx);

    for (const char *name : {"cmbHandlerProfileLanguage", "cmbSubscriberProfileLanguage", "cmbInterviewerLanguage",
                             "cmbDirectoryHandlerLanguage"})
        if (QComboBox *combo = list(QString::fromLatin1(name)))
            fillLanguageList(combo, m_choiceLists.languages);
    if (QComboBox *combo = list(QStringLiteral("cmbHandlerProfileLanguage")))
        selectFirst(combo);

    each(QStringLiteral("cmbHandlerTransferType"), 3, [&](QComboBox *combo) {
        fillFixedList(combo, transferTypeEntries());
        selectFirst(combo);
    });
    each(QStringLiteral("cmbHandlerGreetingSource"), 6, [&](QComboBox *combo) { fillFixed(combo, greetingSourceEntries()); });
    if (QComboBox *combo = list(QStringLiteral("cmbHandlerMessagesCanMarkUrgent")))
        fillFixed(combo, urgencyEntries());
    if (QComboBox *combo = list(QStringLiteral("cmbSubscriberTransferType"))) {
        fillFixedList(combo, transferTypeEntries());
        selectFirst(combo);
    }
    each(QStringLiteral("cmbSubscriberGreetingSource"), 6,
         [&](QComboBox *combo) { fillFixed(combo, greetingSourceEntries()); });
    if (QComboBox *combo = list(QStringLiteral("cmbSubscriberMessagesCanMarkUrgent")))
        fillFixed(combo, urgencyEntries());

    for (const char *name : {"cmbHandlerProfileSchedule", "cmbSubscriberProfileSchedule"})
        if (QComboBox *combo = list(QString::fromLatin1(name))) {
            combo->addItems(m_choiceLists.schedules);
            clearComboSelection(combo);
        }

    // Each visible scope list has a hidden twin holding the ObjectIDs at the same positions.
    const auto fillScopes = [&](const QString &name, const QList<ChoiceLists::Scope> &scopes) {
        QComboBox *shown = list(name);
        QComboBox *ids = list(name + QStringLiteral("ObjectID"));
        for (const ChoiceLists::Scope &scope : scopes) {
            if (shown)
                shown->addItem(scope.name, scope.objectId);
            if (ids)
                ids->addItem(scope.objectId);
        }
        if (shown)
            selectFirst(shown);
    };
    fillScopes(QStringLiteral("cmbDirectoryHandlerSearchInCOS"), m_choiceLists.classesOfService);
    fillScopes(QStringLiteral("cmbDirectoryHandlerSearchInLocation"), m_choiceLists.locations);

    InitalizeSwitchInfo(m_ctx);
    frameObjectTitle->raise();
}

void frmMain::loadLeaf()
{
    m_selected = SelectedObject{};
    lblCurrentObjectDisplayName->setText(QString());
    // The row reads "<key>: <action text>"; the page shows the action.
    const QString text = m_tree->ATTree().mainText(ATTree->selectedNode());
    const qsizetype colon = text.indexOf(u':');
    txtLeafAction->setText(text.mid(colon + 1).trimmed());
}

void frmMain::ATTree_MouseDown(platform::OutlineNode *node, const QPoint &globalPos)
{
    if (!node || node == m_tree->ATTree().root())
        return;
    const qint16 type = m_tree->nodeType(node);
    if (type == NodeCallHandler || type == NodeSubscriber || type == NodeDuplicateHandler || type == NodeDuplicateSubscriber)
        PopupSetRoot->popup(globalPos);
}

void frmMain::endProgram(int exitCode)
{
    m_ended = true;
    platform::Seams::shell().endProcess(exitCode);
}

void frmMain::mnuExit_Click() { endProgram(0); }

void frmMain::mnuFindExtension_Click() { findExtensionInDialingDomain(m_ctx, this); }
void frmMain::mnuHelp_Click()
{
    // Modeless beside the main window; a second command brings the open window forward.
    if (!m_frmHelp)
        m_frmHelp = new frmHelp(this);
    m_frmHelp->show();
    m_frmHelp->raise();
    m_frmHelp->activateWindow();
}

void frmMain::mnuCheckForUpdatedVersion_Click()
{
    modUpdateCheck::ForegroundOptions options;
    options.parent = this;
    options.log = &m_ctx.log();
    modUpdateCheck::checkForUpdatedVersion_Foreground(homePageUrl(), options);
}

void frmMain::Form_Unload() { endProgram(0); }

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

} // namespace quillor
