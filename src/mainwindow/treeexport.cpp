#include "mainwindow/treeexport.h"

#include "common/formatting.h"
#include "common/fso.h"
#include "platform/busycursor.h"
#include "platform/outlinemodel.h"
#include "platform/seams.h"

#include <QDir>

#include <vector>

namespace quillor {

using platform::OutlineModel;
using platform::OutlineNode;

namespace {

constexpr int kIndent = 6;
constexpr qsizetype kChunk = 64 * 1024;

// Collects encoded lines and hands them to the device in large pieces.
class LineWriter {
public:
    explicit LineWriter(QIODevice &out) : m_out(out) {}
    void line(const QString &text)
    {
        m_buffer += (text + QStringLiteral("\r\n")).toLocal8Bit();
        if (m_buffer.size() >= kChunk)
            flush();
    }
    bool flush()
    {
        // A device may take part of a piece (a disk filling up); the rest is
        // offered again until it takes all or fails and says why.
        for (qsizetype done = 0; m_ok && done < m_buffer.size();) {
            const qint64 n = m_out.write(m_buffer.constData() + done, m_buffer.size() - done);
            m_ok = n > 0;
            done += qsizetype(n);
        }
        m_buffer.clear();
        return m_ok;
    }

private:
    QIODevice &m_out;
    QByteArray m_buffer;
    bool m_ok = true;
};

// One node's line and, when it is open, its children's subtrees. The depth is
// kept on an explicit stack: routing can nest deeper than the call stack would go.
void ExportTreeNode(const OutlineModel &tree, const OutlineNode *top, LineWriter &out)
{
    std::vector<std::pair<const OutlineNode *, int>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        const bool hasChildren = node->childCount() > 0;
        const bool open = node->isExpanded();
        const QString text = tree.mainText(node);
        if (!open && hasChildren)
            out.line(QString(kIndent * depth - (depth > 0 ? 1 : 0), u' ') + u'+' + text);
        else
            out.line(QString(kIndent * depth, u' ') + text);
        if (open && hasChildren) {
            // Last child first, so that the first is written next.
            for (int i = node->childCount() - 1; i >= 0; --i)
                pending.emplace_back(node->child(i), depth + 1);
        }
    }
}

} // namespace

bool WriteTreeExport(const OutlineModel &ATTree, QIODevice &out, const QDateTime &now)
{
    LineWriter writer(out);
    writer.line(QStringLiteral("Export of Call Routing Tree on: ") + generalDateTime(now));
    writer.line(QString());
    // An empty tree (its root's subscriber was not found) has nothing more to write.
    if (const OutlineNode *root = ATTree.root())
        ExportTreeNode(ATTree, root, writer);
    return writer.flush();
}

bool WriteTreeExportFile(const OutlineModel &ATTree, const QString &path, const QDateTime &now, QString *error)
{
    std::unique_ptr<TextStream> file = gFSO().CreateTextFile(path, error);
    if (!file)
        return false;
    if (WriteTreeExport(ATTree, file->device(), now) && file->Close())
        return true;
    // A stream left unclosed leaves no trace: the old file stays as it was.
    if (error)
        *error = file->errorString();
    return false;
}

void ExportTreeInfo(const OutlineModel &ATTree, QWidget *parent)
{
    using platform::MsgAnswer;
    using platform::MsgButtons;
    const std::optional<QString> chosen = platform::Seams::fileDialog().getSaveFileName(
        parent, QStringLiteral("Select Export Tree File Name"), QDir::homePath(), QStringLiteral("CallRoutingTree.TXT"),
        QStringLiteral("Text File (*.txt)"));
    if (!chosen)
        return;
    const QString path = *chosen;
    if (path.size() < 5) {
        platform::msgBox(QStringLiteral("Invalid text file name.  Please choose a valid file name."), MsgButtons::Ok, {},
                         parent);
        return;
    }
    if (gFSO().FileExists(path)
        && platform::msgBox(QStringLiteral("Overwrite ") + path + u'?', MsgButtons::OkCancel,
                            QStringLiteral("Overwrite File?"), parent)
               != MsgAnswer::Ok)
        return;
    // The old file stays until the new one is complete; a failure is never reported as done.
    QString error;
    bool written = false;
    {
        platform::BusyCursor busy;
        written = WriteTreeExportFile(ATTree, path, platform::Seams::clock().now(), &error);
    }
    if (!written) {
        reportWriteFailure(path, error, QStringLiteral("mnuExportTreeInfo_Click"), QStringLiteral("frmMain"));
        return;
    }
    platform::msgBox(QStringLiteral("Output complete."), MsgButtons::Ok, {}, parent);
}

} // namespace quillor
