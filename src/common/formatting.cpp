#include "common/formatting.h"

#include <QLocale>
#include <QRegularExpression>

namespace quillor {

QString generalDateTime(const QDateTime &value)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // Qt's long time names the zone ("t"); the log has no use for it.
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    timeFormat.replace(zone, QString());
    timeFormat = timeFormat.trimmed();
    return locale.toString(value.date(), QLocale::ShortFormat) + u' ' + locale.toString(value.time(), timeFormat);
}

QString booleanText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace quillor
