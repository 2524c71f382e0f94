#pragma once
// The display text of an action (action code, conversation name, destination),
// as the routing tree, the detail pages and the audit lines show it.

#include "platform/database.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>

namespace quillor {

class AppContext;

// Conversation names the system knows.
namespace conv {
inline const QString SubSignIn = QStringLiteral("SubSignIn");
inline const QString GreetingsAdministrator = QStringLiteral("GreetingsAdministrator");
inline const QString BroadcastMessageAdministrator = QStringLiteral("BroadcastMessageAdministrator");
inline const QString AD = QStringLiteral("AD");
inline const QString ConvHotelCheckedOut = QStringLiteral("ConvHotelCheckedOut");
inline const QString ConvCVMMBoxReset = QStringLiteral("ConvCVMMBoxReset");
inline const QString CxConvSystemTransfer = QStringLiteral("CxConvSystemTransfer");
inline const QString CxConvSubSystemTransfer = QStringLiteral("CxConvSubSystemTransfer");
inline const QString CxConvEasySignIn = QStringLiteral("CxConvEasySignIn");
inline const QString PHGreeting = QStringLiteral("PHGreeting");
inline const QString PHTransfer = QStringLiteral("PHTransfer");
inline const QString CHInterview = QStringLiteral("CHInterview");
inline const QString TransferAltContactNumber = QStringLiteral("TransferAltContactNumber");
} // namespace conv

// Looks destinations up in the main database. A batch of actions (the links of
// one tree node) is fetched ahead in one query per view, so each link does not
// cost queries of its own; a destination not fetched ahead is queried alone.
// A look-up asked about many objects of a kind (a walk over the routing tree)
// reads every row of that kind at once instead: one pass over the view costs
// less than a few thousand queries for a few rows each.
class DestinationLookup {
public:
    enum class Kind { CallHandler, Subscriber, NameLookupHandler, InterviewHandler };

    struct Found {
        int count = 0;           // rows with that ObjectID: exactly 1 is "found"
        bool isPrimary = false;  // call handlers: a subscriber's primary call handler
        QVariant name;           // TextName, or DisplayName for a subscriber; may be Null
        QString recipientObjectId; // call handlers: RecipientObjectID
        bool failed = false;     // the query could not be run
        platform::DbError error;
        bool found() const { return count == 1; }
    };

    // Past `readAllAfter` objects of one kind fetched a few at a time, the
    // next fetch of that kind reads them all.
    explicit DestinationLookup(AppContext &ctx, int readAllAfter = 2000);

    // Fetches every given ObjectID of one kind that is not known yet.
    void prefetch(Kind kind, const QStringList &objectIds);
    // An action as its text is made from it.
    struct Action {
        QString conversation;
        qint16 action = 0;
        QString destination;
    };
    // Fetches in one query every destination the texts of these actions name
    // that is not known yet, a subscriber's primary call handler with its
    // subscriber (the page of one object asks once for all its actions).
    // Nothing is fetched when the query fails: each text then asks alone.
    void prefetchFor(const QList<Action> &actions);
    // The same for ObjectIDs of each kind (by Kind); a walk's worth, or a kind
    // about to be read whole, goes a query per kind as prefetch does. A query
    // of its own that fails sets `error`: a walk that lost its connection
    // asks nothing more of it.
    void prefetchTogether(const std::array<QStringList, 4> &wanted, platform::DbError *error = nullptr);
    // Reads every row of the kind at once (a walk that is going to ask about
    // most of them); whether every row is known, `error` set when a read now failed.
    bool readAll(Kind kind, platform::DbError *error = nullptr);
    // Whether every row of the kind has been read: nothing needs fetching ahead any more.
    bool knowsAll(Kind kind) const { return m_all[int(kind)]; }
    // The rows of one ObjectID (queried now when not fetched ahead).
    Found find(Kind kind, const QString &objectId);

private:
    // Whether an ObjectID must still be asked of the server (noted in `asked`
    // when it must); a text that is no GUID names no row on a server that holds ObjectIDs as GUIDs.
    bool stillToAsk(Kind kind, const QString &normalizedId, bool byValue, QSet<QString> &asked);
    void fetch(Kind kind, const QStringList &normalizedIds);
    // Every row of the kind's view; false (with `error`) when the query failed.
    bool fetchAll(Kind kind, platform::DbError *error = nullptr);
    static void count(Kind kind, Found &f, const QVariantList &row);
    AppContext &m_ctx;
    QHash<QString, Found> m_known[4];
    int m_readAllAfter;
    int m_fetched[4] = {}; // objects fetched a few at a time so far
    bool m_all[4] = {};    // every row is known: an ObjectID not among them is not there
    QSet<QString> m_uncertain[4]; // ... except these, stored in another form: asked for one by one
    bool m_triedAll[4] = {};
};

// What the text says of a destination whose look-up could not be run: an
// invalid link, with the failure shown, or (for an action just written, which
// names it all the same) the destination's ObjectID in place of its name, with
// the failure written to the log alone: nothing says the write failed.
enum class UnreadDestination { InvalidLink, ObjectId };

// The text of one action. Destinations are looked up through `lookup` when one
// is given, else each by its own query.
QString strConstructActionString(AppContext &ctx, const QString &ConversationName, qint16 Action,
                                 const QString &DestinationObjectID, DestinationLookup *lookup = nullptr,
                                 UnreadDestination unread = UnreadDestination::InvalidLink);

} // namespace quillor
