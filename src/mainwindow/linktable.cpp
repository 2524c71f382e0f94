#include "mainwindow/linktable.h"

#include "common/objectid.h"
#include "platform/database.h"

namespace quillor {

namespace {

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// The GUID of a braced ObjectID ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in
// either case); `normalised` tells whether the text is in upper case.
std::optional<LinkTable::Guid> bracedGuid(QStringView s, bool *normalised = nullptr)
{
    if (s.size() != 38 || s.front() != u'{' || s.back() != u'}')
        return std::nullopt;
    LinkTable::Guid g;
    bool upper = true;
    int digits = 0;
    for (qsizetype i = 1; i < 37; ++i) {
        const char16_t c = s[i].unicode();
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != u'-')
                return std::nullopt;
            continue;
        }
        const int v = hexValue(c);
        if (v < 0)
            return std::nullopt;
        upper = upper && !(c >= u'a' && c <= u'f');
        quint64 &word = digits < 16 ? g.high : g.low;
        word = (word << 4) | quint64(v);
        ++digits;
    }
    if (normalised)
        *normalised = upper;
    return g;
}

} // namespace

quint32 LinkTable::text(const QString &value)
{
    // A Null stays apart from "" (index 0 is the Null text).
    if (value.isNull())
        return 0;
    bool normalised = false;
    const std::optional<Guid> guid = bracedGuid(value, &normalised);
    if (guid && normalised) {
        const auto it = m_guidTexts.constFind(*guid);
        if (it != m_guidTexts.cend())
            return *it;
    } else {
        // Aliases and conversation names: a few short texts, found faster by comparing than by hashing.
        for (const quint32 id : m_fewTexts)
            if (m_texts[id] == value)
                return id;
        if (const auto it = m_textIds.constFind(value); it != m_textIds.cend())
            return *it;
    }
    const auto id = quint32(m_texts.size());
    m_texts.push_back(value);
    if (guid && normalised)
        m_guidTexts.insert(*guid, id);
    else if (m_fewTexts.size() < 32)
        m_fewTexts.push_back(id);
    else
        m_textIds.insert(value, id);
    return id;
}

quint32 LinkTable::action(const QVariant &value)
{
    // A handful of distinct actions, each kept once with its type; the one
    // of the row before mostly comes again.
    const auto same = [&value](const QVariant &known) {
        return known.metaType() == value.metaType() && known.isNull() == value.isNull()
               && (value.isNull() || known == value);
    };
    if (m_lastAction < m_actions.size() && same(m_actions[m_lastAction]))
        return m_lastAction;
    for (m_lastAction = 0; m_lastAction < m_actions.size(); ++m_lastAction) {
        if (same(m_actions[m_lastAction]))
            return m_lastAction;
    }
    m_actions.push_back(value);
    return m_lastAction;
}

std::optional<quint32> LinkTable::objectOf(const QString &stored)
{
    // An object's rows mostly come one after another.
    if (stored == m_lastStored)
        return m_lastObject;
    m_lastStored = stored;
    // The server compares the stored text without regard to case, so a braced
    // GUID in either case is the object of its normalised ObjectID; so is
    // every form of it on a server that compares ObjectIDs as GUIDs.
    std::optional<Guid> guid = bracedGuid(m_byValue ? normalizedObjectId(stored) : stored);
    if (!guid) {
        // Any other form of a GUID (no braces, blanks) may or may not match:
        // that object is left to its own query. Other texts name no object.
        if (const std::optional<Guid> other = bracedGuid(normalizedObjectId(stored)))
            m_uncertain.insert(*other);
        m_lastObject = std::nullopt;
        return m_lastObject;
    }
    auto it = m_objectIds.constFind(*guid);
    if (it == m_objectIds.cend()) {
        it = m_objectIds.insert(*guid, quint32(m_objects.size()));
        m_objects.emplace_back();
    }
    m_lastObject = *it;
    return m_lastObject;
}

LinkTable::ReadResult LinkTable::read(platform::Database &db, const QString &connection, bool greetingLinks,
                                      qint64 maxHandlers, platform::DbError *error)
{
    *this = LinkTable();
    m_byValue = db.matchesObjectIdsByValue(connection);
    m_texts.push_back(QString());
    const auto store = [this](quint8 kind, const QVariantList &row) {
        // ParentObjectID (or CallHandlerObjectID), Alias, Action, ConversationName, DestinationObjectID
        if (const auto object = objectOf(row[0].toString())) {
            const quint32 alias = text(kind == HandlerRow ? row[0].toString() : row[1].toString());
            m_rows.push_back(Stored{*object, alias, text(row[3].toString()), text(row[4].toString()), action(row[2]), kind});
        }
    };
    const auto finish = [this](ReadResult result) {
        const qint64 handlers = m_handlers;
        if (result != Read)
            *this = LinkTable();
        m_handlers = handlers;
        return result;
    };
    if (!db.forEachRow(connection,
                       QStringLiteral("SELECT CallHandlerObjectID, NULL AS Alias, AfterMessageAction, "
                                      "AfterMessageConversation, AfterMessageObjectID FROM vw_CallHandler"),
                       {}, [&](const QVariantList &row) {
                           ++m_handlers;
                           store(HandlerRow, row);
                       },
                       error))
        return finish(Failed);
    if (m_handlers > maxHandlers)
        return finish(TooLarge);
    // Twelve keys and six greetings a handler, as a rule.
    m_rows.reserve(size_t(m_handlers) * (greetingLinks ? 19 : 13));
    if (!db.forEachRow(connection,
                       QStringLiteral("SELECT ParentObjectID, Alias, Action, ConversationName, DestinationObjectID FROM "
                                      "vw_MenuEntry"),
                       {}, [&](const QVariantList &row) { store(MenuRow, row); }, error))
        return finish(Failed);
    const bool greetingsRead =
        greetingLinks
            ? db.forEachRow(connection,
                            QStringLiteral("SELECT ParentObjectID, Alias, Action, ConversationName, DestinationObjectID "
                                           "FROM vw_MessagingRule"),
                            {}, [&](const QVariantList &row) { store(GreetingRow, row); }, error)
            : db.forEachRow(connection,
                            QStringLiteral("SELECT ParentObjectID, COUNT(*) AS Rules FROM vw_MessagingRule GROUP BY "
                                           "ParentObjectID"),
                            {}, [&](const QVariantList &row) {
                                if (const auto object = objectOf(row[0].toString()))
                                    m_objects[*object].countedGreetings += row[1].toInt();
                            },
                            error);
    // Mostly ObjectIDs in another form (a server that hands them out without
    // braces): asking for each object costs less than this table would save.
    if (!greetingsRead || m_uncertain.size() > m_objectIds.size())
        return finish(Failed);
    // Each object's rows together, in the order they were read.
    for (const Stored &row : m_rows)
        ++m_objects[row.object].count;
    std::vector<quint32> next(m_objects.size());
    quint32 first = 0;
    for (size_t i = 0; i < m_objects.size(); ++i) {
        m_objects[i].first = next[i] = first;
        first += m_objects[i].count;
    }
    std::vector<Stored> grouped(m_rows.size());
    for (const Stored &row : m_rows)
        grouped[next[row.object]++] = row;
    m_rows = std::move(grouped);
    // Only needed while reading.
    m_lastStored.clear();
    m_textIds.clear();
    m_guidTexts.clear();
    m_fewTexts.clear();
    return finish(Read);
}

bool LinkTable::rowsOf(const QString &key, std::vector<Row> &rows) const
{
    bool normalised = false;
    const std::optional<Guid> guid = bracedGuid(key, &normalised);
    if (!guid || !normalised || m_uncertain.contains(*guid))
        return false;
    const auto it = m_objectIds.constFind(*guid);
    const Object none;
    const Object &o = it == m_objectIds.cend() ? none : m_objects[*it];
    // Row by row into what `rows` holds already: a walk asks for twenty thousand objects.
    rows.resize(o.count + size_t(o.countedGreetings));
    for (quint32 i = 0; i < o.count; ++i) {
        const Stored &s = m_rows[o.first + i];
        Row &row = rows[i];
        row.kind = s.kind;
        row.alias = s.kind == HandlerRow ? QString() : m_texts[s.alias];
        row.handlerId = s.kind == HandlerRow ? m_texts[s.alias] : QString();
        row.action = m_actions[s.action];
        row.conversation = m_texts[s.conversation];
        row.destination = m_texts[s.destination];
    }
    // Greetings only counted come as rows of their own, as the count query gives them.
    for (size_t i = o.count; i < rows.size(); ++i)
        rows[i] = Row{GreetingRow, {}, {}, {}, {}, {}};
    return true;
}

} // namespace quillor
