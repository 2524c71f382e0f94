#pragma once
// Stand-ins for the platform seams: they record what the program asked and
// answer from a script, so no test ever blocks on a modal box.

#include "platform/seams.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace quillor::test {

struct ShownMessage {
    QString text;
    platform::MsgButtons buttons;
    QString title;
};

class FakeMessageBox : public platform::MessageBoxSeam {
public:
    platform::MsgAnswer show(QWidget *, const QString &text, platform::MsgButtons buttons, const QString &title,
                             platform::MsgIcon) override;
    QList<ShownMessage> shown;
    QQueue<platform::MsgAnswer> answers; // next answers; when empty: OK / Yes
    QStringList texts() const;
    // With `modal` each message is also shown in a real modal message box,
    // which a timer closes after running `whileShown` (the user letting go of
    // the mouse meanwhile); the window under it is left inactive, as on a
    // display without a window manager.
    bool modal = false;
    std::function<void()> whileShown;
};

class FakeShell : public platform::ShellSeam {
public:
    void openUrl(const QUrl &url, std::function<void(const QString &)> failed) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    void endProcess(int exitCode) override;
    QList<QUrl> openedUrls;
    QString openFailure; // when set, every URL fails with this reason
    QList<QStringList> started; // program followed by its arguments
    QList<int> endedWith;
};

class FakeClock : public platform::ClockSeam {
public:
    QDateTime now() const override { return current.isValid() ? current : QDateTime::currentDateTime(); }
    QDateTime current;
};

class FakeFileDialog : public platform::FileDialogSeam {
public:
    std::optional<QString> getSaveFileName(QWidget *, const QString &title, const QString &directory,
                                           const QString &fileName, const QString &filter) override;
    std::optional<QString> getOpenFileName(QWidget *, const QString &title, const QString &directory,
                                           const QString &filter) override;
    QQueue<std::optional<QString>> answers; // empty: cancel
    QStringList titles;
    // What each save dialog was opened with: start folder, file name and filter.
    QList<QStringList> saveRequests;
};

struct AskedInput {
    QString prompt;
    QString title;
    QString defaultText;
};

class FakeInputBox : public platform::InputBoxSeam {
public:
    std::optional<QString> getText(QWidget *, const QString &prompt, const QString &title,
                                   const QString &defaultText) override;
    QList<AskedInput> asked;
    QQueue<std::optional<QString>> answers; // next answers; when empty: cancel
};

class SequenceRandom : public platform::RandomSeam {
public:
    double next() override;
    // Queues the draw that bounded(range) turns into `value`.
    void queueWhole(int value, int range) { draws.enqueue((value + 0.5) / range); }
    QQueue<double> draws; // next draws, each in [0, 1); empty: 0
};

// One call of the directory-service component.
struct DirectoryServiceCall {
    int operation;
    QString directoryId;
    QList<qint32> properties;
    QVariantList values;
};

class FakeDirectoryService : public platform::DirectoryServiceSeam {
public:
    void invoke(int operation, const QString &directoryId, const QList<qint32> &properties,
                const QVariantList &values) override;
    QList<DirectoryServiceCall> calls;
    bool fail = false; // throws, as a component that is missing or fails would
};

// Installs every fake for the life of one test and puts the previous seams back.
class FakeSeams {
public:
    FakeSeams();
    ~FakeSeams();
    FakeSeams(const FakeSeams &) = delete;
    FakeSeams &operator=(const FakeSeams &) = delete;

    FakeMessageBox *messages;
    FakeShell *shell;
    FakeClock *clock;
    FakeFileDialog *fileDialog;
    SequenceRandom *random;
    FakeInputBox *inputBox;
    FakeDirectoryService *directoryService;

private:
    std::unique_ptr<platform::MessageBoxSeam> m_prevMessages;
    std::unique_ptr<platform::ShellSeam> m_prevShell;
    std::unique_ptr<platform::ClockSeam> m_prevClock;
    std::unique_ptr<platform::FileDialogSeam> m_prevFileDialog;
    std::unique_ptr<platform::RandomSeam> m_prevRandom;
    std::unique_ptr<platform::InputBoxSeam> m_prevInputBox;
    std::unique_ptr<platform::DirectoryServiceSeam> m_prevDirectoryService;
};

} // namespace quillor::test
