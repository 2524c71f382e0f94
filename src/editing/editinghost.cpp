#include "editing/editinghost.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "platform/seams.h"

#include <QTimer>

namespace quillor {

EditingHost::EditingHost(AppContext &ctx, const SelectedObject &selected, Window window, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_selected(selected), m_window(std::move(window))
{
    m_ctx.setWriteInDoubtListener([this] { reloadTabLater(); }, this);
}

EditingHost::~EditingHost() { m_ctx.setWriteInDoubtListener({}, this); }

bool EditingHost::bLoadingControls() const { return m_ctx.state().bLoadingControls; }

bool EditingHost::isShown(qint16 objectType) const
{
    return m_selected.ObjectType == objectType && isGuidText(m_selected.ObjectID);
}

void EditingHost::onceLater(bool &pending, const std::function<void()> &what)
{
    if (pending || !what)
        return;
    pending = true;
    QTimer::singleShot(0, this, [this, &pending, what] {
        pending = false;
        what();
    });
}

void EditingHost::relistGridView() { onceLater(m_relistPending, m_window.LoadGridView); }

void EditingHost::reloadTab() const
{
    if (m_window.reloadTab)
        m_window.reloadTab();
}

void EditingHost::reloadTabLater() { onceLater(m_reloadPending, m_window.reloadTab); }

void EditingHost::setTitle(const QString &caption) const
{
    if (m_window.setTitle)
        m_window.setTitle(caption);
}

platform::Recordset openShownRule(EditingHost &host, const QString &view, const QString &alias, const QString &procedure,
                                  const QString &notFound, bool forUpdate)
{
    AppContext &ctx = host.ctx();
    const QVariantList key{normalizedObjectId(host.CurrentlySelectedObject().ObjectID), alias};
    const QString where = QStringLiteral("ParentObjectID = ? AND Alias = ?");
    platform::DbError error;
    platform::Recordset rule =
        // A rule view "vw_X" is keyed by "XObjectID".
        forUpdate ? ctx.db().openForUpdate(ctx.state().gConnectionString, view, view.mid(3) + QStringLiteral("ObjectID"),
                                           where, key, &error)
                  : ctx.db().open(ctx.state().gConnectionString,
                                  QStringLiteral("SELECT * FROM %1 WHERE %2").arg(view, where), key, &error);
    if (!rule.isOpen()) {
        reportError(error.number, error.description, procedure, QStringLiteral("Form"), QStringLiteral("frmMain"));
        return rule;
    }
    if (rule.RecordCount() != 1) {
        platform::msgBox(notFound);
        rule.Close();
        return rule;
    }
    rule.MoveFirst();
    return rule;
}

QDateTime disabledDate() { return QDateTime(QDate(1993, 1, 2), QTime(0, 0)); }

std::optional<QDateTime> futureExpiry(const platform::Recordset &row, const QString &column)
{
    const QDateTime stored = row.dateField(column);
    if (!stored.isValid())
        return std::nullopt;
    const QDateTime utc(stored.date(), stored.time(), Qt::UTC);
    if (utc <= platform::Seams::clock().now().toUTC())
        return std::nullopt;
    return utc;
}

classProcParam positionParam(const QString &name, const std::optional<int> &position, qint16 type)
{
    if (!position)
        return classProcParam(name, QStringLiteral("[dontset]"), type);
    return classProcParam(name, type == 200 ? QVariant(QString::number(*position)) : QVariant(*position), type);
}

classProcParam dateParam(const QString &name, const QDateTime &value)
{
    if (!value.isValid())
        return classProcParam(name, QVariant(), 7, true);
    return classProcParam(name, value, 7);
}

} // namespace quillor
