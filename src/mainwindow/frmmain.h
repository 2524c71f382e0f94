#pragma once
// The main window: the whole user interface apart from its dialogs. Its load
// handler brings the system up in a fixed order.

#include "details/choicelists.h"
#include "details/selectedobject.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;

namespace quillor {

namespace platform {
class OutlineNode;
class OutlineTreeView;
} // namespace platform

class ActionPopup;
class AppContext;
class CallHandlerPage;
class DetailPage;
class InterviewerPage;
class NameLookupHandlerPage;
class SubscriberPage;
class RoutingTree;
class frmHelp;
class ObjectGridModel;
class ObjectGridView;
class frmAbout;
class Pickers;
class CreationDialogs;
class EditingHost;
class frmAvailableExtensions;
class frmDependency;
class frmFindTransferString;
class frmSchedules;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(AppContext &ctx, QWidget *parent = nullptr);
    ~frmMain() override;

    AppContext &context() { return m_ctx; }
    RoutingTree &routingTree() { return *m_tree; }

    // Brings the system up. False when the program was ended during start-up
    // (an unsupported server); the window must then not be shown.
    bool Form_Load();

    // The object the detail pages show.
    const SelectedObject &CurrentlySelectedObject() const { return m_selected; }

    // Fills the detail pages for an object; the caller has already shown the
    // page that fits the node type. Does nothing while tab loads are suppressed.
    void LoadTabInfo(const QString &strObjectID, qint16 iNodeType);
    void LoadTabSubscriber(const QString &strPrimaryCallHandlerObjectID);
    void LoadTabCallHandler(const QString &strObjectID);
    void LoadTabInterviewer(const QString &strObjectID);
    void LoadTabNameLookupHandler(const QString &strObjectID);

    SubscriberPage &subscriberPage() { return *m_subscriberPage; }
    CallHandlerPage &callHandlerPage() { return *m_callHandlerPage; }
    InterviewerPage &interviewerPage() { return *m_interviewerPage; }
    NameLookupHandlerPage &nameLookupHandlerPage() { return *m_nameLookupHandlerPage; }
    // The one instance of each object picker, created on first use.
    Pickers &pickers() { return *m_pickers; }
    // The one instance of each creation dialog, created on first use.
    CreationDialogs &creationDialogs() { return *m_creation; }
    // The choice lists read at start-up, kept for the pages that show them.
    const ChoiceLists &choiceLists() const { return m_choiceLists; }

    // Lists the kind chosen in cmbShowObjectType again, keeping the current
    // row on the same object when it is still listed. The detail pages are
    // not reloaded: an edit that calls this goes on showing its object.
    void LoadGridView();
    // After a change to an object's routing: the tree's rows of the object
    // show its new links; the selected row and the scroll position stay.
    void RefreshTreeRowsForObject(const QString &objectId);
    ObjectGridModel &gridModel() { return *m_gridModel; }

    // The main database's connection string for a computer name.
    static QString connectionStringFor(const QString &computerName);
    // The program's home page on the tools site of the server profile; "" when
    // the profile names no tools site.
    QString homePageUrl() const;
    // The web administration page of the shown object ("" when it has none):
    // a subscriber's page is found by its directory id, every other object's
    // by its ObjectID.
    static QString titleUrl(const SelectedObject &shown, const QString &subscriberDirectoryId, const QString &server);

public slots:
    void mnuExit_Click();
    void mnuFindExtension_Click();
    void mnuHelp_Click();
    void mnuCheckForUpdatedVersion_Click();
    void ATTree_AfterRowColChange(quillor::platform::OutlineNode *node);
    void ATTree_MouseDown(quillor::platform::OutlineNode *node, const QPoint &globalPos);
    // The tree's commands. The Options entries' marks are already toggled
    // when their handlers run.
    void mnuReload_Click();
    void mnuSetRoot_Click();
    void mnuExportTreeInfo_Click();
    void ShowIgnoreKey_Click();
    void ShowNoLeafs_Click();
    void ShowAfterMessageLinks_Click();
    void ShowAfterGreetingLinks_Click();
    void ExpandAllNodes_Click();
    void CollapseAllNodes_Click();

    void lblCurrentObjectDisplayName_Click();
    void frameObjectTitle_Click();
    void mnuViewCurrentLogFile_Click();
    void mnuViewLogs_Click();
    void mnuAbout_Click();
    // The report and tool windows.
    void mnuViewSchedules_Click();
    void mnuShowAvailableExtensionsInARange_Click();
    void mnuFindATransferString_Click();
    void mnuDependencyReport_Click();
    void mnuCreateCopy_Click();

    void cmbShowObjectType_Click();
    void gridObjects_RowColChange();
    void gridObjects_SelChange();
    void gridObjects_DblClick(const QModelIndex &index);
    void gridObjects_MouseDown(int row, const QPoint &globalPos);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Unload();
    // Checks the edit box being typed in, as leaving it would, before its page is replaced.
    void commitPendingEdit();
    void endProgram(int exitCode);
    void createMenus();
    void createPopupMenus();
    void createLayout();
    void createEditing();
    QWidget *createGridPage(QWidget *parent);
    void openLogFile();
    // Shows exactly one page of tabInfoTab.
    void showDetailPage(int page);
    // Puts a page into its tab of tabInfoTab; its title goes to the title label.
    template <typename Page> Page *addDetailPage(int tab);
    // No object shown: the title emptied and the page disabled.
    void clearDetailPane();
    int gridCurrentRow() const;
    void setGridCurrentRow(int row);

    void loadLeaf();
    void PopulateControls();
    // The tree's view options from the Options entries' marks.
    void readTreeViewOptions();
    // Builds the tree anew from `root` (reload, view options, re-rooting).
    void rebuildTree(const QString &root);
    // Re-roots the tree at `root`; false (reported, the tree unchanged) when it cannot be built there.
    bool reRootTree(const QString &root);
    void connectRoutingActions();

    AppContext &m_ctx;
    bool m_ended = false;
    SelectedObject m_selected;
    ChoiceLists m_choiceLists;
    SubscriberPage *m_subscriberPage = nullptr;
    CallHandlerPage *m_callHandlerPage = nullptr;
    InterviewerPage *m_interviewerPage = nullptr;
    NameLookupHandlerPage *m_nameLookupHandlerPage = nullptr;

    RoutingTree *m_tree = nullptr;
    QTabWidget *TabTreeGrid = nullptr;
    platform::OutlineTreeView *ATTree = nullptr;
    QMenu *PopupSetRoot = nullptr;
    QAction *mnuSetRoot = nullptr;
    QTabWidget *tabInfoTab = nullptr;
    QFrame *frameObjectTitle = nullptr;
    QLabel *lblCurrentObjectDisplayName = nullptr;
    QLineEdit *txtLeafAction = nullptr;
    QComboBox *cmbShowObjectType = nullptr;
    ObjectGridView *gridObjects = nullptr;
    ObjectGridModel *m_gridModel = nullptr;
    // The detail pages show the grid's current row (and not a tree row).
    bool m_paneShowsGridRow = false;
    // Set while LoadGridView moves the current row: moving it then loads nothing.
    bool m_reloadingGrid = false;
    bool m_gridKindJustListed = false; // the choice that changed the kind has listed it

    QMenu *mnuFile = nullptr;
    QAction *mnuReload = nullptr;
    QAction *seperator7 = nullptr;
    QAction *mnuViewCurrentLogFile = nullptr;
    QAction *mnuViewLogs = nullptr;
    QAction *mnuExportTreeInfo = nullptr;
    QAction *mnuViewSchedules = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuExtensions = nullptr;
    QMenu *mnuHelpMenu = nullptr;
    QAction *mnuAbout = nullptr;
    QMenu *mnuPopUpCreatecopy = nullptr;
    QAction *mnuCreateCopy = nullptr;
    QAction *mnuDependencyReport = nullptr;
    QMenu *PopupOwnerRecipient = nullptr;
    QAction *PopupOwnerRecipientSubscriber = nullptr;
    QAction *PopupOwnerRecipientDistributionList = nullptr;
    QMenu *PopupAction = nullptr;
    ActionPopup *m_actionPopup = nullptr;
    frmHelp *m_frmHelp = nullptr;   // created on first use
    frmAbout *m_frmAbout = nullptr; // created on first use
    std::unique_ptr<Pickers> m_pickers;
    std::unique_ptr<CreationDialogs> m_creation;
    EditingHost *m_editing = nullptr;
    // Made on first use and again after they were closed.
    QPointer<frmDependency> m_frmDependency;
    QPointer<frmSchedules> m_frmSchedules;
    QPointer<frmAvailableExtensions> m_frmAvailableExtensions;
    QPointer<frmFindTransferString> m_frmFindTransferString;
    QMenu *mnuOptions = nullptr;
    QAction *ShowIgnoreKey = nullptr;
    QAction *ShowNoLeafs = nullptr;
    QAction *ShowAfterMessageLinks = nullptr;
    QAction *ShowAfterGreetingLinks = nullptr;
    QAction *seperator6 = nullptr;
    QAction *ExpandAllNodes = nullptr;
    QAction *CollapseAllNodes = nullptr;
};

} // namespace quillor
