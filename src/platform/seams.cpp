#include "platform/seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillor::platform {

namespace {

class QtMessageBox final : public MessageBoxSeam {
public:
    MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons, const QString &title,
                   MsgIcon icon) override
    {
        // On the heap, watched: a parent deleted while the box is open takes the
        // box with it, which a box on the stack would not survive.
        QPointer<QMessageBox> box = new QMessageBox(parent);
        const auto cleanup = qScopeGuard([&box] { delete box.data(); });
        box->setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
        box->setText(text);
        switch (icon) {
        case MsgIcon::None: box->setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
        case MsgIcon::Warning: box->setIcon(QMessageBox::Warning); break;
        case MsgIcon::Critical: box->setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box->setIcon(QMessageBox::Question); break;
        }
        QMessageBox::StandardButtons set;
        QMessageBox::StandardButton escape = QMessageBox::NoButton;
        switch (buttons) {
        case MsgButtons::Ok: set = QMessageBox::Ok; escape = QMessageBox::Ok; break;
        case MsgButtons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
        case MsgButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::No; break;
        case MsgButtons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MsgButtons::RetryCancel: set = QMessageBox::Retry | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
        }
        box->setStandardButtons(set);
        // Closing the box with its close button or Escape counts as the cautious answer,
        // and so does a box gone with its parent.
        box->setEscapeButton(escape);
        const int answer = box->exec();
        switch (box ? answer : int(escape)) {
        case QMessageBox::Ok: return MsgAnswer::Ok;
        case QMessageBox::Yes: return MsgAnswer::Yes;
        case QMessageBox::No: return MsgAnswer::No;
        case QMessageBox::Retry: return MsgAnswer::Retry;
        default: break;
        }
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        if (buttons == MsgButtons::YesNo)
            return MsgAnswer::No;
        return MsgAnswer::Cancel;
    }
};

class QtFileDialog final : public FileDialogSeam {
public:
    std::optional<QString> getSaveFileName(QWidget *parent, const QString &title, const QString &directory,
                                           const QString &fileName, const QString &filter) override
    {
        const QString start = fileName.isEmpty() ? directory : directory + u'/' + fileName;
        // The callers ask before replacing a file themselves.
        const QString chosen = QFileDialog::getSaveFileName(parent, title, start, filter, nullptr,
                                                            QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }
    std::optional<QString> getOpenFileName(QWidget *parent, const QString &title, const QString &directory,
                                           const QString &filter) override
    {
        const QString chosen = QFileDialog::getOpenFileName(parent, title, directory, filter);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }
};

// What the opener is given: a local file or folder as its path, a web address as sent.
QString openerArgument(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
}

QString notStarted()
{
    return QStringLiteral("the desktop's opener xdg-open could not be started (it comes with the package xdg-utils)");
}

// What xdg-open's documented exit statuses mean for the file or page it was given.
QString openerFailure(int exitStatus)
{
    switch (exitStatus) {
    case 1: return QStringLiteral("xdg-open did not take the request (exit status 1)");
    case 2: return QStringLiteral("it does not exist (xdg-open, exit status 2)");
    case 3: return QStringLiteral("no program to open it was found (xdg-open, exit status 3)");
    case 4: return QStringLiteral("the program that was to open it failed (xdg-open, exit status 4)");
    default: return QStringLiteral("xdg-open ended with exit status %1").arg(exitStatus);
    }
}

class DesktopShell final : public ShellSeam {
public:
    // The opener is run as a child rather than detached, so that its exit
    // status tells whether anything showed the file or page; it is not waited
    // for, since it lasts as long as the viewer it started when the desktop
    // has no opener service of its own.
    void openUrl(const QUrl &url, std::function<void(const QString &)> failed) override
    {
        const auto fail = [failed](const QString &reason) {
            if (failed)
                failed(reason);
        };
        // Owned by the application: the window that asked may be gone when it ends.
        auto *opener = new QProcess(QCoreApplication::instance());
        // Whatever the opener or its viewer print goes where the program's own output goes.
        opener->setProcessChannelMode(QProcess::ForwardedChannels);
        opener->setStandardInputFile(QProcess::nullDevice());
        QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, fail](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return; // a crash is reported by finished()
            fail(notStarted());
            opener->deleteLater();
        });
        QObject::connect(opener, &QProcess::finished, opener, [opener, fail](int exitCode, QProcess::ExitStatus status) {
            if (status == QProcess::CrashExit)
                fail(QStringLiteral("xdg-open ended abnormally"));
            else if (exitCode != 0)
                fail(openerFailure(exitCode));
            opener->deleteLater();
        });
        opener->start(QStringLiteral("xdg-open"), {openerArgument(url)});
    }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
    void endProcess(int exitCode) override
    {
        std::fflush(nullptr);
        std::exit(exitCode);
    }
};

class SystemClock final : public ClockSeam {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class QtInputBox final : public InputBoxSeam {
public:
    std::optional<QString> getText(QWidget *parent, const QString &prompt, const QString &title,
                                   const QString &defaultText) override
    {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
        dialog.setLabelText(prompt);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(defaultText);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }
};

class SystemRandom final : public RandomSeam {
public:
    double next() override { return m_generator.generateDouble(); }

private:
    // A fixed seed: the program's generator is never seeded from the time or
    // the system, so each run draws the same sequence.
    QRandomGenerator m_generator{1u};
};

// No directory-service component runs beside this program: the call is taken and nothing happens.
class AbsentDirectoryService final : public DirectoryServiceSeam {
public:
    void invoke(int, const QString &, const QList<qint32> &, const QVariantList &) override {}
};

template <typename T> std::unique_ptr<T> &slot();
template <> std::unique_ptr<MessageBoxSeam> &slot()
{
    static std::unique_ptr<MessageBoxSeam> s = std::make_unique<QtMessageBox>();
    return s;
}
template <> std::unique_ptr<FileDialogSeam> &slot()
{
    static std::unique_ptr<FileDialogSeam> s = std::make_unique<QtFileDialog>();
    return s;
}
template <> std::unique_ptr<ShellSeam> &slot()
{
    static std::unique_ptr<ShellSeam> s = std::make_unique<DesktopShell>();
    return s;
}
template <> std::unique_ptr<ClockSeam> &slot()
{
    static std::unique_ptr<ClockSeam> s = std::make_unique<SystemClock>();
    return s;
}
template <> std::unique_ptr<RandomSeam> &slot()
{
    static std::unique_ptr<RandomSeam> s = unseededRandom();
    return s;
}

template <> std::unique_ptr<InputBoxSeam> &slot()
{
    static std::unique_ptr<InputBoxSeam> s = std::make_unique<QtInputBox>();
    return s;
}

template <> std::unique_ptr<DirectoryServiceSeam> &slot()
{
    static std::unique_ptr<DirectoryServiceSeam> s = std::make_unique<AbsentDirectoryService>();
    return s;
}

template <typename T> std::unique_ptr<T> swapIn(std::unique_ptr<T> seam)
{
    Q_ASSERT(seam);
    std::unique_ptr<T> previous = std::move(slot<T>());
    slot<T>() = std::move(seam);
    return previous;
}

} // namespace

int RandomSeam::bounded(int highExclusive)
{
    const double draw = next();
    if (highExclusive <= 0)
        return 0;
    // A draw just below 1 must not round up to the range's end.
    return std::min(int(std::floor(draw * highExclusive)), highExclusive - 1);
}

std::unique_ptr<RandomSeam> unseededRandom() { return std::make_unique<SystemRandom>(); }

void openOnDesktop(const QUrl &url, const QString &what, QWidget *parent)
{
    const QString target = openerArgument(url);
    // The answer may come after the window that asked has gone.
    QPointer<QWidget> owner(parent);
    Seams::shell().openUrl(url, [what, target, owner](const QString &reason) {
        msgBox(QStringLiteral("%1 %2 could not be opened: %3.").arg(what, target, reason), MsgButtons::Ok, {},
               owner.data());
    });
}

MessageBoxSeam &Seams::messageBox() { return *slot<MessageBoxSeam>(); }
FileDialogSeam &Seams::fileDialog() { return *slot<FileDialogSeam>(); }
ShellSeam &Seams::shell() { return *slot<ShellSeam>(); }
ClockSeam &Seams::clock() { return *slot<ClockSeam>(); }
RandomSeam &Seams::random() { return *slot<RandomSeam>(); }
InputBoxSeam &Seams::inputBox() { return *slot<InputBoxSeam>(); }
DirectoryServiceSeam &Seams::directoryService() { return *slot<DirectoryServiceSeam>(); }

std::unique_ptr<MessageBoxSeam> Seams::install(std::unique_ptr<MessageBoxSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<FileDialogSeam> Seams::install(std::unique_ptr<FileDialogSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<ShellSeam> Seams::install(std::unique_ptr<ShellSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<ClockSeam> Seams::install(std::unique_ptr<ClockSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<RandomSeam> Seams::install(std::unique_ptr<RandomSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<InputBoxSeam> Seams::install(std::unique_ptr<InputBoxSeam> seam) { return swapIn(std::move(seam)); }
std::unique_ptr<DirectoryServiceSeam> Seams::install(std::unique_ptr<DirectoryServiceSeam> seam)
{
    return swapIn(std::move(seam));
}

class OnceOnlyMessages::Filter final : public MessageBoxSeam {
public:
    explicit Filter(std::function<void(const QString &)> record) : m_record(std::move(record)) {}
    MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons, const QString &title,
                   MsgIcon icon) override
    {
        if (m_record)
            m_record(text);
        if (buttons == MsgButtons::Ok && m_shown.contains(text))
            return MsgAnswer::Ok;
        m_shown.insert(text);
        return m_inner->show(parent, text, buttons, title, icon);
    }
    MessageBoxSeam *m_inner = nullptr;

private:
    std::function<void(const QString &)> m_record;
    QSet<QString> m_shown;
};

OnceOnlyMessages::OnceOnlyMessages(std::function<void(const QString &)> record)
{
    auto filter = std::make_unique<Filter>(std::move(record));
    Filter *installed = filter.get();
    m_previous = Seams::install(std::move(filter));
    installed->m_inner = m_previous.get();
}

OnceOnlyMessages::~OnceOnlyMessages() { Seams::install(std::move(m_previous)); }

} // namespace quillor::platform
