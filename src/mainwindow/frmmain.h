#pragma once
// The main window: the whole user interface apart from its dialogs. Its load
// handler brings the system up in a fixed order.

#include <QMainWindow>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;

namespace quillor {

namespace platform {
class OutlineNode;
class OutlineTreeView;
} // namespace platform

class AppContext;
class RoutingTree;

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

    // The main database's connection string for a computer name.
    static QString connectionStringFor(const QString &computerName);

public slots:
    void mnuExit_Click();
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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();
    void endProgram(int exitCode);
    void createMenus();
    void createLayout();
    void openLogFile();
    // The tree's view options from the Options entries' marks.
    void readTreeViewOptions();
    // Builds the tree anew from `root` (reload, view options, re-rooting).
    void rebuildTree(const QString &root);

    AppContext &m_ctx;
    bool m_ended = false;

    RoutingTree *m_tree = nullptr;
    QTabWidget *TabTreeGrid = nullptr;
    platform::OutlineTreeView *ATTree = nullptr;
    QMenu *PopupSetRoot = nullptr;
    QAction *mnuSetRoot = nullptr;
    QTabWidget *tabInfoTab = nullptr;
    QFrame *frameObjectTitle = nullptr;
    QLabel *lblCurrentObjectDisplayName = nullptr;
    QMenu *mnuFile = nullptr;
    QAction *mnuReload = nullptr;
    QAction *seperator7 = nullptr;
    QAction *mnuExportTreeInfo = nullptr;
    QAction *mnuExit = nullptr;
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
