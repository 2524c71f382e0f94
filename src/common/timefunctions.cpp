#include "common/timefunctions.h"

#include <QTimeZone>

namespace quillor {

namespace {

const QDateTime &epoch1601()
{
    static const QDateTime e(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    return e;
}

QTime wholeSeconds(const QTime &t) { return QTime(t.hour(), t.minute(), t.second()); }

// The value's fields, without any zone attached (the way the server stores them).
QDateTime fieldsAs(const QDateTime &value, Qt::TimeSpec zone)
{
    return QDateTime(value.date(), wholeSeconds(value.time()), zone);
}

} // namespace

QDateTime dtUTCToLocal(const QDateTime &utc)
{
    if (!utc.isValid())
        return {};
    return fieldsAs(utc, Qt::UTC).toLocalTime();
}

QDateTime dtLocalToUTC(const QDateTime &local)
{
    if (!local.isValid())
        return {};
    return fieldsAs(local, Qt::LocalTime).toUTC();
}

qint64 DateToFileTime(const QDateTime &value)
{
    if (!value.isValid())
        return 0;
    const QDateTime asUtc = fieldsAs(value, Qt::UTC);
    return epoch1601().msecsTo(asUtc) * 10000;
}

QDateTime FileTimeToDate(qint64 fileTime)
{
    const QDateTime utc = epoch1601().addMSecs(fileTime / 10000);
    // A file time is a count; its date keeps the counted fields.
    return QDateTime(utc.date(), wholeSeconds(utc.time()), Qt::LocalTime);
}

qint64 FileTimeUTCToLocal(qint64 fileTime)
{
    if (fileTime == 0)
        return 0;
    const QDateTime utc = epoch1601().addMSecs(fileTime / 10000);
    const int offset = utc.toLocalTime().offsetFromUtc();
    return fileTime + qint64(offset) * 10000000;
}

qint64 FileTimeLocalToUTC(qint64 fileTime)
{
    if (fileTime == 0)
        return 0;
    const QDateTime fields = epoch1601().addMSecs(fileTime / 10000);
    const QDateTime local(fields.date(), fields.time(), Qt::LocalTime);
    return fileTime - qint64(local.offsetFromUtc()) * 10000000;
}

} // namespace quillor
