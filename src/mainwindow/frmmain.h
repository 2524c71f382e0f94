#pragma once
// The main window: the whole user interface apart from its dialogs. Its load
// handler brings the system up in a fixed order.

#include "details/choicelists.h"
#include "details/selectedobject.h"

#include <QMainWindow>

class QAction;
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

class AppContext;
class CallHandlerPage;
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

    // The object the detail pages show.
    const SelectedObject &CurrentlySelectedObject() const { return m_selected; }

    // Fills the detail pages for an object; the caller has already shown the
    // page that fits the node type. Does nothing while tab loads are suppressed.
    void LoadTabInfo(const QString &strObjectID, qint16 iNodeType);
    void LoadTabCallHandler(const QString &strObjectID);

    CallHandlerPage &callHandlerPage() { return *m_callHandlerPage; }
    // The choice lists read at start-up, kept for the pages that show them.
    const ChoiceLists &choiceLists() const { return m_choiceLists; }

    // The main database's connection string for a computer name.
    static QString connectionStringFor(const QString &computerName);
    // The program's home page on the tools site of the server profile; "" when
    // the profile names no tools site.
    QString homePageUrl() const;

public slots:
    void mnuExit_Click();
    void mnuFindExtension_Click();
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

    void loadLeaf();
    void PopulateControls();

    AppContext &m_ctx;
    bool m_ended = false;
    SelectedObject m_selected;
    ChoiceLists m_choiceLists;
    CallHandlerPage *m_callHandlerPage = nullptr;

    RoutingTree *m_tree = nullptr;
    QTabWidget *TabTreeGrid = nullptr;
    platform::OutlineTreeView *ATTree = nullptr;
    QMenu *PopupSetRoot = nullptr;
    QAction *mnuSetRoot = nullptr;
    QTabWidget *tabInfoTab = nullptr;
    QFrame *frameObjectTitle = nullptr;
    QLabel *lblCurrentObjectDisplayName = nullptr;
    QLineEdit *txtLeafAction = nullptr;
    QMenu *mnuFile = nullptr;
    QAction *mnuExit = nullptr;
    frmHelp *m_frmHelp = nullptr; // created on first use
};

} // namespace quillor
