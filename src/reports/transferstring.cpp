#include "reports/transferstring.h"

#include "common/appcontext.h"

namespace quillor {

namespace {
// A text to look for anywhere in a LIKE pattern, every character literal.
QString containsPattern(const QString &text)
{
    QString pattern = QStringLiteral("%");
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_' || c == u'[')
            pattern += u'\\';
        pattern += c;
    }
    return pattern + u'%';
}
} // namespace

std::optional<QList<TransferMatch>> findTransferString(AppContext &ctx, const QString &text, bool partial,
                                                       platform::DbError *error)
{
    const QString sql =
        QStringLiteral("SELECT vw_Subscriber.Alias as SubAlias, vw_Subscriber.DisplayName, vw_ContactRule.Alias as "
                       "ContactAlias, vw_ContactRule.Extension, vw_CallHandler.IsPrimary, vw_CallHandler.Alias as "
                       "HandlerAlias FROM vw_ContactRule INNER JOIN vw_CallHandler ON "
                       "vw_ContactRule.ParentObjectID=vw_CallHandler.CallHandlerObjectID LEFT OUTER JOIN vw_Subscriber on "
                       "vw_Subscriber.CallHandlerObjectID=vw_CallHandler.CallHandlerObjectID ")
        + (partial ? QStringLiteral("WHERE vw_ContactRule.Extension LIKE ? ESCAPE '\\'")
                   : QStringLiteral("WHERE vw_ContactRule.Extension = ?"));
    platform::Recordset rs =
        ctx.db().open(ctx.state().gConnectionString, sql, {partial ? containsPattern(text) : text}, error);
    if (!rs.isOpen())
        return std::nullopt;
    QList<TransferMatch> matches;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        const QVariant primary = rs.field(QStringLiteral("IsPrimary"));
        // A primary handler whose subscriber is gone is named as the handler it is.
        const bool subscriber = !primary.isNull() && primary.toInt() != 0 && !rs.isNull(QStringLiteral("SubAlias"));
        TransferMatch m;
        m.owner = subscriber ? QStringLiteral("Subscriber with alias=") + rs.text(QStringLiteral("SubAlias"))
                             : QStringLiteral("Call handler with alias=") + rs.text(QStringLiteral("HandlerAlias"));
        m.contactAlias = rs.text(QStringLiteral("ContactAlias"));
        m.extension = rs.text(QStringLiteral("Extension"));
        matches << m;
    }
    return matches;
}

QString transferMatchesText(const QList<TransferMatch> &matches)
{
    QString text = QStringLiteral("Matches found for that transfer string on the following objects:\n\n");
    for (const TransferMatch &m : matches)
        text += m.owner + QStringLiteral(" on contact rule=") + m.contactAlias + QStringLiteral(" with transfer string='")
                + m.extension + QStringLiteral("'\n\n");
    return text;
}

} // namespace quillor
