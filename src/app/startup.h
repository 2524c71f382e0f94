#pragma once
#include <QString>
#include <QStringList>

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
// asked, then loads the server profile. Every failure is shown with a message
// that names the file; the context is then left with an empty profile, so the
// start-up goes on as for a server whose keys are absent.
void prepareContext(AppContext &ctx, ProfileChoice choice, const QString &demoFolder);

// The whole program: parses the command line, loads the server profile, opens
// the main window and runs the event loop.
int runApplication(int argc, char *argv[]);

} // namespace quillor
