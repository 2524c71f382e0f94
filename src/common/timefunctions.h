#pragma once
// Conversions between universal time (as the server stores expiry times) and
// the machine's local time. Each value is converted with the offset in force
// at that value's own date, so a winter date entered in summer is not an hour off.
// Results carry whole seconds only.
//
// Local wall-clock fields that the clock skips when it springs forward are
// read with the offset in force just before the gap (02:30 on that day is
// 01:30 universal time in Berlin, and shows as 03:30 afterwards); fields the
// clock passes twice when it falls back are the earlier of the two moments.

#include <QDateTime>
#include <QtGlobal>

class QDateTimeEdit;

namespace quillor {

// The fields of `utc` read as universal time, returned as local time.
QDateTime dtUTCToLocal(const QDateTime &utc);
// The fields of `local` read as local time (whatever time zone it is tagged with),
// returned as universal time (Qt::UTC); invalid only for invalid fields.
QDateTime dtLocalToUTC(const QDateTime &local);
QDateTime dtLocalToUTC(const QDate &date, const QTime &time);

// 100-nanosecond units since 1 January 1601; 0 stays 0 through the conversions.
qint64 DateToFileTime(const QDateTime &value);
QDateTime FileTimeToDate(qint64 fileTime);
qint64 FileTimeUTCToLocal(qint64 fileTime);
qint64 FileTimeLocalToUTC(qint64 fileTime);

// Date and time edits of an expiry hold local wall-clock fields, not a moment
// in local time: an edit in local time cannot hold a time the clock skips and
// turns it into midnight when its date moves onto that day. Read them with
// dtLocalToUTC(edit->date(), edit->time()).
void holdLocalFields(QDateTimeEdit *edit);
// Shows the fields of a local date and time in such an edit.
void setLocalFields(QDateTimeEdit *edit, const QDateTime &local);
// Shows no date at all, for a page that holds no object.
void clearLocalFields(QDateTimeEdit *edit);

} // namespace quillor
