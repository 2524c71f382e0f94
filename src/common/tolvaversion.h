#pragma once
// The server's version, install folder, stream-file folder and configuration
// values, as the registry and the directory database tell them.

#include "common/appstate.h"

#include <QString>

namespace quillor {

class AppContext;

// The directory database's connection string.
QString directoryConnectionString();

// Reads the version from the newer registry layout, else from the older one.
// Shows "Error retrieving version of product from the registry." when neither
// gives a major version. The record is returned in every case.
TolvaVersionRecord getVersion(AppContext &ctx);

// True when `version` is at or above the given one (major, minor, release, build).
bool bIsVersionGreaterThanOrEqualTo(const TolvaVersionRecord &version, qint16 major, qint16 minor, qint16 release,
                                    qint16 build, qint16 unused = 0);
// Against the running server's version (gVersion).
bool bIsVersionGreaterThanOrEqualTo(const AppContext &ctx, qint16 major, qint16 minor, qint16 release, qint16 build,
                                    qint16 unused = 0);

// The server's install folder, ending in "\".
QString strGetInstallPath(AppContext &ctx);
// The folder of the server's stream (greeting) files; "" when unknown, and
// then `whyUnknown` (when given) says why, as the end of a sentence.
QString strGetStreamFilesPath(AppContext &ctx, QString *whyUnknown = nullptr);
// One value of the directory database's configuration; "" when none. A read
// that failed is logged, and `failure` (when given) holds its error.
QString strPullConfigurationString(AppContext &ctx, const QString &fullName, QString *failure = nullptr);

// A folder named by the server (backslashes, possibly with a drive letter) as
// a path of this machine.
QString serverPathToLocal(const QString &serverPath);

} // namespace quillor
