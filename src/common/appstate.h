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
    // Whether the owner and recipient popup writes the owner (true) or the
    // message recipient (false): set by the button that opened it.
    bool bChangeOwner = false;
    // The server's default telephone language code, read at start-up.
    QString gTUILanguageDefault;
    // The routing slot the action popup was last opened on: iActionTarget 1
    // one-key entry, 2 after message, 3 after greeting, 4 subscriber exit;
    // iNameLookupHandlerChangeType the name lookup exit, 1 Zero, 2 Exit,
    // 3 NoInput, 4 NoSelection. Set by the openers, never reset.
    qint16 iActionTarget = 0;
    qint16 iNameLookupHandlerChangeType = 0;
};

} // namespace quillor
