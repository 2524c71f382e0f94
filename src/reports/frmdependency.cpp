#include "reports/frmdependency.h"

#include "common/fso.h"
#include "platform/seams.h"
#include "reports/dependencyreport.h"
#include "reports/toolwindow.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMutex>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QVBoxLayout>
#include <QWaitCondition>

#include <memory>

namespace quillor {

using platform::MsgAnswer;
using platform::MsgButtons;

namespace {

// The box keeps its lines with the platform's line ends; reportText() puts CR LF back.
QString boxLines(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// A text box takes a hundred thousand lines more slowly than the report's
// queries run: the lines go into a document in a thread of their own while
// the rest of the report is read, and the box takes the document whole.
class DocumentFiller {
public:
    // A document set up as `like`, the box's own.
    explicit DocumentFiller(const QTextDocument &like) : m_owner(QThread::currentThread())
    {
        m_thread.reset(QThread::create([this, font = like.defaultFont(), option = like.defaultTextOption()] {
            fill(font, option);
        }));
        m_thread->start();
    }
    ~DocumentFiller() { finish(); }
    DocumentFiller(const DocumentFiller &) = delete;
    DocumentFiller &operator=(const DocumentFiller &) = delete;

    void append(QString text)
    {
        const QMutexLocker lock(&m_mutex);
        m_waiting << std::move(text);
        m_more.wakeOne();
    }
    // The document of everything appended, once it is in, of the calling thread.
    std::unique_ptr<QTextDocument> finish()
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_closed = true;
            m_more.wakeOne();
        }
        m_thread->wait();
        return std::move(m_document);
    }

private:
    void fill(const QFont &font, const QTextOption &option)
    {
        auto document = std::make_unique<QTextDocument>();
        document->setDefaultFont(font);
        document->setDefaultTextOption(option);
        // As the box takes a whole new text: nothing to undo.
        document->setUndoRedoEnabled(false);
        {
            QTextCursor end(document.get());
            for (;;) {
                QString text;
                {
                    const QMutexLocker lock(&m_mutex);
                    while (m_waiting.isEmpty() && !m_closed)
                        m_more.wait(&m_mutex);
                    if (m_waiting.isEmpty())
                        break;
                    // All that came meanwhile in one go: each insertion has a cost of its own.
                    text = m_waiting.join(QString());
                    m_waiting.clear();
                }
                end.insertText(text);
            }
        }
        document->setUndoRedoEnabled(true);
        document->setModified(false);
        document->moveToThread(m_owner);
        m_document = std::move(document);
    }

    QThread *m_owner;
    std::unique_ptr<QThread> m_thread;
    QMutex m_mutex;
    QWaitCondition m_more;
    QStringList m_waiting;
    bool m_closed = false;
    std::unique_ptr<QTextDocument> m_document;
};

} // namespace

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
    DocumentFiller filler(*txtOutput->document());
    const DependencyReport report =
        makeDependencyReport(m_ctx, iObjectType, strObjectID,
                             [&filler](QString lines) { filler.append(boxLines(std::move(lines))); });
    std::unique_ptr<QTextDocument> filled = filler.finish();
    strTargetAlias = report.targetAlias;
    if (!report.made) {
        txtOutput->setPlainText(boxLines(report.text));
        return;
    }
    filled->setDocumentLayout(new QPlainTextDocumentLayout(filled.get()));
    filled->setParent(txtOutput);
    // The box ends its own first document; the later ones are the window's.
    const QPointer<QTextDocument> previous = txtOutput->document();
    txtOutput->setDocument(filled.release());
    if (previous && previous->parent() == txtOutput)
        delete previous;
}

QString frmDependency::reportText() const
{
    // The box's own characters: toPlainText() would turn a non-breaking space
    // into a blank and a line separator inside a name into a line end. Only
    // the breaks between the box's lines become CR LF.
    return txtOutput->document()->toRawText().replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
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
