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
class frmHelp;

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
    // The program's home page on the tools site of the server profile; "" when
    // the profile names no tools site.
    QString homePageUrl() const;

public slots:
    void mnuExit_Click();
    void mnuHelp_Click();
    void mnuCheckForUpdatedVersion_Click();
    void ATTree_AfterRowColChange(quillor::platform::OutlineNode *node);
    void ATTree_MouseDown(quillor::platform::OutlineNode *node, const QPoint &globalPos);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();
    void endProgram(int exitCode);
    void createMenus();
    void createLayout();
    void openLogFile();

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
    QAction *mnuExit = nullptr;
    frmHelp *m_frmHelp = nullptr; // created on first use
};

} // namespace quillor
