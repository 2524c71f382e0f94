#pragma once
// The shared state of the running program, kept under the names the rest of
// the code knows it by. One instance lives in the AppContext.

#include <QString>
#include <QtGlobal>

namespace quillor {

// The server version record, read once at start-up.
struct TolvaVersionRecord {
    bool bNewRegistryLayout = false;
    qint16 Major = 0; // 0: not loaded or not found
    qint16 Minor = 0;
    qint16 Release = 0;
    qint16 Build = 0;
    QString Text;     // Major "." Minor "(" Release "." Build ")"
};

struct AppState {
    QString gConnectionString;
    TolvaVersionRecord gVersion;
    // Raised while the start-up or a tab load fills controls: change handlers write nothing then.
    bool bLoadingControls = false;
    // Raised while tab loads must not run (expand all, tree refresh after an action change).
    bool bSuppressTabLoad = false;
    // The server's default telephone language code, read at start-up.
    QString gTUILanguageDefault;
};

} // namespace quillor
