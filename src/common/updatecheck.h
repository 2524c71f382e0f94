#pragma once
// Whether a newer version of the program is published on the maker's tools
// site. At start-up the check is handed to the update script beside the
// program, which runs on its own; from the Help menu it runs here: the site's
// download list is read, the versions compared and the home page offered.

#include <QString>

class QWidget;

namespace quillor {

class LogFile;

namespace modUpdateCheck {

// How long the foreground check waits for the download list before it gives up.
constexpr int kDefaultTimeoutMs = 15000;

// "http://<host>/Applications/Tolva/QLR4x/QLR.html"; "" when no host is set.
QString homePageUrl(const QString &toolsSiteHost);
// The download list on the same site as a home page: "" for a text that is not
// a web address with a host and a path.
QString downloadListUrl(const QString &homePageUrl);
// The site's address as the messages name it: "http://<host>".
QString siteAddress(const QString &homePageUrl);

// "<major>.<minor>.<revision>" of the running program, without padding.
QString programVersionText();
// The update script beside the program: "<program folder>/test.sh".
QString updateScriptPath();

// Every "."-separated part padded with zeros to four digits (longer parts stay
// as they are) and joined by "."; an empty part counts as 0. "" for a text
// shorter than 4 characters or with a part that is not a number.
QString PadVersionString(const QString &version);
// True when the padded version `latest` is a later version than `current`.
// Parts compare as numbers (a part of five digits is still ordered) and a
// missing part counts as 0.
bool isLaterVersion(const QString &latest, const QString &current);

// What a fetch brought back: the body (read as single-byte text) or why not.
struct FetchResult {
    bool ok = false;
    QString body;
    QString error;
};

// Reads a URL over HTTP and waits at most `timeoutMs` for the whole answer,
// while timers and network events still run (user input is held back). An
// answer other than a success status is a failure. `accessType` 0 uses the
// system's proxy settings, any other value connects directly.
FetchResult fetchUrl(const QString &url, qint32 accessType = 0, int timeoutMs = kDefaultTimeoutMs);
// The body of the answer, "" on any failure.
QString strFetchURL(const QString &url, qint32 accessType = 0, int timeoutMs = kDefaultTimeoutMs);

// The padded version listed for the program whose home page has `homePagePath`
// in a download list; "" and `why` when the list has no usable entry.
QString latestVersionFromList(const QString &list, const QString &homePagePath, QString *why = nullptr);
// Reads the download list of the home page's site and returns the padded latest
// version, or "" and `why`.
QString strGetLatestVersion(const QString &homePageUrl, int timeoutMs = kDefaultTimeoutMs, QString *why = nullptr);

struct ForegroundOptions {
    QWidget *parent = nullptr;
    int timeoutMs = kDefaultTimeoutMs;
    // Where the reason of a failed check is written, when given.
    LogFile *log = nullptr;
};

// Reads the list, compares and tells the user; offers to open the home page
// when a later version is listed.
void checkForUpdatedVersion_Foreground(const QString &homePageUrl, const ForegroundOptions &options = {});
// Starts the update script with the program's version and the home page and
// returns at once. Nothing happens when the script is missing or no site is set.
void checkForUpdatedVersion_Background(const QString &homePageUrl);

} // namespace modUpdateCheck

} // namespace quillor
