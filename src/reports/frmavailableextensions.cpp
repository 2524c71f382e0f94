#include "reports/frmavailableextensions.h"

#include "common/errors.h"
#include "common/fso.h"
#include "platform/busycursor.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"
#include "reports/availableextensions.h"
#include "reports/toolwindow.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillor {

using platform::msgBox;
using platform::MsgButtons;

namespace {
void refuseRangeText(platform::ValidatingLineEdit *box, QWidget *window)
{
    if (isRangeNumber(box->text()))
        return;
    // Emptied first: the message takes the focus, and the box is then already valid.
    box->clear();
    msgBox(QStringLiteral("Please enter only numbers"), MsgButtons::Ok, {}, window);
}
} // namespace

frmAvailableExtensions::frmAvailableExtensions(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmAvailableExtensions"));
    setWindowTitle(QStringLiteral("Find Available Extensions"));

    auto *Frame1 = new QGroupBox(QStringLiteral("Find available extensions in this range:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    txtStartRange = new platform::ValidatingLineEdit(Frame1);
    txtStartRange->setObjectName(QStringLiteral("txtStartRange"));
    auto *Label2 = new QLabel(QStringLiteral("to"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtEndRange = new platform::ValidatingLineEdit(Frame1);
    txtEndRange->setObjectName(QStringLiteral("txtEndRange"));
    auto *range = new QHBoxLayout(Frame1);
    range->addWidget(txtStartRange);
    range->addWidget(Label2);
    range->addWidget(txtEndRange);

    cmdSearch = makeButton(this, "cmdSearch", QStringLiteral("Search"), &frmAvailableExtensions::cmdSearch_Click);
    cmdExport = makeButton(this, "cmdExport", QStringLiteral("Export"), &frmAvailableExtensions::cmdExport_Click);
    cmdExit = makeButton(this, "cmdExit", QStringLiteral("Exit"), &frmAvailableExtensions::cmdExit_Click);
    listAvailableExtensions = new QListWidget(this);
    listAvailableExtensions->setObjectName(QStringLiteral("listAvailableExtensions"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->hide();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdSearch);
    buttons->addWidget(cmdExport);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    auto *layout = new QGridLayout(this);
    layout->addWidget(Frame1, 0, 0);
    layout->addWidget(listAvailableExtensions, 1, 0);
    layout->addLayout(buttons, 0, 1, 2, 1);
    layout->addWidget(ProgressBar, 2, 0, 1, 2);
    layout->setRowStretch(1, 1);
    resize(380, 320);

    connect(txtStartRange, &platform::ValidatingLineEdit::validating, this,
            &frmAvailableExtensions::txtStartRange_Validate);
    connect(txtEndRange, &platform::ValidatingLineEdit::validating, this, &frmAvailableExtensions::txtEndRange_Validate);
    // Enter in either box searches, as the button does.
    connect(txtStartRange, &QLineEdit::returnPressed, this, &frmAvailableExtensions::cmdSearch_Click);
    connect(txtEndRange, &QLineEdit::returnPressed, this, &frmAvailableExtensions::cmdSearch_Click);
}

// A refused text empties the box; the focus moves on all the same.
void frmAvailableExtensions::txtStartRange_Validate(bool *) { refuseRangeText(txtStartRange, this); }
void frmAvailableExtensions::txtEndRange_Validate(bool *) { refuseRangeText(txtEndRange, this); }

void frmAvailableExtensions::cmdSearch_Click()
{
    // A search started from the keyboard has not left the box it was typed in.
    txtStartRange->validate();
    txtEndRange->validate();
    const qint64 start = rangeValue(txtStartRange->text()).value_or(0);
    const qint64 end = rangeValue(txtEndRange->text()).value_or(0);
    if (start > end) {
        msgBox(QStringLiteral("Please make sure the start of your range is smaller than the end"), MsgButtons::Ok, {}, this);
        return;
    }
    if (end - start + 1 > kMaxExtensionRange) {
        msgBox(QStringLiteral("The range includes more than 5,000 values.  Please choose a smaller range."),
               MsgButtons::Ok, {}, this);
        return;
    }
    listAvailableExtensions->clear();
    platform::DbError error;
    std::optional<QStringList> free;
    {
        const platform::BusyCursor busy;
        cmdExport->setEnabled(false);
        cmdSearch->setEnabled(false);
        ProgressBar->setRange(0, int(end - start + 1));
        ProgressBar->setValue(0);
        ProgressBar->show();
        free = freeExtensions(m_ctx, start, end, [this](qint64 done) { ProgressBar->setValue(int(done)); }, &error);
        ProgressBar->hide();
        cmdExport->setEnabled(true);
        cmdSearch->setEnabled(true);
    }
    if (!free) {
        // Nothing is listed: a partly searched range would show numbers as free that were never asked about.
        reportError(error.number, error.description, QStringLiteral("cmdSearch_Click"), QStringLiteral("Form"),
                    QStringLiteral("frmAvailableExtensions"));
        return;
    }
    listAvailableExtensions->addItems(*free);
    msgBox(QStringLiteral(" %1 extensions found available in that range").arg(free->size()), MsgButtons::Ok, {}, this);
}

void frmAvailableExtensions::cmdExport_Click()
{
    if (listAvailableExtensions->count() == 0) {
        msgBox(QStringLiteral("No extensions to export"), MsgButtons::Ok, {}, this);
        return;
    }
    const std::optional<QString> chosen = platform::Seams::fileDialog().getSaveFileName(
        this, QStringLiteral("Export extension range to text file"), QDir::homePath(),
        QStringLiteral("AvailableExtensions.txt"), QStringLiteral("Text files (*.txt *.TXT)"));
    if (!chosen)
        return;
    QString text;
    for (int i = 0; i < listAvailableExtensions->count(); ++i)
        text += listAvailableExtensions->item(i)->text() + QStringLiteral("\r\n");
    // An existing file is replaced only by the complete list.
    QString error;
    if (!writeWholeTextFile(*chosen, text, &error)) {
        reportWriteFailure(*chosen, error, QStringLiteral("cmdExport_Click"), QStringLiteral("frmAvailableExtensions"));
        return;
    }
    msgBox(QStringLiteral("Output complete"), MsgButtons::Ok, {}, this);
}

void frmAvailableExtensions::cmdExit_Click() { close(); }

} // namespace quillor
