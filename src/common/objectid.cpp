#include "common/objectid.h"

#include <QRegularExpression>

namespace quillor {

QString normalizedObjectId(const QString &id)
{
    static const QRegularExpression guid(QStringLiteral(
        "^\\{?([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\\}?$"));
    const QString trimmed = id.trimmed();
    const auto m = guid.match(trimmed);
    if (!m.hasMatch())
        return trimmed;
    return u'{' + m.captured(1).toUpper() + u'}';
}

bool sameObjectId(const QString &a, const QString &b)
{
    return normalizedObjectId(a).compare(normalizedObjectId(b), Qt::CaseInsensitive) == 0;
}

} // namespace quillor
