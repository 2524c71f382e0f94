#include "common/timefunctions.h"

#include <QDateTimeEdit>

#include <optional>

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

// The local clock's offset from universal time at a moment.
int offsetAt(qint64 utcMSecs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMSecs, Qt::UTC).toLocalTime().offsetFromUtc();
}

// The moment (milliseconds since 1970, universal) of local wall-clock fields.
// Offsets change at most once within a day on either side, so the offsets a
// day before and a day after are the only candidates: a candidate fits when
// it is the offset in force at the moment it gives. Two fit in the autumn
// fold (the earlier moment wins); none fits in the spring gap, where the
// offset from before the gap applies.
qint64 localFieldsToUtcMSecs(const QDate &date, const QTime &time)
{
    constexpr qint64 kDay = 86400000;
    const qint64 naive = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const int before = offsetAt(naive - kDay);
    const int after = offsetAt(naive + kDay);
    std::optional<qint64> found;
    for (const int offset : {before, after}) {
        const qint64 utc = naive - qint64(offset) * 1000;
        if (offsetAt(utc) == offset && (!found || utc < *found))
            found = utc;
    }
    return found ? *found : naive - qint64(before) * 1000;
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
    // A local time in the spring gap is an invalid QDateTime that still holds its fields.
    return dtLocalToUTC(local.date(), local.time());
}

QDateTime dtLocalToUTC(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime::fromMSecsSinceEpoch(localFieldsToUtcMSecs(date, wholeSeconds(time)), Qt::UTC);
}

qint64 DateToFileTime(const QDateTime &value)
{
    // Only the fields count: a local time in the spring gap is one too.
    if (!value.date().isValid() || !value.time().isValid())
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
    const qint64 offsetMSecs = fields.toMSecsSinceEpoch() - localFieldsToUtcMSecs(fields.date(), fields.time());
    return fileTime - offsetMSecs * 10000;
}

void holdLocalFields(QDateTimeEdit *edit)
{
    // Universal time has no gaps: the edit keeps whatever fields it is given.
    edit->setTimeSpec(Qt::UTC);
}

void setLocalFields(QDateTimeEdit *edit, const QDateTime &local)
{
    edit->setDateTime(fieldsAs(local, Qt::UTC));
}

void clearLocalFields(QDateTimeEdit *edit)
{
    // The earliest value the edit takes shows as blank.
    edit->setSpecialValueText(QStringLiteral(" "));
    edit->setDateTime(edit->minimumDateTime());
}

} // namespace quillor
