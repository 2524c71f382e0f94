#include "reports/frmfindtransferstring.h"

#include "common/errors.h"
#include "common/validators.h"
#include "platform/busycursor.h"
#include "platform/seams.h"
#include "reports/toolwindow.h"
#include "reports/transferstring.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillor {

using platform::msgBox;
using platform::MsgButtons;

frmFindTransferString::frmFindTransferString(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmFindTransferString"));
    setWindowTitle(QStringLiteral("Find Transfer String"));

    auto *frameTransferString = new QGroupBox(QStringLiteral("Transfer string to search for"), this);
    frameTransferString->setObjectName(QStringLiteral("frameTransferString"));
    txtTransferString = new QLineEdit(frameTransferString);
    txtTransferString->setObjectName(QStringLiteral("txtTransferString"));
    optExactMatch = new QRadioButton(QStringLiteral("Search for exact match"), frameTransferString);
    optExactMatch->setObjectName(QStringLiteral("optExactMatch"));
    optExactMatch->setChecked(true);
    optPartialMatch = new QRadioButton(QStringLiteral("Search for partial match"), frameTransferString);
    optPartialMatch->setObjectName(QStringLiteral("optPartialMatch"));
    auto *frame = new QVBoxLayout(frameTransferString);
    frame->addWidget(txtTransferString);
    frame->addWidget(optExactMatch);
    frame->addWidget(optPartialMatch);

    cmdSearch = makeButton(this, "cmdSearch", QStringLiteral("Search"), &frmFindTransferString::cmdSearch_Click);
    cmdExit = makeButton(this, "cmdExit", QStringLiteral("Exit"), &frmFindTransferString::cmdExit_Click);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdSearch);
    buttons->addWidget(cmdExit);
    buttons->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(frameTransferString, 1);
    layout->addLayout(buttons);
    // Enter in the text searches, as the button does.
    connect(txtTransferString, &QLineEdit::returnPressed, this, &frmFindTransferString::cmdSearch_Click);
}

void frmFindTransferString::cmdSearch_Click()
{
    const QString text = txtTransferString->text();
    if (text.isEmpty()) {
        msgBox(QStringLiteral("You must enter a string to search for"), MsgButtons::Ok, {}, this);
        return;
    }
    if (!myIsDialableString(text, false)) {
        msgBox(QStringLiteral("That is not a legal transfer string.  A transfer string can only contain digits, commas, "
                              "* or #"),
               MsgButtons::Ok, {}, this);
        return;
    }
    platform::DbError error;
    std::optional<QList<TransferMatch>> matches;
    {
        const platform::BusyCursor busy;
        matches = findTransferString(m_ctx, text, optPartialMatch->isChecked(), &error);
    }
    if (!matches) {
        reportError(error.number, error.description, QStringLiteral("cmdSearch_Click"), QStringLiteral("Form"),
                    QStringLiteral("frmFindTransferString"));
        return;
    }
    if (matches->isEmpty()) {
        msgBox(QStringLiteral("No matches found for that dial string"), MsgButtons::Ok, {}, this);
        return;
    }
    if (matches->size() <= kMatchesInMessageBox)
        msgBox(transferMatchesText(*matches), MsgButtons::Ok, {}, this);
    else
        showMatches(transferMatchesText(*matches));
}

void frmFindTransferString::showMatches(const QString &text)
{
    if (!m_matches) {
        m_matches = new QWidget(this, Qt::Window);
        m_matches->setObjectName(QStringLiteral("frmTransferStringMatches"));
        m_matches->setWindowTitle(QApplication::applicationName());
        m_matchesText = new QPlainTextEdit(m_matches);
        m_matchesText->setObjectName(QStringLiteral("txtMatches"));
        m_matchesText->setReadOnly(true);
        m_matchesText->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto *ok = new QPushButton(QStringLiteral("OK"), m_matches);
        ok->setObjectName(QStringLiteral("cmdMatchesOK"));
        connect(ok, &QPushButton::clicked, m_matches, &QWidget::close);
        auto *layout = new QVBoxLayout(m_matches);
        layout->addWidget(m_matchesText, 1);
        layout->addWidget(ok, 0, Qt::AlignRight);
        m_matches->resize(560, 420);
    }
    m_matchesText->setPlainText(text);
    m_matches->show();
    m_matches->raise();
    m_matches->activateWindow();
}

void frmFindTransferString::cmdExit_Click() { hide(); }

} // namespace quillor
