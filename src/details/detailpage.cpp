#include "details/detailpage.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/localize.h"
#include "common/objectid.h"
#include "details/actiontext.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "details/ownerlookup.h"
#include "details/pagebuild.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace quillor {

using platform::Recordset;

void DetailPage::showNotFound(QWidget *content, SelectedObject &selected)
{
    content->setEnabled(false);
    // No later command may act on the object shown before.
    selected = SelectedObject{};
    emit titleChanged(QString());
}

void showTextsFromStart(QWidget *page)
{
    if (!page)
        return;
    for (QLineEdit *box : page->findChildren<QLineEdit *>()) {
        // A number box keeps its own cursor.
        if (!qobject_cast<QAbstractSpinBox *>(box->parentWidget()))
            box->setCursorPosition(0);
    }
}

QString contactRuleAlias(int index)
{
    static const char *const aliases[] = {"Standard", "Off Hours", "Alternate"};
    return index >= 0 && index < 3 ? QString::fromLatin1(aliases[index]) : QString();
}

QString greetingRuleAlias(int index)
{
    static const char *const aliases[] = {"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
    return index >= 0 && index < 6 ? QString::fromLatin1(aliases[index]) : QString();
}

QString greetingLinkCode(int index)
{
    static const char *const codes[] = {"STD", "OFF", "BSY", "ALT", "INT", "ERR"};
    return index >= 0 && index < 6 ? QString::fromLatin1(codes[index]) : QString();
}

bool showStoredTransfer(const Recordset &rule, QComboBox *transferType, QRadioButton *ringPhone,
                        QRadioButton *sendToGreeting)
{
    const bool release =
        !rule.isNull(QStringLiteral("TransferType")) && rule.field(QStringLiteral("TransferType")).toInt() == 0;
    selectComboText(transferType, release ? QStringLiteral("Release") : QStringLiteral("Supervised"));
    const bool rings = !rule.isNull(QStringLiteral("Action")) && rule.field(QStringLiteral("Action")).toInt() == 1;
    (rings ? ringPhone : sendToGreeting)->setChecked(true);
    return rings;
}

PageLoad::PageLoad(AppContext &ctx, const QString &procedure)
    : m_ctx(ctx), m_procedure(procedure), m_now(platform::Seams::clock().now()),
      m_destinations(std::make_unique<DestinationLookup>(ctx))
{
}

PageLoad::~PageLoad() = default;

Recordset PageLoad::open(const QString &sql, const QVariantList &params) const
{
    platform::DbError error;
    Recordset rs = openAhead(sql, params, error);
    if (!rs.isOpen())
        report(error.number, error.description);
    return rs;
}

Recordset PageLoad::openAhead(const QString &sql, const QVariantList &params, platform::DbError &error) const
{
    return m_ctx.db().open(m_ctx.state().gConnectionString, sql, params, &error);
}

Recordset PageLoad::menuAhead(const QString &handlerObjectId, platform::DbError &error) const
{
    return openAhead(QStringLiteral("SELECT * FROM vw_MenuEntry WHERE ParentObjectID=?"),
                     {normalizedObjectId(handlerObjectId)}, error);
}

void PageLoad::lookUpDestinations(std::initializer_list<ActionColumns> actions) const
{
    QList<DestinationLookup::Action> all;
    for (const ActionColumns &columns : actions) {
        const Recordset &rs = columns.rows;
        const int conversation = rs.fieldIndex(columns.conversation);
        const int action = rs.fieldIndex(columns.action);
        const int destination = rs.fieldIndex(columns.destination);
        if (conversation < 0 || action < 0 || destination < 0)
            continue;
        for (int r = 0; r < rs.RecordCount(); ++r) {
            const QVariant code = rs.value(r, action);
            if (!code.isNull())
                all.push_back({rs.value(r, conversation).toString(), qint16(code.toInt()), rs.value(r, destination).toString()});
        }
    }
    m_destinations->prefetchFor(all);
}

void PageLoad::report(int number, const QString &description) const
{
    reportError(number, description, m_procedure, QStringLiteral("Form"), QStringLiteral("frmMain"));
}

void PageLoad::log(const QString &text) const { m_ctx.log().logMessage(m_procedure + QStringLiteral(": ") + text); }

bool PageLoad::isTrue(const Recordset &rs, const QString &column)
{
    return !rs.isNull(column) && rs.field(column).toInt() != 0;
}

QString PageLoad::actionText(const Recordset &rs, const QString &conversation, const QString &action,
                             const QString &destination) const
{
    if (rs.isNull(action))
        return {};
    return strConstructActionString(m_ctx, rs.text(conversation), qint16(rs.field(action).toInt()), rs.text(destination),
                                    m_destinations.get());
}

void PageLoad::selectPosition(QComboBox *list, const Recordset &rs, const QString &column) const
{
    const int position = rs.isNull(column) ? -1 : rs.field(column).toInt();
    if (position == -1) {
        clearComboSelection(list);
        return;
    }
    if (!selectComboIndex(list, position))
        report(380, QStringLiteral("Invalid property value"));
}

void PageLoad::selectLanguage(QComboBox *list, const Recordset &rs, const QString &column) const
{
    if (rs.isNull(column)) {
        selectEntry(list, QStringLiteral("Inherited"), QStringLiteral("language"));
        return;
    }
    bool ok = false;
    const int lcid = rs.text(column).trimmed().toInt(&ok);
    if (!ok) {
        report(13, QStringLiteral("Type mismatch"));
        return;
    }
    QString name;
    if (lcid == 0) {
        // No language of its own: the code tables read it as their default language.
        name = strLanguageDisplayName(strLanguageCodeFromLCID(lcid));
    } else {
        // The list carries each language's LCID, so the stored LCID picks its
        // entry even where two LCIDs share a three-letter code.
        const int entry = list->findData(lcid);
        if (entry > 0) {
            selectComboIndex(list, entry);
            return;
        }
        name = strLanguageNameFromLCID(lcid);
        if (name == QLatin1String("(error)"))
            name = QStringLiteral("LCID %1").arg(lcid);
    }
    selectEntry(list, name, QStringLiteral("language"));
}

void PageLoad::selectEntry(QComboBox *list, const QString &text, const QString &what) const
{
    if (!selectComboText(list, text))
        log(QStringLiteral("the %1 \"%2\" is not in the list %3").arg(what, text, list->objectName()));
}

StoredExpiry PageLoad::expiry(const Recordset &rs, const QString &column) const
{
    if (rs.isNull(column))
        return {};
    const QDateTime stored = rs.dateField(column);
    if (!stored.isValid()) {
        report(13, QStringLiteral("Type mismatch"));
        return {false, {}};
    }
    // Expiry is kept in universal time.
    return {true, QDateTime(stored.date(), stored.time(), Qt::UTC)};
}

PageLoad::Owner PageLoad::findOwner(const Recordset &rs, const QString &column, qint16 kindWhenNull) const
{
    Owner owner{kindWhenNull, {}};
    if (!rs.isNull(column))
        owner.kind = TolvaDBFindSubscriberOrDLbyObjectID(m_ctx, rs.text(column), owner.name);
    return owner;
}

StoredExpiry PageLoad::fillGreeting(const Recordset &rs, const GreetingControls &g) const
{
    g.afterGreetingAction->setText(
        actionText(rs, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")));
    g.allowInput->setChecked(!isTrue(rs, QStringLiteral("IgnoreDigits")));
    const StoredExpiry expires = expiry(rs, QStringLiteral("TimeExpires"));
    g.enabled->setChecked(expires.activeAt(nowUtc()));
    g.streamPath->setText(rs.isNull(QStringLiteral("StreamPath")) ? QStringLiteral("(none)")
                                                                  : rs.text(QStringLiteral("StreamPath")));
    selectPosition(g.source, rs, QStringLiteral("PlayWhat"));
    selectPosition(g.repeat, rs, QStringLiteral("Reprompts"));
    g.objectId->setText(rs.text(QStringLiteral("MessagingRuleObjectID")));
    // A greeting whose state cannot be read is shown but cannot be changed.
    g.frame->setEnabled(expires.readable);
    return expires;
}

void PageLoad::fillMessageSettings(const Recordset &handler, const MessageControls &m) const
{
    m.maxMessageLength->setText(handler.text(QStringLiteral("MaxMsgLen")).trimmed());
    setTag(m.maxMessageLength, m.maxMessageLength->text());
    m.canEditMessages->setChecked(isTrue(handler, QStringLiteral("EditMsg")));
    selectPosition(m.canMarkUrgent, handler, QStringLiteral("SendUrgentMsg"));
    m.afterMessageAction->setText(actionText(handler, QStringLiteral("AfterMessageConversation"),
                                             QStringLiteral("AfterMessageAction"), QStringLiteral("AfterMessageObjectID")));
}

void PageLoad::fillKeyGrid(Recordset &entries, KeyGridWidget *grid, const QString &missingMessage) const
{
    for (int row = KeyGridWidget::kFirstKeyRow; row <= KeyGridWidget::kLastKeyRow; ++row) {
        const QString key = KeyGridWidget::keyOfRow(row);
        entries.MoveFirst();
        if (!entries.Find(QStringLiteral("Alias"), key)) {
            platform::msgBox(missingMessage + key);
            continue;
        }
        grid->setEntry(row, isTrue(entries, QStringLiteral("Locked")),
                       actionText(entries, QStringLiteral("ConversationName"), QStringLiteral("Action"),
                                  QStringLiteral("DestinationObjectID")),
                       entries.text(QStringLiteral("MenuEntryObjectID")));
    }
}

} // namespace quillor
