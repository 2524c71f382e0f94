#include "common/updatecheck.h"

#include "platform/busycursor.h"
#include "common/logging.h"
#include "common/programversion.h"
#include "platform/apppaths.h"
#include "platform/seams.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace quillor::modUpdateCheck {

namespace {

const QString kHomePagePath = QStringLiteral("/Applications/Tolva/QLR4x/QLR.html");
const QString kDownloadListPath = QStringLiteral("/SiteList/AllDownloads/AllDownloads.XML");

// A home page is usable when it is a web address with a host and a path.
bool isWebAddress(const QUrl &url)
{
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty()
           && url.path().size() > 1;
}

// The proxies the system is set up with (environment or desktop settings).
class SystemProxies final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override { return systemProxyForQuery(query); }
};

bool allDigits(QStringView part)
{
    for (QChar c : part)
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    return true;
}

// A padded part without its leading zeros, so that parts of any length compare.
QStringView significant(QStringView part)
{
    while (part.size() > 1 && part.front() == u'0')
        part = part.mid(1);
    return part.isEmpty() ? QStringView(u"0") : part;
}

} // namespace

QString homePageUrl(const QString &toolsSiteHost)
{
    const QString host = toolsSiteHost.trimmed();
    if (host.isEmpty())
        return {};
    return QStringLiteral("http://") + host + kHomePagePath;
}

QString downloadListUrl(const QString &homePageUrl)
{
    QUrl url(homePageUrl, QUrl::StrictMode);
    if (!isWebAddress(url))
        return {};
    url.setPath(kDownloadListPath);
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString();
}

QString siteAddress(const QString &homePageUrl)
{
    const QUrl url(homePageUrl);
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
}

QString programVersionText()
{
    const QVersionNumber v = programVersion();
    return QStringLiteral("%1.%2.%3").arg(v.majorVersion()).arg(v.minorVersion()).arg(v.microVersion());
}

QString updateScriptPath() { return QDir(platform::AppPaths::programFolder()).filePath(QStringLiteral("test.sh")); }

QString PadVersionString(const QString &version)
{
    if (version.size() < 4)
        return {};
    QStringList parts = version.split(u'.');
    for (QString &part : parts) {
        if (!allDigits(part))
            return {};
        // Four digits at least, so that equal-length parts of a version sort as numbers.
        part = part.rightJustified(4, u'0');
    }
    return parts.join(u'.');
}

bool isLaterVersion(const QString &latest, const QString &current)
{
    const QStringList a = latest.split(u'.');
    const QStringList b = current.split(u'.');
    // A part that one version lacks counts as 0, so 5.0 and 5.0.0 are the same version.
    const auto part = [](const QStringList &parts, qsizetype i) {
        return i < parts.size() ? significant(parts.at(i)) : QStringView(u"0");
    };
    for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i) {
        const QStringView x = part(a, i);
        const QStringView y = part(b, i);
        if (x.size() != y.size())
            return x.size() > y.size();
        const int order = x.compare(y);
        if (order != 0)
            return order > 0;
    }
    return false;
}

FetchResult fetchUrl(const QString &url, qint32 accessType, int timeoutMs)
{
    FetchResult result;
    const QUrl target(url, QUrl::StrictMode);
    if (!target.isValid() || target.host().isEmpty()
        || (target.scheme() != u"http" && target.scheme() != u"https")) {
        result.error = QStringLiteral("\"%1\" is not a web address").arg(url);
        return result;
    }

    QNetworkAccessManager manager;
    if (accessType == 0)
        manager.setProxyFactory(new SystemProxies); // the manager owns it
    else
        manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("HTTP Generic"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request); // owned by the manager

    // The caller waits, but never longer than the deadline; user input waits
    // too, so that no second command starts while this one is under way.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(qMax(0, timeoutMs));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!reply->isFinished()) {
        reply->abort();
        result.error = QStringLiteral("%1 did not answer within %2 ms").arg(target.toString()).arg(timeoutMs);
        return result;
    }
    if (reply->error() != QNetworkReply::NoError) {
        result.error = QStringLiteral("%1: %2").arg(target.toString(), reply->errorString());
        return result;
    }
    result.ok = true;
    result.body = QString::fromLatin1(reply->readAll());
    return result;
}

QString strFetchURL(const QString &url, qint32 accessType, int timeoutMs)
{
    return fetchUrl(url, accessType, timeoutMs).body;
}

QString latestVersionFromList(const QString &list, const QString &homePagePath, QString *why)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return QString();
    };
    if (list.size() < 10)
        return fail(QStringLiteral("the download list is empty"));
    const QString entry = u'^' + homePagePath + QStringLiteral("^ifram_a");
    const qsizetype at = list.indexOf(entry, 0, Qt::CaseInsensitive);
    if (at < 0)
        return fail(QStringLiteral("the download list has no entry %1").arg(entry));
    const QString cell = QStringLiteral("<cell>");
    const qsizetype tag = list.indexOf(cell, at, Qt::CaseInsensitive);
    if (tag < 0)
        return fail(QStringLiteral("the download list gives no version for %1").arg(entry));
    qsizetype end = tag + cell.size();
    while (end < list.size() && ((list.at(end) >= u'0' && list.at(end) <= u'9') || list.at(end) == u'.'))
        ++end;
    const QString version = list.mid(tag + cell.size(), end - tag - cell.size());
    const QString padded = PadVersionString(version);
    if (padded.isEmpty())
        return fail(QStringLiteral("the download list gives \"%1\" as the version for %2").arg(version, entry));
    return padded;
}

QString strGetLatestVersion(const QString &homePageUrl, int timeoutMs, QString *why)
{
    const QString listUrl = downloadListUrl(homePageUrl);
    if (listUrl.isEmpty()) {
        if (why)
            *why = QStringLiteral("\"%1\" is not a web address").arg(homePageUrl);
        return {};
    }
    const FetchResult fetched = fetchUrl(listUrl, 0, timeoutMs);
    if (!fetched.ok) {
        if (why)
            *why = fetched.error;
        return {};
    }
    return latestVersionFromList(fetched.body, QUrl(homePageUrl).path(), why);
}

void checkForUpdatedVersion_Foreground(const QString &homePageUrl, const ForegroundOptions &options)
{
    using platform::MsgAnswer;
    using platform::MsgButtons;
    auto &box = platform::Seams::messageBox();

    if (homePageUrl.isEmpty()) {
        // Without a site there is nobody to ask; say where it is set rather than "unable to contact".
        box.show(options.parent,
                 QStringLiteral("No tools site is set for the update check. Give its host name as \"ToolsSiteHost\" "
                                "in the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port of the server profile."));
        return;
    }

    QString why;
    QString latest;
    {
        platform::BusyCursor busy;
        latest = strGetLatestVersion(homePageUrl, options.timeoutMs, &why);
    }
    const QString current = PadVersionString(programVersionText());
    const QString site = siteAddress(homePageUrl);

    if (latest.isEmpty()) {
        if (options.log)
            options.log->logMessage(QStringLiteral("Update check failed: ") + why);
        box.show(options.parent,
                 QStringLiteral("Unable to contact application home page to check for version.  You can access the home "
                                "page and check for updated versions of all Varko Tolva tools by going to ")
                     + site);
        return;
    }
    if (isLaterVersion(latest, current)) {
        const MsgAnswer answer =
            box.show(options.parent,
                     QStringLiteral("An updated version of this tool is available on ") + site
                         + QStringLiteral(".  Click OK to open the application home page now"),
                     MsgButtons::OkCancel, QStringLiteral("Updated version is available"));
        if (answer == MsgAnswer::Ok)
            platform::openOnDesktop(QUrl(homePageUrl), QStringLiteral("The home page"), options.parent);
        return;
    }
    box.show(options.parent, QStringLiteral("You have the most up to date version of this tool installed"));
}

void checkForUpdatedVersion_Background(const QString &homePageUrl)
{
    // The script runs on its own; whatever happens to it is not the program's concern.
    if (homePageUrl.isEmpty())
        return;
    const QString script = updateScriptPath();
    if (!QFileInfo(script).isFile())
        return;
    platform::Seams::shell().startDetached(QStringLiteral("/bin/sh"), {script, programVersionText(), homePageUrl});
}

} // namespace quillor::modUpdateCheck
