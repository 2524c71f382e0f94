#include "mainwindow/frmmain.h"

#include "actions/actionpopup.h"
#include "common/appcontext.h"
#include "common/errors.h"
#include "common/frmabout.h"
#include "common/frmhelp.h"
#include "common/validators.h"
#include "common/switchinfo.h"
#include "common/tolvaversion.h"
#include "common/updatecheck.h"
#include "creation/creationdialogs.h"
#include "creation/frmmakenew.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "details/interviewerpage.h"
#include "details/namelookuppage.h"
#include "details/subscriberpage.h"
#include "editing/detailpageediting.h"
#include "editing/editinghost.h"
#include "editing/fieldwrite.h"
#include "editing/namelookupoptions.h"
#include "editing/onekeydelay.h"
#include "editing/ownerrecipient.h"
#include "mainwindow/extensionlookup.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "mainwindow/treeexport.h"
#include "mainwindow/treeicons.h"
#include "pickers/pickerregistry.h"
#include "platform/busycursor.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "platform/seams.h"
#include "platform/wheelguard.h"
#include "reports/frmavailableextensions.h"
#include "reports/frmdependency.h"
#include "reports/frmfindtransferstring.h"
#include "reports/frmschedules.h"
#include "reports/toolwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include <exception>

namespace quillor {

using platform::msgBox;
using platform::Seams;

namespace {
// The window's smallest size, 11280 x 6660 twips at 15 twips a pixel.
constexpr int kMinWidth = 752;
constexpr int kMinHeight = 444;
// The detail pages' designed width: they keep it when the window is resized.
constexpr int kDetailWidth = 500;
// The window's designed first size, and room for the frame the window manager
// puts around it (title bar and borders), which is not known before it is shown.
constexpr QSize kFirstSize(1100, 720);
constexpr QSize kFrameAllowance(16, 48);

QAction *addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *entry = menu->addAction(caption);
    entry->setObjectName(QString::fromLatin1(name));
    return entry;
}

QAction *addSeparator(QMenu *menu, const char *name)
{
    QAction *line = menu->addSeparator();
    line->setObjectName(QString::fromLatin1(name));
    return line;
}

} // namespace

frmMain::frmMain(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent), m_ctx(ctx), m_tree(new RoutingTree(ctx, this)), m_pickers(std::make_unique<Pickers>(ctx, this)),
      m_creation(std::make_unique<CreationDialogs>(ctx, *m_pickers, this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillor"));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kFirstSize);
    // Where the designed size and its frame do not fit (1024 x 768), the title
    // bar's buttons and the pages' right side would be off the screen; maximised,
    // every page fits. The minimum size still holds on a smaller screen.
    if (const QScreen *where = screen()) {
        const QSize room = where->availableSize();
        const QSize needed = kFirstSize + kFrameAllowance;
        if (needed.boundedTo(room) != needed) {
            // Restored, or where nothing maximises it, it fits too.
            resize(kFirstSize.boundedTo(room - kFrameAllowance));
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
    createMenus();
    createLayout();
    connectRoutingActions();
    createEditing();
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

QString frmMain::homePageUrl() const
{
    return modUpdateCheck::homePageUrl(m_ctx.db().profile().toolsSiteHost);
}

void frmMain::createMenus()
{
    const auto entry = [this](QMenu *menu, const char *name, const QString &caption, void (frmMain::*handler)()) {
        QAction *action = addEntry(menu, name, caption);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto option = [&](const char *name, const QString &caption, bool ticked, void (frmMain::*handler)()) {
        QAction *action = entry(mnuOptions, name, caption, handler);
        action->setCheckable(true);
        action->setChecked(ticked);
        return action;
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuReload = entry(mnuFile, "mnuReload", QStringLiteral("Reload"), &frmMain::mnuReload_Click);
    // The program's only shortcut.
    mnuReload->setShortcut(QKeySequence(Qt::Key_F1));
    mnuReload->setShortcutContext(Qt::WindowShortcut);
    seperator7 = addSeparator(mnuFile, "seperator7");
    mnuViewCurrentLogFile = entry(mnuFile, "mnuViewCurrentLogFile", QStringLiteral("View current log file"),
                                  &frmMain::mnuViewCurrentLogFile_Click);
    mnuViewLogs = entry(mnuFile, "mnuViewLogs", QStringLiteral("View logs directory"), &frmMain::mnuViewLogs_Click);
    mnuExportTreeInfo = entry(mnuFile, "mnuExportTreeInfo", QStringLiteral("Export tree information to file"),
                              &frmMain::mnuExportTreeInfo_Click);
    mnuViewSchedules =
        entry(mnuFile, "mnuViewSchedules", QStringLiteral("View schedules"), &frmMain::mnuViewSchedules_Click);
    addSeparator(mnuFile, "Seperator3");
    mnuExit = entry(mnuFile, "mnuExit", QStringLiteral("Exit"), &frmMain::mnuExit_Click);

    mnuOptions = menuBar()->addMenu(QStringLiteral("Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    // The marks are the tree's view options; they are not kept between runs.
    ShowIgnoreKey = option("ShowIgnoreKey", QStringLiteral("Show \"Ignore Key\" links in tree"), true,
                           &frmMain::ShowIgnoreKey_Click);
    ShowNoLeafs = option("ShowNoLeafs", QStringLiteral("Remove all \"Leaf\" links from tree"), false,
                         &frmMain::ShowNoLeafs_Click);
    ShowAfterMessageLinks = option("ShowAfterMessageLinks", QStringLiteral("Show \"After Message\" links in tree"), true,
                                   &frmMain::ShowAfterMessageLinks_Click);
    ShowAfterGreetingLinks = option("ShowAfterGreetingLinks", QStringLiteral("Show \"After Greeting\" links in tree"),
                                    false, &frmMain::ShowAfterGreetingLinks_Click);
    seperator6 = addSeparator(mnuOptions, "seperator6");
    ExpandAllNodes = entry(mnuOptions, "ExpandAllNodes", QStringLiteral("Expand all nodes"), &frmMain::ExpandAllNodes_Click);
    CollapseAllNodes =
        entry(mnuOptions, "CollapseAllNodes", QStringLiteral("Collapse all nodes"), &frmMain::CollapseAllNodes_Click);

    mnuExtensions = menuBar()->addMenu(QStringLiteral("Extensions"));
    mnuExtensions->setObjectName(QStringLiteral("mnuExtensions"));
    entry(mnuExtensions, "mnuFindExtension", QStringLiteral("Find extension in database"), &frmMain::mnuFindExtension_Click);
    entry(mnuExtensions, "mnuShowAvailableExtensionsInARange", QStringLiteral("Show all available extensions in a range"),
          &frmMain::mnuShowAvailableExtensionsInARange_Click);
    addSeparator(mnuExtensions, "Seperator5");
    entry(mnuExtensions, "mnuFindATransferString", QStringLiteral("Find a transfer string"),
          &frmMain::mnuFindATransferString_Click);

    mnuHelpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    mnuHelpMenu->setObjectName(QStringLiteral("mnuHelpMenu"));
    entry(mnuHelpMenu, "mnuHelp", QStringLiteral("Help"), &frmMain::mnuHelp_Click);
    addSeparator(mnuHelpMenu, "seperator");
    mnuAbout = entry(mnuHelpMenu, "mnuAbout", QStringLiteral("About"), &frmMain::mnuAbout_Click);
    entry(mnuHelpMenu, "mnuCheckForUpdatedVersion", QStringLiteral("Check for updated version"),
          &frmMain::mnuCheckForUpdatedVersion_Click);

    // Popped up at the pointer only, never shown in the menu bar.
    PopupSetRoot = new QMenu(QStringLiteral("PopupSetRoot"), this);
    PopupSetRoot->setObjectName(QStringLiteral("PopupSetRoot"));
    mnuSetRoot = entry(PopupSetRoot, "mnuSetRoot", QStringLiteral("Set As Root Node"), &frmMain::mnuSetRoot_Click);

    createPopupMenus();
}

void frmMain::createPopupMenus()
{
    // Like PopupSetRoot, these are popped up at the pointer and never shown in the menu bar.
    const auto popup = [this](const char *name, const char *caption) {
        auto *menu = new QMenu(QString::fromLatin1(caption), this);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    mnuPopUpCreatecopy = popup("mnuPopUpCreatecopy", "PopupCreateCopy");
    mnuCreateCopy = addEntry(mnuPopUpCreatecopy, "mnuCreateCopy", QStringLiteral("Create Copy"));
    connect(mnuCreateCopy, &QAction::triggered, this, &frmMain::mnuCreateCopy_Click);
    mnuDependencyReport = addEntry(mnuPopUpCreatecopy, "mnuDependencyReport", QStringLiteral("Dependency Report"));
    connect(mnuDependencyReport, &QAction::triggered, this, &frmMain::mnuDependencyReport_Click);

    // The owner and recipient buttons of the detail pages pop this up.
    PopupOwnerRecipient = popup("PopupOwnerRecipient", "PopupOwnerRecipient");
    PopupOwnerRecipientDistributionList =
        addEntry(PopupOwnerRecipient, "PopupOwnerRecipientDistributionList", QStringLiteral("DistributionList"));
    PopupOwnerRecipientSubscriber = addEntry(PopupOwnerRecipient, "PopupOwnerRecipientSubscriber", QStringLiteral("Subscriber"));

    // PopupAction belongs to the routing actions, which fill it each time they pop it up.
    m_actionPopup = new ActionPopup(m_ctx, m_selected, *m_pickers, *m_creation, this);
    PopupAction = m_actionPopup->PopupAction();
}

void frmMain::createEditing()
{
    // The edits that need a pick or a popup: the window lends them its pickers and PopupOwnerRecipient.
    new OwnerRecipientChoice(*m_editing, *m_pickers,
                             {PopupOwnerRecipient, PopupOwnerRecipientSubscriber, PopupOwnerRecipientDistributionList},
                             *m_callHandlerPage, *m_interviewerPage, *m_nameLookupHandlerPage, this);
    new NameLookupOptionsEditing(*m_editing, *m_nameLookupHandlerPage, *m_pickers, this);
    new OneKeyDelayEditing(*m_editing, *m_callHandlerPage, *m_subscriberPage, this);
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
    TabTreeGrid->addTab(createGridPage(TabTreeGrid), QStringLiteral("Grid View"));

    auto *right = new QWidget(splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    frameObjectTitle = new QFrame(right);
    frameObjectTitle->setObjectName(QStringLiteral("frameObjectTitle"));
    frameObjectTitle->setFrameShape(QFrame::StyledPanel);
    // A click on the title opens the object's page of the web administration.
    frameObjectTitle->setCursor(Qt::PointingHandCursor);
    frameObjectTitle->installEventFilter(this);
    auto *titleLayout = new QVBoxLayout(frameObjectTitle);
    lblCurrentObjectDisplayName = new QLabel(frameObjectTitle);
    lblCurrentObjectDisplayName->setObjectName(QStringLiteral("lblCurrentObjectDisplayName"));
    QFont titleFont = lblCurrentObjectDisplayName->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    lblCurrentObjectDisplayName->setFont(titleFont);
    lblCurrentObjectDisplayName->installEventFilter(this);
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
    m_subscriberPage = addDetailPage<SubscriberPage>(0);
    m_callHandlerPage = addDetailPage<CallHandlerPage>(1);
    m_interviewerPage = addDetailPage<InterviewerPage>(2);
    m_creation->setQuestionPage(m_interviewerPage);
    m_nameLookupHandlerPage = addDetailPage<NameLookupHandlerPage>(4);
    // The pages' field handlers write; the window lends them its grid view, its tab load and its title.
    m_editing = attachDetailPageEditing(
        m_ctx, m_selected,
        {[this] { LoadGridView(); },
         [this] {
             const SelectedObject shown = m_selected;
             LoadTabInfo(shown.ObjectID, shown.ObjectType);
         },
         [this](const QString &caption) { lblCurrentObjectDisplayName->setText(caption); }},
        {*m_subscriberPage, *m_callHandlerPage, *m_interviewerPage, *m_nameLookupHandlerPage}, this);
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
    // Scrolling the pane never changes a value, and only the shown object's page is ever current.
    platform::guardWheel(tabInfoTab);
    platform::pinCurrentPage(tabInfoTab);

    // The detail pages keep their width against the right edge; the tree and
    // the grid take whatever the window gains or loses.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({width() - kDetailWidth, kDetailWidth});
    setCentralWidget(splitter);
}

template <typename Page> Page *frmMain::addDetailPage(int tab)
{
    QWidget *holder = tabInfoTab->widget(tab);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *page = new Page(holder);
    connect(page, &DetailPage::titleChanged, lblCurrentObjectDisplayName, &QLabel::setText);
    layout->addWidget(page);
    return page;
}

QWidget *frmMain::createGridPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("pageGridView"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);

    cmbShowObjectType = new QComboBox(page);
    cmbShowObjectType->setObjectName(QStringLiteral("cmbShowObjectType"));
    {
        const QSignalBlocker quiet(cmbShowObjectType);
        cmbShowObjectType->addItems(gridKindCaptions());
        // No kind until the start-up chooses the first one.
        cmbShowObjectType->setCurrentIndex(-1);
    }
    cmbShowObjectType->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(cmbShowObjectType, 0, Qt::AlignLeft);

    m_gridModel = new ObjectGridModel(this);
    gridObjects = new ObjectGridView(page);
    gridObjects->setObjectName(QStringLiteral("gridObjects"));
    gridObjects->setModel(m_gridModel);
    layout->addWidget(gridObjects, 1);

    // A kind set by the program or chosen by the user lists it; the user
    // choosing the kind already shown lists it again, so that objects made or
    // renamed meanwhile show. One choice lists once: a change of kind raises
    // both signals in one go, `activated` right after the listing returns
    // (whatever message box the listing showed meanwhile); a change made by
    // the program raises no `activated`, and the mark goes with the next turn
    // of the event loop.
    connect(cmbShowObjectType, &QComboBox::currentIndexChanged, this, [this] {
        cmbShowObjectType_Click();
        m_gridKindJustListed = true;
        QTimer::singleShot(0, this, [this] { m_gridKindJustListed = false; });
    });
    connect(cmbShowObjectType, &QComboBox::activated, this, [this] {
        if (!std::exchange(m_gridKindJustListed, false))
            cmbShowObjectType_Click();
    });
    connect(gridObjects->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && !m_reloadingGrid)
                    gridObjects_RowColChange();
            });
    connect(gridObjects, &QAbstractItemView::clicked, this, &frmMain::gridObjects_SelChange);
    connect(gridObjects, &QAbstractItemView::doubleClicked, this, &frmMain::gridObjects_DblClick);
    connect(gridObjects, &ObjectGridView::rightPressed, this, &frmMain::gridObjects_MouseDown);
    return page;
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
        // Choosing the first kind lists it and shows its first object.
        if (cmbShowObjectType->currentIndex() == 0)
            cmbShowObjectType_Click();
        else
            cmbShowObjectType->setCurrentIndex(0);
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
    step([&] { modUpdateCheck::checkForUpdatedVersion_Background(homePageUrl()); });
    step([&] { openLogFile(); });
    return !m_ended;
}

void frmMain::openLogFile()
{
    LogFile &log = m_ctx.log();
    QString folderError;
    const QString path = log.GenerateNewLogFileName(&folderError);
    const WorkStationInfo &ws = m_ctx.workstation();
    QString error;
    const bool written = log.WriteLogHeader(path, {m_ctx.state().gVersion.Text, ws.Domain(), ws.UserName()}, &error);
    const QString notLogged = QStringLiteral("Changes made in this session will not be recorded in a log.");
    // One message for one fault: a folder that cannot be made is why the file cannot be either.
    if (!folderError.isEmpty())
        msgBox(written ? folderError : folderError + u'\n' + notLogged);
    else if (!written)
        msgBox(QStringLiteral("The log file %1 could not be created (%2). ").arg(path, error) + notLogged);
}

void frmMain::ATTree_AfterRowColChange(platform::OutlineNode *node)
{
    if (!node)
        return;
    const platform::BusyCursor hourglass;
    const int page = detailPageForNodeType(m_tree->nodeType(node));
    if (page < 0) {
        msgBox(QStringLiteral("Error! Invalid node type!"));
        return;
    }
    showDetailPage(page);
    m_paneShowsGridRow = false;
    LoadTabInfo(m_tree->objectId(node), m_tree->nodeType(node));
}

void frmMain::showDetailPage(int page)
{
    // Exactly one page shows: the one that fits the row.
    tabInfoTab->setTabVisible(page, true);
    tabInfoTab->setCurrentIndex(page);
    for (int i = 0; i < tabInfoTab->count(); ++i)
        tabInfoTab->setTabVisible(i, i == page);
    tabInfoTab->widget(page)->setEnabled(true);
}

void frmMain::LoadTabInfo(const QString &strObjectID, qint16 iNodeType)
{
    AppState &state = m_ctx.state();
    if (state.bSuppressTabLoad)
        return;
    commitPendingEdit();
    state.bLoadingControls = true;
    try {
        switch (iNodeType) {
        case NodeCallHandler:
        case NodeDuplicateHandler: LoadTabCallHandler(strObjectID); break;
        case NodeSubscriber:
        case NodeDuplicateSubscriber: LoadTabSubscriber(strObjectID); break;
        case NodeInterviewer: LoadTabInterviewer(strObjectID); break;
        case NodeNameLookup: LoadTabNameLookupHandler(strObjectID); break;
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
    showTextsFromStart(tabInfoTab->currentWidget());
    state.bLoadingControls = false;
}

void frmMain::LoadTabSubscriber(const QString &strPrimaryCallHandlerObjectID)
{
    m_subscriberPage->load(m_ctx, strPrimaryCallHandlerObjectID, m_selected);
}

void frmMain::LoadTabCallHandler(const QString &strObjectID)
{
    m_callHandlerPage->load(m_ctx, strObjectID, m_selected);
}

void frmMain::LoadTabInterviewer(const QString &strObjectID)
{
    m_interviewerPage->load(m_ctx, strObjectID, m_selected);
}

void frmMain::LoadTabNameLookupHandler(const QString &strObjectID)
{
    m_nameLookupHandlerPage->load(m_ctx, strObjectID, m_selected);
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

    m_choiceLists = ChoiceLists{};
    m_choiceLists.languages = readTelephoneLanguages(m_ctx);
    for (const char *name : {"cmbHandlerProfileLanguage", "cmbSubscriberProfileLanguage", "cmbInterviewerLanguage",
                             "cmbDirectoryHandlerLanguage"})
        if (QComboBox *combo = list(QString::fromLatin1(name))) {
            fillLanguageList(combo, m_choiceLists.languages);
            clearComboSelection(combo);
        }
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

    m_choiceLists.schedules = readSchedules(m_ctx);
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
        if (ids)
            clearComboSelection(ids);
        if (shown)
            selectFirst(shown);
    };
    m_choiceLists.classesOfService = readClassesOfService(m_ctx);
    fillScopes(QStringLiteral("cmbDirectoryHandlerSearchInCOS"), m_choiceLists.classesOfService);
    m_choiceLists.locations = readLocations(m_ctx);
    fillScopes(QStringLiteral("cmbDirectoryHandlerSearchInLocation"), m_choiceLists.locations);
    m_ctx.state().gTUILanguageDefault = readTuiLanguageDefault(m_ctx);

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
    // The root offers no menu and is not selected (nor its page loaded again).
    if (!node || node == m_tree->ATTree().root())
        return;
    if (ATTree->selectedNode() != node)
        ATTree->selectNode(node);
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
    // A name still in its box is written first, so the new tree shows it.
    commitPendingEdit();
    platform::BusyCursor busy;
    readTreeViewOptions();
    QString id = root;
    m_tree->RebuildTree(id);
    // A tree left empty (no root left on the server) has no row to show.
    if (m_tree->ATTree().isEmpty())
        clearDetailPane();
}

void frmMain::connectRoutingActions()
{
    m_actionPopup->attachCallHandlerPage(*m_callHandlerPage);
    m_actionPopup->attachSubscriberPage(*m_subscriberPage);
    m_actionPopup->attachInterviewerPage(*m_interviewerPage);
    m_actionPopup->attachNameLookupHandlerPage(*m_nameLookupHandlerPage);
    m_actionPopup->setDetailPageSource([this] { return tabInfoTab->currentIndex(); });
    // After a write the page shows what the server now holds.
    connect(m_actionPopup, &ActionPopup::reloadRequested, this,
            [this] { LoadTabInfo(m_selected.ObjectID, m_selected.ObjectType); });
    connect(m_actionPopup, &ActionPopup::treeRowsChanged, this, &frmMain::RefreshTreeRowsForObject);
    // A handler made from the popup joins the grid view when it lists that kind of object.
    connect(m_actionPopup, &ActionPopup::handlerCreated, this, [this](qint16 objectType) {
        const GridKindInfo *kind = gridKindInfo(cmbShowObjectType->currentIndex());
        if (kind && kind->reportObjectType == objectType)
            LoadGridView();
    });
}

void frmMain::RefreshTreeRowsForObject(const QString &objectId)
{
    platform::BusyCursor busy;
    // Rows change under the selection: no page loads meanwhile.
    const QScopedValueRollback suppress(m_ctx.state().bSuppressTabLoad, true);
    platform::OutlineModel &model = m_tree->ATTree();
    platform::OutlineNode *selected = ATTree->selectedNode();
    const QStringList selectedPath = m_tree->pathOf(selected);
    const QStringList topPath = m_tree->pathOf(model.nodeOf(ATTree->indexAt(QPoint(0, 0))));
    m_tree->RefreshTreeRowsForObject(objectId);
    // The same row stays selected; if it went with the old link, the row that stands in its place.
    if (selected) {
        platform::OutlineNode *now = m_tree->nodeAtPath(selectedPath);
        if (ATTree->selectedNode() != now)
            ATTree->selectNode(now);
    }
    // The row at the top of the view stays there (finding it lays the rows out, when they changed).
    platform::OutlineNode *top = m_tree->nodeAtPath(topPath);
    if (top && model.nodeOf(ATTree->indexAt(QPoint(0, 0))) != top)
        ATTree->scrollTo(model.indexOf(top), QAbstractItemView::PositionAtTop);
}

void frmMain::clearDetailPane()
{
    // The page shows no object, so that no edit on it can reach the one it showed before.
    m_selected = SelectedObject{};
    lblCurrentObjectDisplayName->setText(QString());
    tabInfoTab->currentWidget()->setEnabled(false);
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
    reRootTree(m_tree->objectId(row));
}

bool frmMain::reRootTree(const QString &root)
{
    platform::BusyCursor busy;
    readTreeViewOptions();
    QString id = root;
    return m_tree->ReRootTree(id);
}

void frmMain::ExpandAllNodes_Click()
{
    platform::OutlineNode *root = m_tree->ATTree().root();
    if (!root)
        return;
    const QStringList selected = m_tree->pathOf(ATTree->selectedNode());
    const bool treeRowShown = ATTree->selectedNode() && !m_paneShowsGridRow;
    RoutingTree::ExpandAllResult result;
    {
        platform::BusyCursor busy;
        // No detail tab loads for the rows the expansion passes through.
        const QScopedValueRollback suppress(m_ctx.state().bSuppressTabLoad, true);
        result = m_tree->ExpandAllNodes(m_tree->expandAllRowLimit());
        // The server no longer answers: loading the root's page would only wait
        // for it again. The row the page shows is selected again, nothing read.
        if (result.connectionLost && treeRowShown)
            ATTree->selectNode(m_tree->nodeAtPath(selected));
    }
    if (result.connectionLost) {
        msgBox(QStringLiteral("Expand all nodes stopped: the connection to the server was lost, or the server stopped "
                              "answering. The nodes opened so far stay open; the others can be opened later, one by one "
                              "or with Expand all nodes again."));
        return;
    }
    ATTree->selectNode(root);
    if (result.limitReached)
        msgBox(QStringLiteral("Expand all nodes stopped when the tree reached its limit of %1 rows. The nodes not "
                              "opened yet can still be opened one by one.")
                   .arg(QLocale(QLocale::English).toString(m_tree->expandAllRowLimit())));
}

void frmMain::mnuExportTreeInfo_Click() { ExportTreeInfo(m_tree->ATTree(), this); }

void frmMain::endProgram(int exitCode)
{
    m_ended = true;
    platform::Seams::shell().endProcess(exitCode);
}

void frmMain::mnuExit_Click()
{
    // A value typed and not yet left is written, as closing the window does.
    commitPendingEdit();
    endProgram(0);
}

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

void frmMain::commitPendingEdit()
{
    // An edit box still being typed in, or a list with a choice not yet
    // written, when a menu command reloads the page or the window closes is
    // checked (and written) as leaving it would be.
    commitFocusedEdit(tabInfoTab);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    commitPendingEdit();
    event->accept();
    Form_Unload();
}

// --- the grid view -----------------------------------------------------------

int frmMain::gridCurrentRow() const
{
    const QModelIndex current = gridObjects->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void frmMain::setGridCurrentRow(int row)
{
    gridObjects->setCurrentIndex(m_gridModel->index(row, 0));
}

void frmMain::LoadGridView()
{
    const int kind = cmbShowObjectType->currentIndex();
    // Listing the same kind again keeps the row on its object.
    const QString keep = m_gridModel->kind() == kind ? m_gridModel->objectId(gridCurrentRow()) : QString();
    platform::DbError error;
    bool listed = false;
    {
        // A new list moves the current row without loading anything: the
        // detail pages go on showing what they showed.
        const QScopedValueRollback quiet(m_reloadingGrid, true);
        listed = m_gridModel->load(m_ctx, kind, &error);
        const int kept = m_gridModel->rowOfObject(keep);
        if (kept < 0)
            m_paneShowsGridRow = false;
        if (m_gridModel->rowCount() > 0)
            setGridCurrentRow(kept < 0 ? 0 : kept);
    }
    gridObjects->resizeColumnsToContents();
    if (!listed && kind >= 0)
        msgBox(QStringLiteral("Error in LoadGridView:") + error.description);
}

void frmMain::cmbShowObjectType_Click()
{
    LoadGridView();
    gridObjects_RowColChange();
}

void frmMain::gridObjects_RowColChange()
{
    const GridKindInfo *kind = gridKindInfo(cmbShowObjectType->currentIndex());
    if (!kind)
        return;
    const platform::BusyCursor hourglass;
    showDetailPage(detailPageForNodeType(kind->nodeType));
    const int row = gridCurrentRow();
    if (row < 0) {
        // An empty list has no object to show.
        clearDetailPane();
        m_paneShowsGridRow = false;
        return;
    }
    LoadTabInfo(m_gridModel->objectId(row), kind->nodeType);
    m_paneShowsGridRow = true;
}

void frmMain::gridObjects_SelChange()
{
    // A click on the current row shows its object again after a tree row was shown.
    if (gridCurrentRow() >= 0 && !m_paneShowsGridRow)
        gridObjects_RowColChange();
}

void frmMain::gridObjects_DblClick(const QModelIndex &index)
{
    // Only a data row under the pointer re-roots, never the row that happens to be current.
    if (!index.isValid())
        return;
    const int kind = cmbShowObjectType->currentIndex();
    if (kind != GridCallHandlers && kind != GridSubscribers)
        return;
    // A row listed before its object was deleted is reported and the tree stays as it was.
    if (!reRootTree(m_gridModel->objectId(index.row())))
        return;
    ATTree->selectNode(m_tree->ATTree().root());
    TabTreeGrid->setCurrentIndex(0);
}

void frmMain::gridObjects_MouseDown(int row, const QPoint &globalPos)
{
    if (row < 0)
        return;
    const GridKindInfo *kind = gridKindInfo(cmbShowObjectType->currentIndex());
    // Decided on every right-click: only call handlers and interview handlers can be copied.
    mnuCreateCopy->setVisible(kind && kind->canCopy);
    if (gridCurrentRow() != row)
        setGridCurrentRow(row);
    mnuPopUpCreatecopy->popup(globalPos);
}

// --- the title and the menu commands ------------------------------------------

QString frmMain::titleUrl(const SelectedObject &shown, const QString &subscriberDirectoryId, const QString &server)
{
    switch (shown.ObjectType) {
    case 1: case 2: case 3: case 5: case 6: break;
    default: return {}; // a leaf, or nothing shown: no page to open
    }
    const QString id = shown.ObjectType == 1 ? subscriberDirectoryId.trimmed() : shown.ObjectID;
    if (id.isEmpty())
        return {};
    return strGenerateURL(shown.ObjectType, id, server);
}

void frmMain::lblCurrentObjectDisplayName_Click()
{
    QString directoryId;
    if (const auto *box = findChild<QLineEdit *>(QStringLiteral("txtSubscriberProfileDirectoryID")))
        directoryId = box->text();
    // The web administration runs on the server, which the profile names.
    QString server = m_ctx.db().profile().serverHost;
    if (server.isEmpty())
        server = m_ctx.workstation().ComputerName();
    const QString url = titleUrl(m_selected, directoryId, server);
    if (!url.isEmpty())
        platform::openOnDesktop(QUrl(url), QStringLiteral("The web administration page"), this);
}

void frmMain::frameObjectTitle_Click() { lblCurrentObjectDisplayName_Click(); }

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == lblCurrentObjectDisplayName || watched == frameObjectTitle)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const auto *widget = static_cast<QWidget *>(watched);
        if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            if (watched == frameObjectTitle)
                frameObjectTitle_Click();
            else
                lblCurrentObjectDisplayName_Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::mnuViewCurrentLogFile_Click()
{
    LogFile &log = m_ctx.log();
    if (log.gLogFileName().isEmpty()) {
        msgBox(QStringLiteral("There is no current log file: the log file of this session could not be created."));
        return;
    }
    // Everything written so far is on disk before another program reads the file.
    log.ReopenLogFile();
    platform::openOnDesktop(QUrl::fromLocalFile(log.gLogFileName()), QStringLiteral("The log file"), this);
}

void frmMain::mnuViewLogs_Click()
{
    platform::openOnDesktop(QUrl::fromLocalFile(LogFile::logFolder()), QStringLiteral("The logs folder"), this);
    m_ctx.log().ReopenLogFile();
}

void frmMain::mnuAbout_Click()
{
    if (!m_frmAbout)
        m_frmAbout = new frmAbout(this);
    m_frmAbout->exec();
}

// --- the report and tool windows ---------------------------------------------

void frmMain::mnuViewSchedules_Click()
{
    frmSchedules &window = toolWindow(m_frmSchedules, [this] {
        auto *made = new frmSchedules(m_ctx, this);
        made->Form_Load();
        return made;
    });
    showModeless(window);
}

void frmMain::mnuShowAvailableExtensionsInARange_Click()
{
    showModeless(toolWindow(m_frmAvailableExtensions, [this] { return new frmAvailableExtensions(m_ctx, this); }));
}

void frmMain::mnuFindATransferString_Click()
{
    showModeless(toolWindow(m_frmFindTransferString, [this] { return new frmFindTransferString(m_ctx, this); }));
}

void frmMain::mnuDependencyReport_Click()
{
    const int row = gridCurrentRow();
    const GridKindInfo *kind = gridKindInfo(cmbShowObjectType->currentIndex());
    if (!kind || row < 0)
        return;
    frmDependency &window = toolWindow(m_frmDependency, [this] { return new frmDependency(m_ctx, this); });
    // A subscriber is reported on by its own ObjectID, not its call handler's.
    window.strObjectID = m_gridModel->reportObjectId(row);
    window.iObjectType = kind->reportObjectType;
    // Every request reports on the object requested, also when the window is open with another.
    window.Form_Load();
    showModeless(window);
}

void frmMain::mnuCreateCopy_Click()
{
    const int row = gridCurrentRow();
    CreationDialog *dialog = nullptr;
    switch (cmbShowObjectType->currentIndex()) {
    case GridCallHandlers: dialog = &m_creation->callHandler(); break;
    case GridInterviewHandlers: dialog = &m_creation->interviewer(); break;
    default: break;
    }
    if (!dialog || row < 0)
        return;
    // The row's object is the template; what the dialog hands back is not needed here.
    dialog->showWithTemplate(m_gridModel->text(row, 0), m_gridModel->objectId(row));
    LoadGridView();
}

} // namespace quillor
