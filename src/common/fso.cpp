#include "common/fso.h"

#include "common/errors.h"

#include <QDir>
#include <QFileInfo>

namespace quillor {

TextStream::TextStream(const QString &path) : m_file(path) {}

bool TextStream::open()
{
    // Unbuffered: a buffered file's last flush at commit can lose a short write without a word.
    m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return m_ok;
}

bool TextStream::Write(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    // A disk filling up may take part of a write; the rest is offered again
    // until it is all taken or the device fails and says why.
    for (qsizetype done = 0; m_ok && done < bytes.size();) {
        const qint64 n = m_file.write(bytes.constData() + done, bytes.size() - done);
        m_ok = n > 0;
        done += qsizetype(n);
    }
    if (!m_ok && m_error.isEmpty())
        m_error = m_file.errorString();
    return m_ok;
}

bool TextStream::Close()
{
    if (!m_ok) {
        // Nothing of a failed file reaches the target.
        m_file.cancelWriting();
        m_file.commit();
        return false;
    }
    if (m_file.commit())
        return true;
    m_error = m_file.errorString();
    return false;
}

bool FileSystemObject::FileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

std::unique_ptr<TextStream> FileSystemObject::CreateTextFile(const QString &path, QString *error) const
{
    auto stream = std::make_unique<TextStream>(path);
    if (!stream->open()) {
        if (error)
            *error = stream->errorString();
        return nullptr;
    }
    return stream;
}

FileSystemObject &gFSO()
{
    static FileSystemObject fso;
    return fso;
}

bool writeWholeTextFile(const QString &path, const QString &text, QString *error)
{
    std::unique_ptr<TextStream> file = gFSO().CreateTextFile(path, error);
    if (!file)
        return false;
    if (file->Write(text) && file->Close())
        return true;
    if (error)
        *error = file->errorString();
    return false;
}

void reportWriteFailure(const QString &path, const QString &error, const QString &procedure, const QString &form)
{
    // 75: path or file access error.
    reportError(75, QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), error), procedure,
                QStringLiteral("Form"), form);
}

} // namespace quillor
