#include "platform/identity.h"

#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QUuid>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <utmpx.h>

namespace quillor::platform {

namespace {

QString hostDomain(const QString &fullHost)
{
    const qsizetype dot = fullHost.indexOf(u'.');
    if (dot > 0)
        return fullHost.mid(dot + 1);
    char buf[256] = {};
    if (getdomainname(buf, sizeof buf - 1) == 0) {
        const QString nis = QString::fromLocal8Bit(buf);
        if (!nis.isEmpty() && nis != QLatin1String("(none)"))
            return nis;
    }
    return {};
}

} // namespace

SystemIdentity readSystemIdentity()
{
    SystemIdentity id;
    id.available = true;

    char host[256] = {};
    QString fullHost;
    if (gethostname(host, sizeof host - 1) == 0)
        fullHost = QString::fromLocal8Bit(host);
    const QString canonical = QHostInfo::localDomainName().isEmpty()
                                  ? fullHost
                                  : fullHost.section(u'.', 0, 0) + u'.' + QHostInfo::localDomainName();
    id.computerName = fullHost.section(u'.', 0, 0);
    id.domain = hostDomain(canonical);

    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
        id.userName = QString::fromLocal8Bit(pw->pw_name);
    else
        id.userName = qEnvironmentVariable("USER");

    setutxent();
    while (const utmpx *entry = getutxent()) {
        if (entry->ut_type == USER_PROCESS)
            ++id.loggedOnUsers;
    }
    endutxent();

    utsname uts{};
    if (uname(&uts) == 0) {
        const QStringList parts = QString::fromLatin1(uts.release).split(u'.');
        id.osMajor = parts.value(0).toInt();
        id.osMinor = parts.value(1).toInt();
    }
    return id;
}

QString newGuidText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

} // namespace quillor::platform
