#include "common/tolvaversion.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/registryapi.h"
#include "platform/apppaths.h"
#include "platform/seams.h"

#include <QDir>
#include <limits>

namespace quillor {

using platform::RootKey;

namespace {

const QString kNewKey = QStringLiteral("SOFTWARE\\Varko Systems\\Varko Tolva");
const QString kOldKey = QStringLiteral("Software\\Calvex\\");
const QString kOldRootKey = QStringLiteral("SOFTWARE\\Calvex\\Quorbel\\1.0");
const QString kStreamConfigName = QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation");

constexpr int kOverflow = 6;

// A registry number stored in a 16-bit field; a larger one is reported and the field stays 0.
bool toInt16(qint64 value, qint16 &field)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max()) {
        reportError(kOverflow, QStringLiteral("Overflow"), QStringLiteral("getVersion"), QStringLiteral("Module"),
                    QStringLiteral("TolvaVersion"));
        return false;
    }
    field = static_cast<qint16>(value);
    return true;
}

// The leading decimal digits of a text, 0 when there are none.
qint64 leadingDecimal(const QString &digits)
{
    qint64 n = 0;
    for (const QChar c : digits) {
        if (!c.isDigit())
            break;
        n = n * 10 + c.digitValue();
    }
    return n;
}

QString versionText(const TolvaVersionRecord &v)
{
    return QStringLiteral("%1.%2(%3.%4)").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build);
}

void reportPathFetchBeforeVersion()
{
    platform::msgBox(QStringLiteral("You need to load the verson information before calling any of the path fetch routines."));
}

} // namespace

QString directoryConnectionString()
{
    return QStringLiteral("Driver={SQL Server};server=localhost\\varkotolva;database=TolvaDirDB");
}

TolvaVersionRecord getVersion(AppContext &ctx)
{
    const platform::Registry &reg = ctx.registry();
    TolvaVersionRecord v;
    const auto dword = [&](const QString &key, const QString &name) {
        return static_cast<qint64>(QueryRegValue(reg, RootKey::LocalMachine, key, name, REG_DWORD, 0).toInt());
    };

    if (bRegKeyExists(reg, RootKey::LocalMachine, kNewKey) && dword(kNewKey, QStringLiteral("MajorVersion")) > 0) {
        toInt16(dword(kNewKey, QStringLiteral("MajorVersion")), v.Major);
        toInt16(dword(kNewKey, QStringLiteral("MinorVersion")), v.Minor);
        toInt16(dword(kNewKey, QStringLiteral("BuildVersion")), v.Build);
        toInt16(dword(kNewKey, QStringLiteral("ReleaseVersion")), v.Release);
        v.bNewRegistryLayout = true;
    } else {
        // The older layout keeps each pair of numbers in the two halves of one
        // number; its hexadecimal digits are read back as decimal, except the build.
        const auto hex8 = [](qint64 n) {
            return QStringLiteral("%1").arg(static_cast<quint32>(n), 8, 16, QLatin1Char('0')).toUpper();
        };
        const QString version = hex8(dword(kOldKey, QStringLiteral("Version Number")));
        const QString build = hex8(dword(kOldKey, QStringLiteral("Build Number")));
        toInt16(leadingDecimal(version.left(4)), v.Major);
        toInt16(leadingDecimal(version.right(4)), v.Minor);
        toInt16(leadingDecimal(build.left(4)), v.Release);
        toInt16(build.right(4).toLongLong(nullptr, 16), v.Build);
        v.bNewRegistryLayout = false;
    }
    v.Text = versionText(v);
    if (v.Major == 0)
        platform::msgBox(QStringLiteral("Error retrieving version of product from the registry."));
    return v;
}

bool bIsVersionGreaterThanOrEqualTo(const TolvaVersionRecord &v, qint16 major, qint16 minor, qint16 release,
                                    qint16 build, qint16)
{
    if (v.Major != major)
        return v.Major > major;
    if (v.Minor != minor)
        return v.Minor > minor;
    if (v.Release != release)
        return v.Release > release;
    return v.Build >= build;
}

bool bIsVersionGreaterThanOrEqualTo(const AppContext &ctx, qint16 major, qint16 minor, qint16 release, qint16 build,
                                    qint16 unused)
{
    return bIsVersionGreaterThanOrEqualTo(ctx.state().gVersion, major, minor, release, build,
                                          unused);
}

QString strGetInstallPath(AppContext &ctx)
{
    const TolvaVersionRecord &v = ctx.state().gVersion;
    if (v.Major == 0) {
        reportPathFetchBeforeVersion();
        return {};
    }
    const platform::Registry &reg = ctx.registry();
    if (v.bNewRegistryLayout)
        return QueryRegValue(reg, RootKey::LocalMachine, kNewKey, QStringLiteral("InstalledFolderPath"), REG_SZ,
                             QString())
                   .toString()
               + u'\\';
    // This value already ends in a separator.
    return QueryRegValue(reg, RootKey::LocalMachine, kOldRootKey, QStringLiteral("Root Path"), REG_SZ, QString())
        .toString();
}

QString strGetStreamFilesPath(AppContext &ctx, QString *whyUnknown)
{
    QString why;
    const QString folder = [&]() -> QString {
        const TolvaVersionRecord &v = ctx.state().gVersion;
        if (v.Major == 0) {
            reportPathFetchBeforeVersion();
            why = QStringLiteral("the server's version is not known");
            return {};
        }
        const QString install = strGetInstallPath(ctx);
        if (install.isEmpty()) {
            why = QStringLiteral("the server's install folder is not known");
            return {};
        }
        if (!v.bNewRegistryLayout)
            return install + QStringLiteral("Stream Files\\");
        QString failure;
        const QString configured = strPullConfigurationString(ctx, kStreamConfigName, &failure);
        while (failure.endsWith(u'.')) // the sentence goes on after it
            failure.chop(1);
        if (!failure.isEmpty())
            why = QStringLiteral("the directory database could not be read (%1)").arg(failure);
        else if (configured.isEmpty())
            why = QStringLiteral("the directory database names none (%1)").arg(kStreamConfigName);
        return configured;
    }();
    if (whyUnknown)
        *whyUnknown = folder.isEmpty() ? why : QString();
    return folder;
}

QString strPullConfigurationString(AppContext &ctx, const QString &fullName, QString *failure)
{
    if (fullName.isEmpty())
        return {};
    platform::DbError err;
    platform::Recordset rs = ctx.db().open(directoryConnectionString(),
                                           QStringLiteral("SELECT FullName, ValueString FROM vw_Configuration WHERE FullName = ?"),
                                           {fullName}, &err);
    if (!rs.isOpen()) {
        ctx.log().logMessage(QStringLiteral("(error) %1 (%2) in procedure strPullConfigurationString of Module TolvaVersion")
                                 .arg(err.number)
                                 .arg(err.description));
        if (failure)
            *failure = err.description.isEmpty() ? QStringLiteral("error %1").arg(err.number) : err.description;
        return {};
    }
    if (rs.RecordCount() == 0)
        return {};
    if (rs.RecordCount() > 1) {
        ctx.log().logMessage(
            QStringLiteral("(error) more than one value found in vw_Configuration view for fullName='%1'").arg(fullName));
        if (failure)
            *failure = QStringLiteral("it holds more than one value for %1").arg(fullName);
        return {};
    }
    rs.MoveFirst();
    return rs.text(QStringLiteral("ValueString"));
}

QString serverPathToLocal(const QString &serverPath)
{
    QString path = serverPath;
    path.replace(u'\\', u'/');
    // A drive letter names a folder of the server's machine; here it is the user's home.
    if (path.size() >= 2 && path[1] == u':' && path[0].isLetter())
        path = platform::AppPaths::homeFolder() + path.mid(2);
    while (path.contains(QStringLiteral("//")))
        path.replace(QStringLiteral("//"), QStringLiteral("/"));
    return path;
}

} // namespace quillor
