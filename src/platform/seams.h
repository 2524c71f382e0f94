#pragma once
// Every place where the program asks the user something, touches the desktop,
// reads the clock or draws a random number goes through one of these seams, so
// that tests can see and answer every message and never block on a modal box.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QSet>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quillor::platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Critical, Question };
// Numbered as the answers of the original message box, so callers can compare.
enum class MsgAnswer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

class MessageBoxSeam {
public:
    virtual ~MessageBoxSeam() = default;
    // An empty title shows the program's name.
    virtual MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                           const QString &title = {}, MsgIcon icon = MsgIcon::None) = 0;
};

class FileDialogSeam {
public:
    virtual ~FileDialogSeam() = default;
    // nullopt when the user cancels.
    virtual std::optional<QString> getSaveFileName(QWidget *parent, const QString &title, const QString &directory,
                                                   const QString &fileName, const QString &filter) = 0;
    virtual std::optional<QString> getOpenFileName(QWidget *parent, const QString &title, const QString &directory,
                                                   const QString &filter) = 0;
};

class ShellSeam {
public:
    virtual ~ShellSeam() = default;
    // Hands `url` (a web address, or a local file or folder) to the desktop's
    // opener and returns at once. When the opener cannot be started, or ends
    // saying it could not open the URL, `failed` is called with the reason, a
    // phrase to follow a colon; that may happen later, from the event loop,
    // since the opener may run as long as the program it started.
    virtual void openUrl(const QUrl &url, std::function<void(const QString &reason)> failed = {}) = 0;
    // Starts a program without waiting for it.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
    // Ends the program at once (the log file is written unbuffered, so nothing is lost).
    virtual void endProcess(int exitCode) = 0;
};

class ClockSeam {
public:
    virtual ~ClockSeam() = default;
    virtual QDateTime now() const = 0; // local time
};

class InputBoxSeam {
public:
    virtual ~InputBoxSeam() = default;
    // A one-line question with OK and Cancel. nullopt when the user cancels
    // (Cancel, Escape or the close box). An empty title shows the program's name.
    virtual std::optional<QString> getText(QWidget *parent, const QString &prompt, const QString &title,
                                           const QString &defaultText) = 0;
};

// The process-wide pseudo-random generator. The program never seeds it from
// anything that changes between runs, so every run draws the same sequence.
class RandomSeam {
public:
    virtual ~RandomSeam() = default;
    // The next draw, uniform in [0, 1).
    virtual double next() = 0;
    // A whole number from 0 to highExclusive - 1: the next draw times
    // highExclusive, rounded down (0 for a range that holds nothing).
    int bounded(int highExclusive);
};

// A generator as the program starts with it: the same sequence in every run.
std::unique_ptr<RandomSeam> unseededRandom();

// The server's directory-service component. The program tells it of each
// scope distribution list it makes for a name lookup handler's search scope
// and relies on no result or effect of the call: a failure, a missing
// component included, is passed over. By default nothing answers.
class DirectoryServiceSeam {
public:
    virtual ~DirectoryServiceSeam() = default;
    // One operation on the directory entry `directoryId`: `properties` are the
    // property codes it concerns and `values` their values, in the same order.
    virtual void invoke(int operation, const QString &directoryId, const QList<qint32> &properties,
                        const QVariantList &values) = 0;
};

// The process-wide set of seams. Production code reads them through the
// accessors; tests replace one or more with install().
class Seams {
public:
    static MessageBoxSeam &messageBox();
    static FileDialogSeam &fileDialog();
    static ShellSeam &shell();
    static ClockSeam &clock();
    static RandomSeam &random();
    static InputBoxSeam &inputBox();
    static DirectoryServiceSeam &directoryService();

    // Each install replaces the current seam and returns the previous one.
    static std::unique_ptr<MessageBoxSeam> install(std::unique_ptr<MessageBoxSeam> seam);
    static std::unique_ptr<FileDialogSeam> install(std::unique_ptr<FileDialogSeam> seam);
    static std::unique_ptr<ShellSeam> install(std::unique_ptr<ShellSeam> seam);
    static std::unique_ptr<ClockSeam> install(std::unique_ptr<ClockSeam> seam);
    static std::unique_ptr<RandomSeam> install(std::unique_ptr<RandomSeam> seam);
    static std::unique_ptr<InputBoxSeam> install(std::unique_ptr<InputBoxSeam> seam);
    static std::unique_ptr<DirectoryServiceSeam> install(std::unique_ptr<DirectoryServiceSeam> seam);
};

// For bulk work that may meet the same fault many times: while it lives, a
// message with only an OK button is shown the first time its text comes up
// and not again; `record` hears of every one, shown or not. Questions are
// always asked.
class OnceOnlyMessages {
public:
    explicit OnceOnlyMessages(std::function<void(const QString &)> record = {});
    ~OnceOnlyMessages();
    OnceOnlyMessages(const OnceOnlyMessages &) = delete;
    OnceOnlyMessages &operator=(const OnceOnlyMessages &) = delete;

private:
    class Filter;
    std::unique_ptr<MessageBoxSeam> m_previous;
};

// Opens `url` on the desktop; when that fails, one message says that `what`
// ("The log file") could not be opened, naming the path or address and why.
void openOnDesktop(const QUrl &url, const QString &what, QWidget *parent = nullptr);

// Shorthand for the common case of an information box with an OK button.
inline MsgAnswer msgBox(const QString &text, MsgButtons buttons = MsgButtons::Ok, const QString &title = {},
                        QWidget *parent = nullptr)
{
    return Seams::messageBox().show(parent, text, buttons, title);
}

// Asks for one line of text; the answer, or "" when the user cancels (callers
// that must tell a cancel from an empty answer use Seams::inputBox()).
inline QString inputBox(const QString &prompt, const QString &title = {}, const QString &defaultText = {},
                        QWidget *parent = nullptr)
{
    return Seams::inputBox().getText(parent, prompt, title, defaultText).value_or(QString());
}

} // namespace quillor::platform
