#pragma once
// Conversions between universal time (as the server stores expiry times) and
// the machine's local time. Each value is converted with the offset in force
// at that value's own date, so a winter date entered in summer is not an hour off.
// Results carry whole seconds only.

#include <QDateTime>
#include <QtGlobal>

namespace quillor {

// The fields of `utc` read as universal time, returned as local time.
QDateTime dtUTCToLocal(const QDateTime &utc);
// The fields of `local` read as local time, returned as universal time (Qt::UTC).
QDateTime dtLocalToUTC(const QDateTime &local);

// 100-nanosecond units since 1 January 1601; 0 stays 0 through the conversions.
qint64 DateToFileTime(const QDateTime &value);
QDateTime FileTimeToDate(qint64 fileTime);
qint64 FileTimeUTCToLocal(qint64 fileTime);
qint64 FileTimeLocalToUTC(qint64 fileTime);

} // namespace quillor
