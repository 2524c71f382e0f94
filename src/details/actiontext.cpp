#include "details/actiontext.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/module1.h"
#include "common/objectid.h"
#include "platform/seams.h"

#include <algorithm>

namespace quillor {

namespace {

constexpr int kChunk = 400; // ObjectIDs per query
// The part of a look-up of several kinds that reads the subscribers of the primary call handlers asked for.
constexpr int kSubscribersOfHandlers = 4;

struct ViewInfo {
    const char *view;
    const char *key;
    const char *name;
    bool handler;
};

const ViewInfo &viewOf(DestinationLookup::Kind kind)
{
    static const ViewInfo views[] = {
        {"vw_CallHandler", "CallHandlerObjectID", "TextName", true},
        {"vw_Subscriber", "SubscriberObjectID", "DisplayName", false},
        {"vw_NameLookupHandler", "NameLookupHandlerObjectID", "TextName", false},
        {"vw_InterviewHandler", "InterviewHandlerObjectID", "TextName", false},
    };
    return views[int(kind)];
}

// The columns a look-up reads, from the kind's view.
QString selectFrom(const ViewInfo &v)
{
    return QStringLiteral("SELECT %1, %2%3 FROM %4")
        .arg(QLatin1String(v.key), QLatin1String(v.name),
             v.handler ? QStringLiteral(", IsPrimary, RecipientObjectID") : QString(), QLatin1String(v.view));
}

QString actionErrorText(const platform::DbError &e)
{
    return errorText(e.number, e.description, QStringLiteral("strConstructActionString"), QStringLiteral("Form"),
                     QStringLiteral("frmMain"));
}

void reportActionError(const platform::DbError &e) { platform::msgBox(actionErrorText(e)); }

} // namespace

DestinationLookup::DestinationLookup(AppContext &ctx, int readAllAfter) : m_ctx(ctx), m_readAllAfter(readAllAfter) {}

void DestinationLookup::prefetch(Kind kind, const QStringList &objectIds)
{
    const int k = int(kind);
    if (objectIds.isEmpty() || (m_all[k] && m_uncertain[k].isEmpty()))
        return;
    QStringList missing;
    QSet<QString> asked;
    QHash<QString, Found> &known = m_known[k];
    const bool byValue = m_ctx.db().matchesObjectIdsByValue(m_ctx.state().gConnectionString);
    for (const QString &id : objectIds) {
        const QString n = normalizedObjectId(id);
        if (stillToAsk(kind, n, byValue, asked))
            missing << n;
    }
    if (missing.isEmpty())
        return;
    if (!m_all[k]) {
        m_fetched[k] += int(missing.size());
        if (m_fetched[k] > m_readAllAfter && !m_triedAll[k] && fetchAll(kind)) {
            // Only what the whole read cannot answer for is still asked for.
            missing.removeIf([&](const QString &n) { return !m_uncertain[k].contains(n) || known.contains(n); });
        }
    }
    for (qsizetype i = 0; i < missing.size(); i += kChunk)
        fetch(kind, missing.mid(i, kChunk));
}

bool DestinationLookup::stillToAsk(Kind kind, const QString &normalizedId, bool byValue, QSet<QString> &asked)
{
    const int k = int(kind);
    // A server that holds ObjectIDs as GUIDs refuses to compare them with any
    // other text (SQL Server: a conversion error): such a text names no row.
    if (byValue && !isGuidText(normalizedId)) {
        m_known[k].insert(normalizedId, Found{});
        return false;
    }
    if (m_known[k].contains(normalizedId) || asked.contains(normalizedId)
        || (m_all[k] && !m_uncertain[k].contains(normalizedId)))
        return false;
    asked.insert(normalizedId);
    return true;
}

void DestinationLookup::prefetchFor(const QList<Action> &actions)
{
    // Which destinations the texts look up, as strConstructActionString does.
    std::array<QStringList, 4> wanted;
    for (const Action &a : actions) {
        if (a.action != 2)
            continue;
        const QString &c = a.conversation;
        if (c == conv::AD && !a.destination.isEmpty())
            wanted[int(Kind::NameLookupHandler)] << a.destination;
        else if (c == conv::CHInterview)
            wanted[int(Kind::InterviewHandler)] << a.destination;
        else if ((c == conv::PHGreeting || c == conv::PHTransfer) && !isDontSet(a.destination))
            wanted[int(Kind::CallHandler)] << a.destination;
    }
    prefetchTogether(wanted);
}

void DestinationLookup::prefetchTogether(const std::array<QStringList, 4> &objectIds, platform::DbError *error)
{
    const bool byValue = m_ctx.db().matchesObjectIdsByValue(m_ctx.state().gConnectionString);
    std::array<QStringList, 4> missing;
    std::array<QSet<QString>, 4> listed;
    // An ObjectID of a kind not known yet, listed once.
    const auto want = [&](Kind kind, const QString &id) {
        const QString n = normalizedObjectId(id);
        if (stillToAsk(kind, n, byValue, listed[int(kind)]))
            missing[int(kind)] << n;
    };
    qsizetype total = 0;
    for (int k = 0; k < 4; ++k) {
        for (const QString &id : objectIds[k])
            want(Kind(k), id);
        total += missing[k].size();
    }
    // A walk's worth, or a kind about to be read whole: a query per kind, as prefetch does it.
    const auto alone = [&](Kind kind) {
        const int k = int(kind);
        if (missing[k].isEmpty() || (total <= kChunk && m_fetched[k] + missing[k].size() <= m_readAllAfter))
            return false;
        prefetch(kind, missing[k]);
        missing[k].clear();
        return true;
    };
    const bool handlersAlone = alone(Kind::CallHandler);
    // The subscribers of the primary call handlers known by now are asked for
    // as subscribers; those of the call handlers in the query come with them.
    const bool subscribersWithHandlers = !m_all[int(Kind::Subscriber)];
    for (const QString &id : objectIds[int(Kind::CallHandler)]) {
        const QString n = normalizedObjectId(id);
        if (!subscribersWithHandlers || (listed[int(Kind::CallHandler)].contains(n) && !handlersAlone))
            continue;
        const auto it = m_known[int(Kind::CallHandler)].constFind(n);
        if (it != m_known[int(Kind::CallHandler)].cend() && it->found() && it->isPrimary)
            want(Kind::Subscriber, it->recipientObjectId);
    }
    for (const Kind kind : {Kind::Subscriber, Kind::NameLookupHandler, Kind::InterviewHandler})
        alone(kind);
    const auto kinds = std::count_if(missing.cbegin(), missing.cend(), [](const QStringList &ids) { return !ids.isEmpty(); });
    if (kinds == 0)
        return;
    // One kind alone, with no subscribers to come with it, is one query of its own.
    if (kinds == 1 && (missing[int(Kind::CallHandler)].isEmpty() || !subscribersWithHandlers)) {
        for (int k = 0; k < 4; ++k)
            prefetch(Kind(k), missing[k]);
        return;
    }
    // One part per kind asked for; the subscribers whose primary call handlers are asked for come with them.
    QStringList parts;
    QVariantList params;
    const auto in = [&params](const QStringList &ids) {
        QStringList marks;
        for (const QString &id : ids) {
            marks << QStringLiteral("?");
            params << id;
        }
        return QStringLiteral(" IN (") + marks.join(u',') + u')';
    };
    for (int k = 0; k < 4; ++k) {
        if (missing[k].isEmpty())
            continue;
        const ViewInfo &v = viewOf(Kind(k));
        parts << QStringLiteral("SELECT %1 AS Kind, %2 AS ObjectID, %3 AS Name, %4 FROM %5 WHERE %2")
                         .arg(k)
                         .arg(QLatin1String(v.key), QLatin1String(v.name),
                              v.handler ? QStringLiteral("IsPrimary, RecipientObjectID")
                                        : QStringLiteral("NULL AS IsPrimary, NULL AS RecipientObjectID"),
                              QLatin1String(v.view))
                     + in(missing[k]);
        if (Kind(k) == Kind::CallHandler && subscribersWithHandlers)
            parts << QStringLiteral("SELECT %1, SubscriberObjectID, DisplayName, NULL, NULL FROM vw_Subscriber WHERE "
                                    "SubscriberObjectID IN (SELECT RecipientObjectID FROM vw_CallHandler WHERE IsPrimary <> 0 "
                                    "AND CallHandlerObjectID")
                             .arg(kSubscribersOfHandlers)
                         + in(missing[k]) + u')';
    }
    // Nothing is known of them when the query fails: each is then asked for alone when it is needed.
    std::vector<QVariantList> rows;
    if (!m_ctx.db().forEachRow(m_ctx.state().gConnectionString, parts.join(QStringLiteral(" UNION ALL ")), params,
                               [&rows](const QVariantList &row) { rows.push_back(row); }, error))
        return;
    for (int k = 0; k < 4; ++k) {
        m_fetched[k] += int(missing[k].size());
        for (const QString &n : std::as_const(missing[k]))
            m_known[k].insert(n, Found{});
    }
    // Each row of a part counted into what is known of its ObjectID, if that was asked for now.
    const auto countRows = [&](int part, Kind kind, const QStringList &askedNow) {
        const QSet<QString> asked(askedNow.cbegin(), askedNow.cend());
        for (const QVariantList &row : rows) {
            const QString n = normalizedObjectId(row[1].toString());
            if (row[0].toInt() == part && asked.contains(n))
                count(kind, m_known[int(kind)][n], QVariantList{row[1], row[2], row[3], row[4]});
        }
    };
    for (int k = 0; k < 4; ++k)
        countRows(k, Kind(k), missing[k]);
    if (!subscribersWithHandlers)
        return;
    // The subscriber of each primary call handler found. One whose ObjectID is
    // stored in another form may or may not be matched by the server's own
    // comparison: it is still asked for alone.
    QHash<QString, Found> &subscribers = m_known[int(Kind::Subscriber)];
    QStringList recipients;
    for (const QString &n : std::as_const(missing[int(Kind::CallHandler)])) {
        const Found &handler = m_known[int(Kind::CallHandler)][n];
        if (!handler.found() || !handler.isPrimary)
            continue;
        const QString recipient = normalizedObjectId(handler.recipientObjectId);
        if (subscribers.contains(recipient) || (!byValue && recipient.size() != handler.recipientObjectId.size()))
            continue;
        subscribers.insert(recipient, Found{});
        recipients << recipient;
        ++m_fetched[int(Kind::Subscriber)];
    }
    countRows(kSubscribersOfHandlers, Kind::Subscriber, recipients);
}

void DestinationLookup::fetch(Kind kind, const QStringList &ids)
{
    if (ids.isEmpty())
        return;
    const ViewInfo &v = viewOf(kind);
    QString sql = selectFrom(v) + QStringLiteral(" WHERE %1 ").arg(QLatin1String(v.key));
    QVariantList params;
    if (ids.size() == 1) {
        sql += QStringLiteral("= ?");
    } else {
        QStringList marks;
        for (qsizetype i = 0; i < ids.size(); ++i)
            marks << QStringLiteral("?");
        sql += QStringLiteral("IN (") + marks.join(u',') + u')';
    }
    for (const QString &id : ids)
        params << id;

    QHash<QString, Found> &known = m_known[int(kind)];
    for (const QString &id : ids)
        known.insert(id, Found{});
    platform::DbError err;
    const bool read = m_ctx.db().forEachRow(m_ctx.state().gConnectionString, sql, params, [&](const QVariantList &row) {
        // Only the rows of ObjectIDs asked for (entered beforehand).
        const auto it = known.find(normalizedObjectId(row[0].toString()));
        if (it != known.end())
            count(kind, *it, row);
    }, &err);
    if (!read) {
        for (const QString &id : ids) {
            Found f;
            f.failed = true;
            f.error = err;
            known.insert(id, f);
        }
    }
}

bool DestinationLookup::readAll(Kind kind, platform::DbError *error)
{
    if (!m_all[int(kind)] && !m_triedAll[int(kind)])
        return fetchAll(kind, error);
    return m_all[int(kind)];
}

bool DestinationLookup::fetchAll(Kind kind, platform::DbError *error)
{
    m_triedAll[int(kind)] = true;
    QHash<QString, Found> every;
    QSet<QString> uncertain;
    const bool byValue = m_ctx.db().matchesObjectIdsByValue(m_ctx.state().gConnectionString);
    if (!m_ctx.db().forEachRow(m_ctx.state().gConnectionString, selectFrom(viewOf(kind)), {},
                               [&](const QVariantList &row) {
                                   // The server finds a braced ObjectID in any case, but a server that
                                   // compares ObjectIDs as text may or may not find one stored without
                                   // braces or with blanks: such ObjectIDs are still asked for one by one.
                                   const QString stored = row[0].toString();
                                   const QString id = normalizedObjectId(stored);
                                   if (!byValue && id.size() != stored.size())
                                       uncertain.insert(id);
                                   else
                                       count(kind, every[id], row);
                               },
                               error))
        return false; // fetched a few at a time as before
    for (const QString &id : std::as_const(uncertain))
        every.remove(id);
    // What was asked for before is read again with the rest, except what the
    // server was asked for an ObjectID the whole read cannot answer for; a
    // failed look-up of an ObjectID that is not there stays failed.
    QHash<QString, Found> &known = m_known[int(kind)];
    for (auto it = known.cbegin(); it != known.cend(); ++it) {
        if (uncertain.contains(it.key()) || (it->failed && !every.contains(it.key())))
            every.insert(it.key(), it.value());
    }
    known = std::move(every);
    m_uncertain[int(kind)] = std::move(uncertain);
    m_all[int(kind)] = true;
    return true;
}

// One row of the kind's view (its ObjectID, name and, for call handlers,
// IsPrimary and RecipientObjectID) counted into what is known of its ObjectID.
void DestinationLookup::count(Kind kind, Found &f, const QVariantList &row)
{
    if (f.failed)
        f = Found{};
    ++f.count;
    f.name = row[1];
    if (viewOf(kind).handler) {
        f.isPrimary = !row[2].isNull() && row[2].toInt() != 0;
        f.recipientObjectId = row[3].isNull() ? QString() : row[3].toString();
    }
}

DestinationLookup::Found DestinationLookup::find(Kind kind, const QString &objectId)
{
    const QString n = normalizedObjectId(objectId);
    QHash<QString, Found> &known = m_known[int(kind)];
    // With every row of the kind read, one not among them is not there.
    if (!known.contains(n) && (!m_all[int(kind)] || m_uncertain[int(kind)].contains(n)))
        prefetch(kind, {n});
    return known.value(n);
}

QString strConstructActionString(AppContext &ctx, const QString &ConversationName, qint16 Action,
                                 const QString &DestinationObjectID, DestinationLookup *lookup,
                                 UnreadDestination unread)
{
    DestinationLookup own(ctx);
    DestinationLookup &look = lookup ? *lookup : own;
    using Kind = DestinationLookup::Kind;
    const QString invalid = QStringLiteral("Invalid Link!");
    // A look-up that could not be run is reported and the link shown as
    // invalid; an action just written is named by its ObjectID instead, and
    // since the write stands, the failed read goes to the log alone.
    const auto unreadName = [&](const platform::DbError &error, const QString &prefix) {
        if (unread == UnreadDestination::ObjectId) {
            ctx.log().logMessage(actionErrorText(error));
            return prefix + DestinationObjectID;
        }
        reportActionError(error);
        return invalid;
    };

    // A Null name has nothing to join: the text stays as it was.
    const auto named = [](const QString &prefix, const QVariant &name, QString &result) {
        if (!name.isNull())
            result = prefix + name.toString();
    };
    const auto handlerDestination = [&](const QString &prefix) {
        const auto handler = look.find(Kind::CallHandler, DestinationObjectID);
        if (handler.failed)
            return unreadName(handler.error, prefix);
        if (!handler.found())
            return invalid;
        QString result = QStringLiteral("(Error)");
        if (handler.isPrimary) {
            const auto sub = look.find(Kind::Subscriber, handler.recipientObjectId);
            if (sub.failed)
                return unreadName(sub.error, prefix);
            if (!sub.found())
                return invalid;
            named(prefix, sub.name, result);
        } else {
            named(prefix, handler.name, result);
        }
        return result;
    };
    const auto simpleDestination = [&](Kind kind, const QString &prefix) {
        const auto f = look.find(kind, DestinationObjectID);
        if (f.failed)
            return unreadName(f.error, prefix);
        if (!f.found())
            return invalid;
        QString result = QStringLiteral("(Error)");
        named(prefix, f.name, result);
        return result;
    };

    switch (Action) {
    case 0: return QStringLiteral("Ignore Key");
    case 1: return QStringLiteral("Hang Up");
    case 4: return QStringLiteral("Take Message");
    case 5: return QStringLiteral("Skip Greeting");
    case 2: break;
    default: return QStringLiteral("(Error)");
    }

    const QString &c = ConversationName;
    if (c == conv::SubSignIn)
        return QStringLiteral("Route to subscriber sign in");
    if (c == conv::GreetingsAdministrator)
        return QStringLiteral("Route to greetings administration");
    if (c == conv::BroadcastMessageAdministrator)
        return QStringLiteral("Route to broadcast message administration");
    if (c == conv::AD) {
        if (DestinationObjectID.isEmpty())
            return invalid;
        return simpleDestination(Kind::NameLookupHandler, QStringLiteral("Route to name lookup handler:"));
    }
    if (c == conv::ConvHotelCheckedOut)
        return QStringLiteral("Route to checked out hotel guest conversation");
    if (c == conv::ConvCVMMBoxReset)
        return QStringLiteral("Route to Community Voice Mail box reset");
    if (c == conv::CxConvSystemTransfer)
        return QStringLiteral("Route to system transfer");
    if (c == conv::CxConvSubSystemTransfer)
        return QStringLiteral("Route to subscriber system transfer");
    if (c == conv::CxConvEasySignIn)
        return QStringLiteral("Route to easy subscriber sign in");
    if (c == conv::PHGreeting) {
        if (isDontSet(DestinationObjectID))
            return QStringLiteral("Set to go to greeting");
        return handlerDestination(QStringLiteral("Send to greeting for: "));
    }
    if (c == conv::PHTransfer) {
        if (isDontSet(DestinationObjectID))
            return QStringLiteral("Set to attempt to ring phone");
        return handlerDestination(QStringLiteral("Ring phone for: "));
    }
    if (c == conv::CHInterview)
        return simpleDestination(Kind::InterviewHandler, QStringLiteral("Send to interviewer: "));
    if (c == conv::TransferAltContactNumber)
        return QStringLiteral("Alternate transfer number.");

    platform::msgBox(QStringLiteral("Error in ConstructActionSTring function.  Illegal conversation name:") + c);
    return QStringLiteral("(Error)");
}

} // namespace quillor
