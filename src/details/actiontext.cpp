#include "details/actiontext.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/module1.h"
#include "common/objectid.h"
#include "platform/seams.h"

namespace quillor {

namespace {

constexpr int kChunk = 400; // ObjectIDs per query

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

void reportActionError(const platform::DbError &e)
{
    reportError(e.number, e.description, QStringLiteral("strConstructActionString"), QStringLiteral("Form"),
                QStringLiteral("frmMain"));
}

} // namespace

DestinationLookup::DestinationLookup(AppContext &ctx, int readAllAfter) : m_ctx(ctx), m_readAllAfter(readAllAfter) {}

void DestinationLookup::prefetch(Kind kind, const QStringList &objectIds)
{
    const int k = int(kind);
    if (m_all[k] && m_uncertain[k].isEmpty())
        return;
    QStringList missing;
    QSet<QString> asked;
    QHash<QString, Found> &known = m_known[k];
    // A server that holds ObjectIDs as GUIDs refuses to compare them with any
    // other text (SQL Server: a conversion error): such a text names no row.
    const bool byValue = m_ctx.db().matchesObjectIdsByValue(m_ctx.state().gConnectionString);
    for (const QString &id : objectIds) {
        const QString n = normalizedObjectId(id);
        if (byValue && !isGuidText(n)) {
            known.insert(n, Found{});
            continue;
        }
        if (!known.contains(n) && !asked.contains(n) && (!m_all[k] || m_uncertain[k].contains(n))) {
            asked.insert(n);
            missing << n;
        }
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

void DestinationLookup::readAll(Kind kind)
{
    if (!m_all[int(kind)] && !m_triedAll[int(kind)])
        fetchAll(kind);
}

bool DestinationLookup::fetchAll(Kind kind)
{
    m_triedAll[int(kind)] = true;
    QHash<QString, Found> every;
    QSet<QString> uncertain;
    platform::DbError err;
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
                               &err))
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
    // A look-up that could not be run is reported; the text then says what the caller asked for.
    const auto unreadName = [&](const platform::DbError &error, const QString &prefix) {
        reportActionError(error);
        return unread == UnreadDestination::ObjectId ? prefix + DestinationObjectID : invalid;
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
