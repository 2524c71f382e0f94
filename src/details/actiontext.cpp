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
    if (m_all[int(kind)])
        return;
    QStringList missing;
    QSet<QString> asked;
    QHash<QString, Found> &known = m_known[int(kind)];
    for (const QString &id : objectIds) {
        const QString n = normalizedObjectId(id);
        if (!known.contains(n) && !asked.contains(n)) {
            asked.insert(n);
            missing << n;
        }
    }
    if (missing.isEmpty())
        return;
    m_fetched[int(kind)] += int(missing.size());
    if (m_fetched[int(kind)] > m_readAllAfter && !m_triedAll[int(kind)] && fetchAll(kind))
        return;
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
    platform::DbError err;
    platform::Recordset rs = m_ctx.db().open(m_ctx.state().gConnectionString, sql, params, &err);
    if (!rs.isOpen()) {
        for (const QString &id : ids) {
            Found f;
            f.failed = true;
            f.error = err;
            known.insert(id, f);
        }
        return;
    }
    for (const QString &id : ids)
        known.insert(id, Found{});
    store(kind, rs, false);
}

bool DestinationLookup::fetchAll(Kind kind)
{
    m_triedAll[int(kind)] = true;
    platform::DbError err;
    platform::Recordset rs = m_ctx.db().open(m_ctx.state().gConnectionString, selectFrom(viewOf(kind)), {}, &err);
    if (!rs.isOpen())
        return false; // fetched a few at a time as before
    store(kind, rs, true);
    m_all[int(kind)] = true;
    return true;
}

// The rows' destinations into what is known; `every` takes each ObjectID
// read, otherwise only those asked for (entered beforehand).
void DestinationLookup::store(Kind kind, platform::Recordset &rs, bool every)
{
    const ViewInfo &v = viewOf(kind);
    QHash<QString, Found> &known = m_known[int(kind)];
    if (every) {
        // What was asked for before is read again with the rest.
        for (Found &f : known) {
            if (!f.failed)
                f = Found{};
        }
    }
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        const QString id = normalizedObjectId(rs.text(QLatin1String(v.key)));
        auto it = known.find(id);
        if (it == known.end()) {
            if (!every)
                continue;
            it = known.insert(id, Found{});
        }
        Found &f = *it;
        if (f.failed)
            f = Found{};
        ++f.count;
        f.name = rs.field(QLatin1String(v.name));
        if (v.handler) {
            f.isPrimary = !rs.isNull(QStringLiteral("IsPrimary")) && rs.field(QStringLiteral("IsPrimary")).toInt() != 0;
            f.recipientObjectId = rs.text(QStringLiteral("RecipientObjectID"));
        }
    }
}

DestinationLookup::Found DestinationLookup::find(Kind kind, const QString &objectId)
{
    const QString n = normalizedObjectId(objectId);
    QHash<QString, Found> &known = m_known[int(kind)];
    // With every row of the kind read, one not among them is not there.
    if (!known.contains(n) && !m_all[int(kind)])
        prefetch(kind, {n});
    return known.value(n);
}

QString strConstructActionString(AppContext &ctx, const QString &ConversationName, qint16 Action,
                                 const QString &DestinationObjectID, DestinationLookup *lookup)
{
    DestinationLookup own(ctx);
    DestinationLookup &look = lookup ? *lookup : own;
    using Kind = DestinationLookup::Kind;
    const QString invalid = QStringLiteral("Invalid Link!");

    // A Null name has nothing to join: the text stays as it was.
    const auto named = [](const QString &prefix, const QVariant &name, QString &result) {
        if (!name.isNull())
            result = prefix + name.toString();
    };
    const auto handlerDestination = [&](const QString &prefix) {
        const auto handler = look.find(Kind::CallHandler, DestinationObjectID);
        if (handler.failed)
            reportActionError(handler.error);
        if (!handler.found())
            return invalid;
        QString result = QStringLiteral("(Error)");
        if (handler.isPrimary) {
            const auto sub = look.find(Kind::Subscriber, handler.recipientObjectId);
            if (sub.failed)
                reportActionError(sub.error);
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
            reportActionError(f.error);
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
