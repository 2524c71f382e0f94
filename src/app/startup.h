#pragma once
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QLockFile;

namespace quillor {

// Which server profile a run uses: --demo makes a fresh sample server in the
// user's data folder; otherwise --registry FILE, else $TOLVA_REGISTRY.
struct ProfileChoice {
    bool demo = false;
    QString registryFile; // "" when none was given
};

ProfileChoice chooseProfile(const QStringList &arguments, const QString &environmentRegistry);

class AppContext;

// Makes the context ready for the main window: builds the demo server when
// asked, loads the server profile and makes sure its main database answers.
// False when the program cannot start: one message has then said why (the
// profile file, the missing key or the database location, and the reason),
// and the program ends without opening its window.
// A demo first locks `demoFolder` (a lock file in it) and ends at once, with
// one message, while another demo holds it. The lock goes to `demoLock`, for
// the caller to hold as long as the demo runs; without it the lock is held
// only while the sample is made.
// The message goes to stderr, and to a message box unless `boxes` is false
// (nobody could answer one).
bool prepareContext(AppContext &ctx, ProfileChoice choice, const QString &demoFolder,
                    std::unique_ptr<QLockFile> *demoLock = nullptr, bool boxes = true);

// Why the program cannot open its window, in one line that ends with how to
// start it over SSH or on a virtual display, naming the program as it was
// started (`arguments[0]`); "" when it can. Where no platform is named
// (QT_QPA_PLATFORM, -platform) and WAYLAND_DISPLAY is not set, that is: no
// DISPLAY, a local X display that nothing serves, or an X display (DISPLAY,
// or -display) that does not take the program as a client. The display is
// connected to as Qt's X platform connects, since Qt aborts where it cannot.
// `environment` reads one variable. A connection the display took goes to
// `connection` when given, for the caller to hold until Qt has made its own
// (an X server resets when its last client leaves); else it is closed.
QString displayProblem(const QStringList &arguments, const std::function<QString(const char *)> &environment,
                       std::shared_ptr<void> *connection = nullptr);

// Why a loaded server profile cannot serve a run ("" when it can): it names
// no main database, or that database does not answer.
QString serverProfileProblem(AppContext &ctx, const QString &profileFile);

// The whole program: parses the command line, loads the server profile, opens
// the main window and runs the event loop.
int runApplication(int argc, char *argv[]);

} // namespace quillor
