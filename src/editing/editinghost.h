#pragma once
// What the settings editing needs of the main window, and the steps every
// write of a detail page shares.
//
// The handlers of the detail pages write to the object the pages show
// (CurrentlySelectedObject) and to no other: each write checks first that the
// shown object is of the page's kind and has a key, so a control left on a
// page of another kind, or a page whose object was not found, writes nothing.
// A write is one call of UpdateValue followed by one audit line, UPDATE or
// FAILED_UPDATE; a failure is shown once ("Failed to update database") and is
// never reported as done. A write in doubt (its connection went after it was
// sent) is told as such, and the page is loaded again after its handler.

#include "common/logging.h"
#include "common/module1.h"
#include "details/selectedobject.h"
#include "platform/database.h"

#include <QDateTime>
#include <QObject>
#include <QVariant>

#include <functional>
#include <optional>

namespace quillor {

class AppContext;

// Object type codes of the shown object.
enum ShownObjectType : qint16 { ShownSubscriber = 1, ShownCallHandler = 3, ShownInterviewer = 5, ShownNameLookup = 6 };

class EditingHost : public QObject {
    Q_OBJECT
public:
    struct Window {
        // Lists the grid view's kind again, keeping its current row (LoadGridView).
        std::function<void()> LoadGridView;
        // Loads the detail page of the shown object again
        // (LoadTabInfo(CurrentlySelectedObject.ObjectID, CurrentlySelectedObject.ObjectType)).
        std::function<void()> reloadTab;
        // The caption of the title label lblCurrentObjectDisplayName.
        std::function<void(const QString &)> setTitle;
    };

    // The host listens for the context's writes in doubt (AppContext::writeInDoubt)
    // while it lives.
    EditingHost(AppContext &ctx, const SelectedObject &selected, Window window, QObject *parent = nullptr);
    ~EditingHost() override;

    AppContext &ctx() const { return m_ctx; }
    const SelectedObject &CurrentlySelectedObject() const { return m_selected; }
    bool bLoadingControls() const;

    // True when the shown object is of `objectType` and has an ObjectID: the
    // pages' writers act only then.
    bool isShown(qint16 objectType) const;

    // Asks for the grid view to be listed again once the event that caused the
    // write has been handled: a field left by a click on a grid row keeps that
    // click on the row the user aimed at. Several requests make one listing.
    void relistGridView();
    void reloadTab() const;
    // Asks for the page to be loaded again once the event that caused a write
    // in doubt has been handled: whatever the handler put back (the Tag, the
    // value noted before the change) may be stale, and the typed value may not
    // be stored either, so the page shows what its load reads.
    void reloadTabLater();
    void setTitle(const QString &caption) const;

private:
    // `what` once the event being handled is over; requests meanwhile make one.
    void onceLater(bool &pending, const std::function<void()> &what);

    AppContext &m_ctx;
    const SelectedObject &m_selected;
    Window m_window;
    bool m_relistPending = false;
    bool m_reloadPending = false;
};

// The shown object's rule of `alias` in `view` (vw_ContactRule, vw_MessagingRule),
// opened for update when asked: exactly one row. Otherwise the recordset is
// closed after the failure was shown: a failed query as `procedure`'s
// "(error):" message, any other number of rows as `notFound`.
platform::Recordset openShownRule(EditingHost &host, const QString &view, const QString &alias, const QString &procedure,
                                  const QString &notFound, bool forUpdate = false);

// The expiry that marks a rule or greeting as switched off: 2 January 1993.
QDateTime disabledDate();

// A rule's stored expiry (universal time) when it lies after now: the rule
// is on until then. Null, unreadable or past: nullopt.
std::optional<QDateTime> futureExpiry(const platform::Recordset &row, const QString &column);

// A procedure parameter for a position-coded list: the position, or
// "[dontset]" (the stored value stays) when nothing is selected.
classProcParam positionParam(const QString &name, const std::optional<int> &position, qint16 type);

// A date parameter that is Null when `value` is invalid.
classProcParam dateParam(const QString &name, const QDateTime &value);

} // namespace quillor
