#pragma once
#include <QDateTime>
#include <QString>

namespace quillor {

// The machine's general date-and-time format: its short date, a blank and its
// long time (without a time-zone name).
QString generalDateTime(const QDateTime &value);

// A Boolean as the system writes it into texts (audit lines, Tags, text
// parameters): "True" or "False".
QString booleanText(bool value);

} // namespace quillor
