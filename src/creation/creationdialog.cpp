#include "creation/creationdialog.h"

#include "common/appcontext.h"
#include "common/validators.h"
#include "creation/creation.h"
#include "pickers/pickerdialog.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quillor {

namespace {
constexpr int kIdColumn = 3;

QStringList resultHeaders(const CreationLayout &layout)
{
    return {QStringLiteral("Alias"), QStringLiteral("Display Name"), QStringLiteral("Extension"),
            QString::fromLatin1(layout.objectIdColumn)};
}

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

CreationDialog::CreationDialog(AppContext &ctx, CreationLayout layout, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_layout(layout),
      m_model(new PickerResultModel(resultHeaders(layout), this))
{
    setObjectName(QString::fromLatin1(m_layout.objectName));
    setWindowTitle(QString::fromLatin1(m_layout.caption));
    setModal(true);

    m_tabs = named(new QTabWidget(this), m_layout.tabName);

    auto *createPage = new QWidget(m_tabs);
    m_createForm = new QFormLayout(createPage);
    txtHandlerName = named(new QLineEdit(createPage), "txtHandlerName");
    txtHandlerName->setMaxLength(40);
    txtHandlerExtension = named(new platform::ValidatingLineEdit(createPage), "txtHandlerExtension");
    txtHandlerExtension->setMaxLength(30);
    m_createForm->addRow(QStringLiteral("Name:"), txtHandlerName);
    m_createForm->addRow(QStringLiteral("Extension (Optional):"), txtHandlerExtension);
    m_tabs->addTab(createPage, QString::fromLatin1(m_layout.createPageCaption));

    auto *choosePage = new QWidget(m_tabs);
    Frame2 = named(new QGroupBox(QStringLiteral("Search By"), choosePage), "Frame2");
    optSearchByDisplayName = named(new QRadioButton(QStringLiteral("Display Name"), Frame2), "optSearchByDisplayName");
    optSearchByExtension = named(new QRadioButton(QStringLiteral("Extension"), Frame2), "optSearchByExtension");
    auto *options = new QHBoxLayout(Frame2);
    options->addWidget(optSearchByDisplayName);
    options->addWidget(optSearchByExtension);
    options->addStretch();
    txtSearchString = named(new QLineEdit(choosePage), "txtSearchString");
    cmdSearch = named(new QPushButton(QString::fromLatin1(m_layout.searchButtonCaption), choosePage), "cmdSearch");
    myGrid = named(new QTableView(choosePage), "myGrid");
    myGrid->setModel(m_model);
    setUpResultGrid(myGrid, resultHeaders(m_layout), {kIdColumn});
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(txtSearchString, 1);
    searchRow->addWidget(cmdSearch);
    auto *chooseLayout = new QVBoxLayout(choosePage);
    chooseLayout->addWidget(Frame2);
    chooseLayout->addLayout(searchRow);
    chooseLayout->addWidget(myGrid, 1);
    m_tabs->addTab(choosePage, QString::fromLatin1(m_layout.choosePageCaption));

    cmdCreateHandler = named(new QPushButton(QStringLiteral("Create"), this), "cmdCreateHandler");
    cmdSelect = named(new QPushButton(QStringLiteral("Select"), this), "cmdSelect");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    // Cancel throws the typed extension away: it is not checked first.
    platform::markAsCancelButton(cmdCancel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCreateHandler);
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdCancel);
    auto *page = new QVBoxLayout(this);
    page->addWidget(m_tabs, 1);
    page->addLayout(buttons);
    resize(520, 380);

    connect(cmdCreateHandler, &QPushButton::clicked, this, &CreationDialog::cmdCreateHandler_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &CreationDialog::cmdSearch_Click);
    connect(cmdSelect, &QPushButton::clicked, this, &CreationDialog::cmdSelect_Click);
    connect(myGrid, &QTableView::doubleClicked, this, &CreationDialog::myGrid_DblClick);
    pickOnEnter(myGrid, cmdSelect);
    connect(cmdCancel, &QPushButton::clicked, this, &CreationDialog::cmdCancel_Click);
    connect(txtHandlerExtension, &platform::ValidatingLineEdit::validating, this,
            &CreationDialog::txtHandlerExtension_Validate);
}

CreationDialog::~CreationDialog() = default;

void CreationDialog::addTemplateFrame(const QString &caption, QPushButton *button)
{
    auto *frame = named(new QGroupBox(caption, m_createForm->parentWidget()), "Frame1");
    txtHandlerTemplateDisplayName = named(new QLineEdit(frame), "txtHandlerTemplateDisplayName");
    txtHandlerTemplateObjectID = named(new QLineEdit(frame), "txtHandlerTemplateObjectID");
    // The template is chosen with the button, never typed.
    txtHandlerTemplateDisplayName->setReadOnly(true);
    txtHandlerTemplateObjectID->setReadOnly(true);
    button->setParent(frame);
    auto *layout = new QGridLayout(frame);
    layout->addWidget(txtHandlerTemplateDisplayName, 0, 0);
    layout->addWidget(button, 0, 1);
    layout->addWidget(txtHandlerTemplateObjectID, 1, 0, 1, 2);
    m_createForm->insertRow(0, frame);
}

void CreationDialog::setTemplate(const QString &displayName, const QString &objectId)
{
    if (!txtHandlerTemplateObjectID)
        return;
    txtHandlerTemplateDisplayName->setText(displayName);
    txtHandlerTemplateObjectID->setText(objectId);
}

bool CreationDialog::Form_Load()
{
    return true;
}

bool CreationDialog::ensureLoaded()
{
    if (m_loaded)
        return true;
    // Every load starts from an empty form, as a dialog opened anew would.
    placeAtScreenCorner(this);
    txtHandlerName->clear();
    txtHandlerExtension->clear();
    txtSearchString->clear();
    optSearchByDisplayName->setChecked(true);
    m_model->clear();
    {
        const QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(m_layout.openingPage);
    }
    tab_Click();
    m_loaded = Form_Load();
    if (!m_loaded)
        publish({}, {});
    return m_loaded;
}

bool CreationDialog::showModal()
{
    if (!ensureLoaded())
        return false;
    exec();
    return !bCancel;
}

bool CreationDialog::showWithTemplate(const QString &displayName, const QString &objectId)
{
    if (!ensureLoaded())
        return false;
    setTemplate(displayName, objectId);
    m_tabs->setCurrentIndex(0);
    return showModal();
}

void CreationDialog::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Shown without showModal(): a dialog that cannot be used closes again at once.
        if (!ensureLoaded())
            QTimer::singleShot(0, this, &CreationDialog::reject);
        // Typing starts in the page's first box, not wherever the last showing left the focus.
        if (m_tabs->currentIndex() == 0)
            txtHandlerName->setFocus();
        else
            txtSearchString->setFocus();
    } else if (!visible && isVisible() && !m_closing) {
        // Hidden by anything but done(): no handler.
        done(Rejected);
        return;
    }
    QDialog::setVisible(visible);
}

void CreationDialog::done(int result)
{
    QScopedValueRollback closing(m_closing, true);
    if (result != Accepted)
        publish({}, {});
    if (!m_stayLoaded) {
        m_loaded = false;
        m_model->clear();
    }
    m_stayLoaded = false;
    QDialog::done(result);
}

void CreationDialog::publish(const QString &objectId, const QString &displayName)
{
    bCreated = false;
    bCancel = objectId.isEmpty();
    strObjectID = objectId;
    strDisplayName = displayName;
}

void CreationDialog::handBack(const CreatedHandler &created, bool stayLoaded)
{
    publish(created.objectId, created.displayName);
    bCreated = true;
    m_stayLoaded = stayLoaded;
    accept();
}

QString CreationDialog::typedName() const
{
    return txtHandlerName->text();
}

QString CreationDialog::typedExtension() const
{
    return txtHandlerExtension->text();
}

void CreationDialog::tab_Click()
{
    const bool creating = m_tabs->currentIndex() == 0;
    cmdCreateHandler->setVisible(creating);
    cmdSelect->setVisible(!creating);
    // Enter creates on the first page and searches on the second.
    cmdCreateHandler->setDefault(creating);
    cmdSearch->setDefault(!creating);
}

void CreationDialog::txtHandlerExtension_Validate(bool *cancel)
{
    const QString text = txtHandlerExtension->text();
    if (!text.isEmpty() && !isValidExtension(text, 0)) {
        txtHandlerExtension->clear();
        *cancel = true;
    }
}

void CreationDialog::cmdSearch_Click()
{
    searchIntoGrid(m_ctx, m_layout.kind,
                   optSearchByExtension->isChecked() ? SearchBy::Extension : SearchBy::DisplayName,
                   txtSearchString->text(), *m_model, myGrid, this);
}

void CreationDialog::select(bool quietly)
{
    const int row = pickedGridRow(myGrid);
    if (row < 0) {
        if (!quietly)
            platform::msgBox(QString::fromLatin1(m_layout.noSelectionMessage), platform::MsgButtons::Ok, {}, this);
        return;
    }
    publish(m_model->text(row, kIdColumn), m_model->text(row, 1));
    accept();
}

void CreationDialog::cmdSelect_Click()
{
    select(false);
}

void CreationDialog::myGrid_DblClick(const QModelIndex &index)
{
    if (index.isValid())
        select(true);
}

void CreationDialog::cmdCancel_Click()
{
    reject();
}

} // namespace quillor
