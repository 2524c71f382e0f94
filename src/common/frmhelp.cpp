#include "common/frmhelp.h"

#include "platform/apppaths.h"
#include "platform/seams.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace quillor {

namespace {
// The window's smallest size, 2500 x 2400 twips at 15 twips a pixel.
constexpr int kMinWidth = 167;
constexpr int kMinHeight = 160;
} // namespace

frmHelp::frmHelp(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Quillor Help"));
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(760, 620);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(7, 0, 7, 7);
    m_browserHelp = new QTextBrowser(this);
    m_browserHelp->setObjectName(QStringLiteral("browserHelp"));
    // Links are followed here so that web addresses go to the user's browser.
    m_browserHelp->setOpenLinks(false);
    connect(m_browserHelp, &QTextBrowser::anchorClicked, this, &frmHelp::browserHelp_AnchorClicked);
    layout->addWidget(m_browserHelp);

    Form_Load();
}

QString frmHelp::helpPagePath() { return QDir(platform::AppPaths::programFolder()).filePath(QStringLiteral("Quillor.htm")); }

void frmHelp::Form_Load()
{
    const QString page = helpPagePath();
    if (!QFileInfo(page).isFile()) {
        m_browserHelp->setHtml(QStringLiteral("<p>The help page %1 is missing. It is installed beside the program.</p>")
                                   .arg(page.toHtmlEscaped()));
        return;
    }
    m_browserHelp->setSource(QUrl::fromLocalFile(page));
}

void frmHelp::browserHelp_AnchorClicked(const QUrl &url)
{
    const QUrl target = m_browserHelp->source().resolved(url);
    if (target.isLocalFile())
        m_browserHelp->setSource(target);
    else
        platform::openOnDesktop(target, QStringLiteral("The page"), this);
}

} // namespace quillor
