#pragma once
// Every call handler's links read in three passes over whole views, for a
// walk that opens most of the routing tree ("Expand all nodes"): a few
// passes cost far less than one query per object. What is read is kept
// compact (each distinct text once) and handed out per object exactly as
// the query for one object returns it.

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace quillor {

namespace platform {
class Database;
struct DbError;
}

class LinkTable {
public:
    // One row of what opening an object reads: its handler row, a menu
    // entry or a greeting (without alias, action and destination when the
    // greetings are only counted).
    enum RowKind { MenuRow = 0, GreetingRow = 1, HandlerRow = 2 };
    struct Row {
        int kind = MenuRow;
        QString alias;
        QVariant action;
        QString conversation;
        QString destination;
        QString handlerId; // the handler row's CallHandlerObjectID as stored
    };

    enum ReadResult { Read, TooLarge, Failed };
    // Reads every handler row, menu entry and greeting (or only the number of
    // greetings of each object). TooLarge when the server has more than
    // `maxHandlers` call handlers (handlers() tells how many); Failed when a
    // read failed (`error` says why) or the stored ObjectIDs are not in a
    // form the table can vouch for. Only what was Read is kept.
    ReadResult read(platform::Database &db, const QString &connection, bool greetingLinks, qint64 maxHandlers,
                    platform::DbError *error = nullptr);
    qint64 handlers() const { return m_handlers; }

    // The rows of the object whose normalised ObjectID is `key` into `rows`,
    // in the order the server returns them for that one object (the handler
    // row, the menu entries, the greetings); none when the server holds
    // nothing for it. False when the table cannot answer for that key: the
    // server is asked.
    bool rowsOf(const QString &key, std::vector<Row> &rows) const;

    // An ObjectID as the 128 bits it stands for: hashed and compared far
    // faster than its text, and this table looks up a quarter million of them.
    struct Guid {
        quint64 high = 0;
        quint64 low = 0;
        bool operator==(const Guid &) const = default;
        friend size_t qHash(const Guid &g, size_t seed = 0) noexcept { return qHashMulti(seed, g.high, g.low); }
    };

private:
    struct Stored {
        quint32 object;
        quint32 alias;
        quint32 conversation;
        quint32 destination;
        quint32 action;
        quint8 kind;
    };
    struct Object {
        quint32 first = 0; // into m_rows, once grouped by object
        quint32 count = 0;
        int countedGreetings = 0;
    };
    quint32 text(const QString &value);
    quint32 action(const QVariant &value);
    // The object a stored ParentObjectID names, or none.
    std::optional<quint32> objectOf(const QString &stored);

    std::vector<QString> m_texts;
    std::vector<quint32> m_fewTexts; // the first texts that are not ObjectIDs
    QHash<QString, quint32> m_textIds;
    QHash<Guid, quint32> m_guidTexts; // texts that are ObjectIDs in normalised form
    std::vector<QVariant> m_actions;
    quint32 m_lastAction = 0;
    QHash<Guid, quint32> m_objectIds; // -> index into m_objects
    std::vector<Object> m_objects;
    std::vector<Stored> m_rows;
    // ObjectIDs stored in a form the server may or may not match with the
    // normalised one: those objects are asked for one by one.
    QSet<Guid> m_uncertain;
    bool m_byValue = false; // the server compares ObjectIDs as GUIDs: none is uncertain
    QString m_lastStored; // the last stored ObjectID objectOf was asked about, and its answer
    std::optional<quint32> m_lastObject;
    qint64 m_handlers = 0;
};

} // namespace quillor
