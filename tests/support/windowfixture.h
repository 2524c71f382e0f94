#pragma once
// The real main window on a fresh sample server, brought up as at start-up
// and shown offscreen, for the tests that drive its widgets.

#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "testserver.h"

#include <QTabWidget>
#include <QTest>
#include <memory>

namespace quillor::test {

struct MainWindowFixture {
    std::unique_ptr<FakeSeams> seams;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<frmMain> window;

    // False when the server or the window could not be brought up.
    bool start()
    {
        seams = std::make_unique<FakeSeams>();
        server = std::make_unique<TestServer>();
        if (!server->ok())
            return false;
        window = std::make_unique<frmMain>(server->ctx());
        if (!window->Form_Load())
            return false;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    void stop()
    {
        window.reset();
        server.reset();
        seams.reset();
    }
};

// The captions of the pages a tab control shows.
inline QStringList visiblePages(const QTabWidget *tabs)
{
    QStringList pages;
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            pages << tabs->tabText(i);
    return pages;
}

} // namespace quillor::test
