#include "fakes.h"

#include <QMessageBox>
#include <QTimer>

#include <stdexcept>

namespace quillor::test {

using platform::MsgAnswer;
using platform::MsgButtons;

MsgAnswer FakeMessageBox::show(QWidget *parent, const QString &text, MsgButtons buttons, const QString &title,
                               platform::MsgIcon)
{
    shown << ShownMessage{text, buttons, title};
    if (modal) {
        QMessageBox box(parent);
        box.setText(text);
        QTimer::singleShot(10, &box, [this, &box] {
            if (whileShown)
                whileShown();
            box.accept();
        });
        box.exec();
    }
    if (!answers.isEmpty())
        return answers.dequeue();
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    default: return MsgAnswer::Ok;
    }
}

QStringList FakeMessageBox::texts() const
{
    QStringList out;
    for (const auto &m : shown)
        out << m.text;
    return out;
}

void FakeShell::openUrl(const QUrl &url, std::function<void(const QString &)> failed)
{
    openedUrls << url;
    if (!openFailure.isEmpty() && failed)
        failed(openFailure);
}

bool FakeShell::startDetached(const QString &program, const QStringList &arguments)
{
    started << (QStringList{program} + arguments);
    return true;
}

void FakeShell::endProcess(int exitCode) { endedWith << exitCode; }

std::optional<QString> FakeFileDialog::getSaveFileName(QWidget *, const QString &title, const QString &directory,
                                                       const QString &fileName, const QString &filter)
{
    titles << title;
    saveRequests << QStringList{directory, fileName, filter};
    return answers.isEmpty() ? std::nullopt : answers.dequeue();
}

std::optional<QString> FakeFileDialog::getOpenFileName(QWidget *, const QString &title, const QString &,
                                                       const QString &)
{
    titles << title;
    return answers.isEmpty() ? std::nullopt : answers.dequeue();
}

std::optional<QString> FakeInputBox::getText(QWidget *, const QString &prompt, const QString &title,
                                             const QString &defaultText)
{
    asked << AskedInput{prompt, title, defaultText};
    return answers.isEmpty() ? std::nullopt : answers.dequeue();
}

void FakeDirectoryService::invoke(int operation, const QString &directoryId, const QList<qint32> &properties,
                                  const QVariantList &values)
{
    calls << DirectoryServiceCall{operation, directoryId, properties, values};
    if (fail)
        throw std::runtime_error("the directory service is not available");
}

double SequenceRandom::next() { return draws.isEmpty() ? 0.0 : draws.dequeue(); }

FakeSeams::FakeSeams()
{
    auto m = std::make_unique<FakeMessageBox>();
    messages = m.get();
    m_prevMessages = platform::Seams::install(std::move(m));
    auto s = std::make_unique<FakeShell>();
    shell = s.get();
    m_prevShell = platform::Seams::install(std::move(s));
    auto c = std::make_unique<FakeClock>();
    clock = c.get();
    m_prevClock = platform::Seams::install(std::move(c));
    auto f = std::make_unique<FakeFileDialog>();
    fileDialog = f.get();
    m_prevFileDialog = platform::Seams::install(std::move(f));
    auto r = std::make_unique<SequenceRandom>();
    random = r.get();
    m_prevRandom = platform::Seams::install(std::move(r));
    auto i = std::make_unique<FakeInputBox>();
    inputBox = i.get();
    m_prevInputBox = platform::Seams::install(std::move(i));
    auto d = std::make_unique<FakeDirectoryService>();
    directoryService = d.get();
    m_prevDirectoryService = platform::Seams::install(std::move(d));
}

FakeSeams::~FakeSeams()
{
    platform::Seams::install(std::move(m_prevMessages));
    platform::Seams::install(std::move(m_prevShell));
    platform::Seams::install(std::move(m_prevClock));
    platform::Seams::install(std::move(m_prevFileDialog));
    platform::Seams::install(std::move(m_prevRandom));
    platform::Seams::install(std::move(m_prevInputBox));
    platform::Seams::install(std::move(m_prevDirectoryService));
}

} // namespace quillor::test
