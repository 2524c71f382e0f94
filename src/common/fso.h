#pragma once
// The program's file operations shared by the windows that write files:
// whether a file exists, and text files that are written whole or not at all.

#include <QSaveFile>
#include <QString>
#include <memory>

namespace quillor {

// A text file being written. Nothing reaches the chosen path before Close():
// the complete new file then replaces any old one in one step, so a failure
// part way leaves the old file as it was. A stream destroyed without Close()
// leaves no trace.
class TextStream {
public:
    explicit TextStream(const QString &path);
    TextStream(const TextStream &) = delete;
    TextStream &operator=(const TextStream &) = delete;

    // Opens the temporary file beside the target; false with errorString().
    bool open();
    // Appends `text` in the system's encoding, unchanged (no line end added).
    // False once any write has failed.
    bool Write(const QString &text);
    // The file itself, for writers that hand it bytes of their own. It is
    // unbuffered, so every write reports what the disk took.
    QIODevice &device() { return m_file; }
    // Completes the file. False with errorString() when it could not be written.
    bool Close();
    QString errorString() const { return m_error.isEmpty() ? m_file.errorString() : m_error; }

private:
    QSaveFile m_file;
    bool m_ok = true;
    QString m_error; // the first failure, kept past the clean-up
};

class FileSystemObject {
public:
    bool FileExists(const QString &path) const;
    // A new text file at `path`, replacing any file there once it is closed;
    // nullptr with `error` set when it cannot be created.
    std::unique_ptr<TextStream> CreateTextFile(const QString &path, QString *error = nullptr) const;
};

// The program-wide instance.
FileSystemObject &gFSO();

// Writes `text` to `path` through gFSO: the whole text or, on failure, nothing
// (any old file stays). False with `error` set.
bool writeWholeTextFile(const QString &path, const QString &text, QString *error);

// Shows why `path` could not be written, in the frame the handler `procedure`
// of the window `form` reports failures in.
void reportWriteFailure(const QString &path, const QString &error, const QString &procedure, const QString &form);

} // namespace quillor
