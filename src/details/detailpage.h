#pragma once
// What the four detail pages share: the edit lock and the title signal
// (DetailPage), and the reading of a server row onto controls (PageLoad).
//
// A page's loader first empties the whole page (texts, selections, Tags,
// hidden ObjectIDs, the key grid), then fills what it finds. What it cannot
// fill stays empty and disabled, so nothing of the object shown before can be
// seen or written. When the object itself is not found, the page is disabled
// and nothing is named as shown.

#include "details/editlock.h"
#include "details/selectedobject.h"
#include "platform/database.h"

#include <QDateTime>
#include <QWidget>
#include <initializer_list>
#include <memory>

class QComboBox;
class QRadioButton;

namespace quillor {

class AppContext;
class DestinationLookup;
class KeyGridWidget;
struct GreetingControls;
struct MessageControls;

class DetailPage : public QWidget {
    Q_OBJECT
public:
    // The page's editable controls that nothing writes yet (see EditLock).
    EditLock &editLock() { return m_lock; }

signals:
    // The name of the object being loaded, as soon as it is read; "" when
    // the object was not found.
    void titleChanged(const QString &displayName);

protected:
    using QWidget::QWidget;
    // The object was not found: `content` is disabled and nothing is shown.
    void showNotFound(QWidget *content, SelectedObject &selected);

    EditLock m_lock;
};

// A stored expiry (universal time). An unreadable value is reported when read
// and counts as neither on nor off: the rule cannot be used.
struct StoredExpiry {
    bool readable = true;
    QDateTime utc; // invalid: never expires
    bool activeAt(const QDateTime &nowUtc) const { return readable && (!utc.isValid() || utc > nowUtc); }
};

// Puts every text box of a loaded page back to the start of its text: a
// text longer than its box (an action, a path, a name) shows how it begins,
// not how it ends, as setting a box's text would leave it.
void showTextsFromStart(QWidget *page);

// The alias a handler's rule of that index is stored under: transfer rules
// 0 Standard, 1 Off Hours, 2 Alternate; greetings 0 Standard, 1 Off Hours,
// 2 Busy, 3 Alternate, 4 Internal, 5 Error. "" for any other index.
QString contactRuleAlias(int index);
QString greetingRuleAlias(int index);
// The code a greeting of that index goes by in the routing tree ("STD",
// "OFF", "BSY", "ALT", "INT", "ERR"); "" for any other index.
QString greetingLinkCode(int index);

// A transfer rule's stored type and action shown in its list and option pair:
// only a stored 0 is a release transfer (anything else, Null too, is
// supervised) and only a stored 1 rings the phone. True when it rings.
bool showStoredTransfer(const platform::Recordset &rule, QComboBox *transferType, QRadioButton *ringPhone,
                        QRadioButton *sendToGreeting);

// One load of a page: its context, the present moment, and its failures
// reported as the loader's own "(error):" messages.
class PageLoad {
public:
    PageLoad(AppContext &ctx, const QString &procedure);
    ~PageLoad();

    AppContext &ctx() const { return m_ctx; }
    const QDateTime &now() const { return m_now; }
    QDateTime nowUtc() const { return m_now.toUTC(); }

    // A query on the main database; a failure is reported and gives a closed recordset.
    platform::Recordset open(const QString &sql, const QVariantList &params) const;
    // The same read ahead of where the page shows its rows: a failure is left
    // in `error` for the page to report there (a closed recordset).
    platform::Recordset openAhead(const QString &sql, const QVariantList &params, platform::DbError &error) const;
    // The one-key menu of a call handler (a subscriber's: of its primary call
    // handler), read ahead so that the destinations of every action the page
    // shows are looked up at once; a failure shows where the menu does.
    platform::Recordset menuAhead(const QString &handlerObjectId, platform::DbError &error) const;
    void report(int number, const QString &description) const;
    // A line in the run's log, for what is odd but no failure.
    void log(const QString &text) const;

    static bool isTrue(const platform::Recordset &rs, const QString &column);
    // The actions in three columns of every row of a recordset.
    struct ActionColumns {
        const platform::Recordset &rows;
        QString conversation;
        QString action;
        QString destination;
    };
    // Looks up at once the destinations of every action the page is going to
    // show, before the first of their texts is made: one query for the page.
    void lookUpDestinations(std::initializer_list<ActionColumns> actions) const;
    // The display text of the action in three columns; "" when the action is Null.
    QString actionText(const platform::Recordset &rs, const QString &conversation, const QString &action,
                       const QString &destination) const;
    // Selects the entry at the stored position. Null or -1 (no choice made)
    // selects nothing; a code the list has no entry for is reported.
    void selectPosition(QComboBox *list, const platform::Recordset &rs, const QString &column) const;
    // A stored LCID: Null is "Inherited", 0 the language its code names, any
    // other the entry carrying that LCID; one the list lacks selects nothing
    // (the name shows greyed) and goes to the log.
    void selectLanguage(QComboBox *list, const platform::Recordset &rs, const QString &column) const;
    // Selects the entry whose text is `text`; one the list lacks selects
    // nothing and goes to the log, naming `what` it is.
    void selectEntry(QComboBox *list, const QString &text, const QString &what) const;
    StoredExpiry expiry(const platform::Recordset &rs, const QString &column) const;

    // Owner, recipient or search list named by an ObjectID column: its kind
    // (1, 2 or 97) and name; `kindWhenNull` and "" when the column is Null.
    struct Owner {
        qint16 kind = 0;
        QString name;
    };
    Owner findOwner(const platform::Recordset &rs, const QString &column, qint16 kindWhenNull) const;

    // The parts both handler pages share, from the current row of `rs`.
    StoredExpiry fillGreeting(const platform::Recordset &rs, const GreetingControls &g) const;
    void fillMessageSettings(const platform::Recordset &handler, const MessageControls &m) const;
    // Each key's entry from `entries`; a missing key is `missingMessage`
    // followed by the key, and its row stays empty.
    void fillKeyGrid(platform::Recordset &entries, KeyGridWidget *grid, const QString &missingMessage) const;

private:
    AppContext &m_ctx;
    QString m_procedure;
    QDateTime m_now;
    // What the page's action texts name, looked up for all of them at once.
    std::unique_ptr<DestinationLookup> m_destinations;
};

} // namespace quillor
