#pragma once
// The family of modal dialogs that hand their caller one handler: made anew
// on the first page (name, optional extension, and for some a template), or
// found among the existing ones on the second page. The caller shows the
// dialog with showModal() and then reads bCancel and, when it is false,
// strObjectID and strDisplayName. Every way of closing runs through done():
// a close that is neither a creation nor a choice counts as Cancel, so no
// earlier result is ever handed back.

#include "pickers/pickersearch.h"

#include <QDialog>

class QFormLayout;
class QGroupBox;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class AppContext;
class PickerResultModel;
struct CreatedHandler;

// What sets one creation dialog apart from the others.
struct CreationLayout {
    const char *objectName;
    const char *caption;
    const char *tabName;
    const char *createPageCaption;
    const char *choosePageCaption;
    const char *searchButtonCaption;
    PickerKind kind;
    const char *objectIdColumn; // the hidden column of the result grid
    const char *noSelectionMessage;
    int openingPage;
};

class CreationDialog : public QDialog {
    Q_OBJECT
public:
    ~CreationDialog() override;

    // The handler created or chosen, and whether the use ended without one.
    QString strObjectID;
    QString strDisplayName;
    bool bCancel = true;
    // Whether that handler was made by this use rather than chosen.
    bool bCreated = false;

    // Loads the dialog unless it is loaded already (a caller presets its
    // boxes after this). False when it cannot be used: the reason has been
    // shown and the results say Cancel.
    bool ensureLoaded();
    // Loads it if need be and shows it modally; true when a handler was
    // created or chosen.
    bool showModal();
    // Loads it if need be, puts the template given on its first page (the
    // template boxes only) and shows it modally.
    bool showWithTemplate(const QString &displayName, const QString &objectId);

    // The page shown decides which of Create and Select is offered.
    void tab_Click();
    virtual void cmdCreateHandler_Click() = 0;
    void cmdSearch_Click();
    void cmdSelect_Click();
    void myGrid_DblClick(const QModelIndex &index);
    void cmdCancel_Click();
    void txtHandlerExtension_Validate(bool *cancel);

    const PickerResultModel &results() const { return *m_model; }
    QTabWidget *tabs() const { return m_tabs; }

    void setVisible(bool visible) override;
    void done(int result) override;

protected:
    CreationDialog(AppContext &ctx, CreationLayout layout, QWidget *parent);

    AppContext &context() { return m_ctx; }
    // The dialog's own part of loading; false when it cannot be used.
    virtual bool Form_Load();
    // The frame of the template on the first page, and what it shows.
    void addTemplateFrame(const QString &caption, QPushButton *button);
    void setTemplate(const QString &displayName, const QString &objectId);
    // The request the boxes of the first page make.
    QString typedName() const;
    QString typedExtension() const;
    // Hands `created` back and closes; `stayLoaded` only hides the dialog, so
    // its next showing keeps what it holds.
    void handBack(const CreatedHandler &created, bool stayLoaded = false);

    QTabWidget *m_tabs = nullptr;
    QLineEdit *txtHandlerName = nullptr;
    platform::ValidatingLineEdit *txtHandlerExtension = nullptr;
    QLineEdit *txtHandlerTemplateDisplayName = nullptr;
    QLineEdit *txtHandlerTemplateObjectID = nullptr;

private:
    void publish(const QString &objectId, const QString &displayName);
    void select(bool quietly);

    AppContext &m_ctx;
    CreationLayout m_layout;
    PickerResultModel *m_model;
    QFormLayout *m_createForm = nullptr;
    QGroupBox *Frame2 = nullptr;
    QRadioButton *optSearchByDisplayName = nullptr;
    QRadioButton *optSearchByExtension = nullptr;
    QLineEdit *txtSearchString = nullptr;
    QPushButton *cmdSearch = nullptr;
    QTableView *myGrid = nullptr;
    QPushButton *cmdCreateHandler = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPushButton *cmdCancel = nullptr;
    bool m_loaded = false;
    bool m_stayLoaded = false;
    bool m_closing = false;
};

} // namespace quillor
