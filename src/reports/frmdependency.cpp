#include "reports/frmdependency.h"

#include "common/fso.h"
#include "platform/seams.h"
#include "reports/dependencyreport.h"
#include "reports/toolwindow.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillor {

using platform::MsgAnswer;
using platform::MsgButtons;

frmDependency::frmDependency(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDependency"));
    setWindowTitle(QStringLiteral("Dependency Report"));
    // 6500 x 3000 twips at the least; 7890 x 5715 as designed.
    setMinimumSize(433, 200);
    resize(526, 381);

    txtOutput = new QPlainTextEdit(this);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    cmdSave = makeButton(this, "cmdSave", QStringLiteral("&Save"), &frmDependency::cmdSave_Click);
    cmdCopyToClipboard =
        makeButton(this, "cmdCopyToClipboard", QStringLiteral("&Copy"), &frmDependency::cmdCopyToClipboard_Click);
    cmdExit = makeButton(this, "cmdExit", QStringLiteral("E&xit"), &frmDependency::cmdExit_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCopyToClipboard);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 4, 4);
    layout->addWidget(txtOutput, 1);
    layout->addLayout(buttons);
}

void frmDependency::Form_Load()
{
    txtOutput->clear();
    const DependencyReport report = makeDependencyReport(m_ctx, iObjectType, strObjectID);
    strTargetAlias = report.targetAlias;
    // The box keeps its lines with the platform's line ends; reportText() puts CR LF back.
    txtOutput->setPlainText(QString(report.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString frmDependency::reportText() const
{
    return txtOutput->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

void frmDependency::cmdSave_Click()
{
    // A folder separator in an alias would make the proposed name a path.
    const QString proposed =
        QStringLiteral("DependencyReport_") + QString(strTargetAlias).replace(u'/', u'_') + QStringLiteral(".txt");
    const std::optional<QString> chosen = platform::Seams::fileDialog().getSaveFileName(
        this, QStringLiteral("Save Dependency Report To File"), QDir::homePath(), proposed, QString());
    if (!chosen)
        return;
    const QString &path = *chosen;
    if (gFSO().FileExists(path)
        && platform::msgBox(QStringLiteral("Overwrite ") + path + u'?', MsgButtons::YesNo,
                            QStringLiteral("Overwrite existing file?"), this)
               != MsgAnswer::Yes)
        return;
    // The old file stays until the new one is complete; a failure is never reported as saved.
    QString error;
    if (!writeWholeTextFile(path, reportText(), &error)) {
        reportWriteFailure(path, error, QStringLiteral("cmdSave_Click"), QStringLiteral("frmDependency"));
        return;
    }
    platform::msgBox(QStringLiteral("File saved"), MsgButtons::Ok, {}, this);
}

void frmDependency::cmdCopyToClipboard_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(reportText());
    platform::msgBox(QStringLiteral("Report text copied to the clipboard"), MsgButtons::Ok, {}, this);
}

void frmDependency::cmdExit_Click() { close(); }

} // namespace quillor
