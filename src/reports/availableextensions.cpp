#include "reports/availableextensions.h"

#include "common/appcontext.h"
#include "common/validators.h"

#include <QSet>

namespace quillor {

namespace {
// Values bound in one query: well below every server's limit on parameters.
constexpr qint64 kGroup = 500;
constexpr int kMaxDigits = 18;
} // namespace

bool isRangeNumber(const QString &text)
{
    if (!MyIsNumber(text))
        return false;
    qsizetype first = 0;
    while (first < text.size() && text[first] == u'0')
        ++first;
    return text.size() - first <= kMaxDigits;
}

std::optional<qint64> rangeValue(const QString &text)
{
    if (!isRangeNumber(text))
        return std::nullopt;
    return text.isEmpty() ? 0 : text.toLongLong();
}

std::optional<QStringList> freeExtensions(AppContext &ctx, qint64 start, qint64 end,
                                          const std::function<void(qint64 done)> &progress, platform::DbError *error)
{
    QStringList free;
    for (qint64 from = start; from <= end; from += kGroup) {
        const qint64 to = std::min(end, from + kGroup - 1);
        QStringList marks;
        QVariantList numbers;
        for (qint64 n = from; n <= to; ++n) {
            marks << QStringLiteral("?");
            numbers << QString::number(n);
        }
        const platform::Recordset used = ctx.db().open(
            ctx.state().gConnectionString,
            QStringLiteral("SELECT DTMFAccessID FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID IN (%1)")
                .arg(marks.join(u',')),
            numbers, error);
        if (!used.isOpen())
            return std::nullopt;
        // The server's comparison ignores trailing blanks: "2000 " is 2000 in use.
        QSet<QString> taken;
        for (int row = 0; row < used.RecordCount(); ++row) {
            QString value = used.value(row, 0).toString();
            while (value.endsWith(u' '))
                value.chop(1);
            taken.insert(value);
        }
        for (const QVariant &n : std::as_const(numbers))
            if (!taken.contains(n.toString()))
                free << n.toString();
        if (progress)
            progress(to - start + 1);
    }
    return free;
}

} // namespace quillor
