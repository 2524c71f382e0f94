#include "reports/schedules.h"

#include "common/appcontext.h"
#include "common/module1.h"

namespace quillor {

using platform::DbError;

namespace {

// A stored value compared with one read or written: day masks byte for byte,
// the holiday flag as a number, Null only with Null.
bool sameValue(const QVariant &stored, const QVariant &other)
{
    if (stored.isNull() || other.isNull())
        return stored.isNull() && other.isNull();
    if (stored.typeId() == QMetaType::QByteArray || other.typeId() == QMetaType::QByteArray)
        return stored.toByteArray() == other.toByteArray();
    return stored.toLongLong() == other.toLongLong();
}

bool sameSchedule(const QVariant &ignoreHolidays, const std::array<QVariant, 7> &days, const QVariant &otherIgnore,
                  const std::array<QVariant, 7> &otherDays)
{
    if (!sameValue(ignoreHolidays, otherIgnore))
        return false;
    for (size_t d = 0; d < days.size(); ++d)
        if (!sameValue(days[d], otherDays[d]))
            return false;
    return true;
}

// After a save whose COMMIT's answer was lost: the rows of the schedule's
// name, read once. Saved when one holds what was written and none still holds
// what it replaced; Failed otherwise (`failure` as it was), or with the words
// of a write in doubt when they could not be read.
ScheduleSave readBack(AppContext &ctx, const ScheduleRow &before, const std::array<QVariant, 7> &days,
                      const QVariant &ignoreHolidays, DbError *failure)
{
    DbError error;
    const bool unnamed = before.DisplayName.isNull();
    platform::Recordset rs =
        ctx.db().open(ctx.state().gConnectionString,
                      QStringLiteral("SELECT * FROM Schedule WHERE DisplayName ")
                          + (unnamed ? QStringLiteral("IS NULL") : QStringLiteral("= ?")),
                      unnamed ? QVariantList{} : QVariantList{before.DisplayName}, &error);
    if (!rs.isOpen()) {
        failure->description =
            writeInDoubtMessage(QStringLiteral("the schedule could not be read back: %1").arg(error.description));
        return ScheduleSave::Failed;
    }
    bool holdsNew = false;
    bool holdsOld = false;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        std::array<QVariant, 7> stored;
        for (int d = 0; d < 7; ++d)
            stored[size_t(d)] = rs.field(weekdayNames()[d]);
        const QVariant storedIgnore = rs.field(QStringLiteral("IgnoreHolidays"));
        holdsNew = holdsNew || sameSchedule(storedIgnore, stored, ignoreHolidays, days);
        holdsOld = holdsOld || sameSchedule(storedIgnore, stored, before.IgnoreHolidays, before.days);
    }
    const bool unchanged = sameSchedule(ignoreHolidays, days, before.IgnoreHolidays, before.days);
    return holdsNew && (!holdsOld || unchanged) ? ScheduleSave::Saved : ScheduleSave::Failed;
}

} // namespace

const QStringList &weekdayNames()
{
    static const QStringList names = {QStringLiteral("Monday"),   QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
                                      QStringLiteral("Thursday"), QStringLiteral("Friday"),  QStringLiteral("Saturday"),
                                      QStringLiteral("Sunday")};
    return names;
}

DayMask decodeDayMask(const QVariant &stored)
{
    DayMask day;
    if (stored.isNull())
        return day;
    const QByteArray bytes = stored.toByteArray();
    const int count = int(std::min<qsizetype>(bytes.size(), kDayMaskBytes));
    for (int q = 0; q < count * 8; ++q)
        day[size_t(q)] = (quint8(bytes[q / 8]) >> (7 - q % 8)) & 1;
    return day;
}

QByteArray encodeDayMask(const DayMask &day)
{
    QByteArray bytes(kDayMaskBytes, '\0');
    for (int q = 0; q < kQuarterHours; ++q)
        if (day[size_t(q)])
            bytes[q / 8] = char(quint8(bytes[q / 8]) | (1u << (7 - q % 8)));
    return bytes;
}

bool ScheduleRow::observesHolidays() const
{
    bool ok = false;
    return !IgnoreHolidays.isNull() && IgnoreHolidays.toLongLong(&ok) == 0 && ok;
}

std::array<DayMask, 7> ScheduleRow::dayMasks() const
{
    std::array<DayMask, 7> masks;
    for (size_t d = 0; d < masks.size(); ++d)
        masks[d] = decodeDayMask(days[d]);
    return masks;
}

std::optional<QList<ScheduleRow>> readSchedules(AppContext &ctx, DbError *error)
{
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, QStringLiteral("Select * from Schedule"), {}, error);
    if (!rs.isOpen())
        return std::nullopt;
    QList<ScheduleRow> rows;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        ScheduleRow row;
        row.DisplayName = rs.field(QStringLiteral("DisplayName"));
        row.IgnoreHolidays = rs.field(QStringLiteral("IgnoreHolidays"));
        for (int d = 0; d < 7; ++d)
            row.days[size_t(d)] = rs.field(weekdayNames()[d]);
        rows << row;
    }
    return rows;
}

ScheduleSave saveSchedule(AppContext &ctx, ScheduleRow &row, const std::array<DayMask, 7> &days, bool observeHolidays,
                          DbError *error)
{
    QStringList sets;
    QVariantList values;
    std::array<QVariant, 7> stored;
    for (int d = 0; d < 7; ++d) {
        sets << weekdayNames()[d] + QStringLiteral(" = ?");
        stored[size_t(d)] = encodeDayMask(days[size_t(d)]);
        values << stored[size_t(d)];
    }
    const QVariant ignoreHolidays = observeHolidays ? 0 : 1;
    sets << QStringLiteral("IgnoreHolidays = ?");
    values << ignoreHolidays;

    // The row as it was read, column by column; a Null is matched as Null.
    QStringList where;
    const auto match = [&](const QString &column, const QVariant &value) {
        if (value.isNull()) {
            where << column + QStringLiteral(" IS NULL");
        } else {
            where << column + QStringLiteral(" = ?");
            values << value;
        }
    };
    match(QStringLiteral("DisplayName"), row.DisplayName);
    match(QStringLiteral("IgnoreHolidays"), row.IgnoreHolidays);
    for (int d = 0; d < 7; ++d)
        match(weekdayNames()[d], row.days[size_t(d)]);
    const QString sql = QStringLiteral("UPDATE Schedule SET %1 WHERE %2")
                            .arg(sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" AND ")));

    const QString &connection = ctx.state().gConnectionString;
    ScheduleSave result = ScheduleSave::Failed;
    DbError failure;
    const bool committed = ctx.db().inTransaction(
        connection,
        [&] {
            int changed = -1;
            if (!ctx.db().execute(connection, sql, values, &failure, &changed))
                return false;
            result = changed == 1 ? ScheduleSave::Saved : changed == 0 ? ScheduleSave::NotFound : ScheduleSave::NotUnique;
            return result == ScheduleSave::Saved;
        },
        &failure);
    if (result == ScheduleSave::Saved && !committed) {
        // The commit failed, or its answer was lost and the server may have kept it.
        result = failure.mayHaveRun ? readBack(ctx, row, stored, ignoreHolidays, &failure) : ScheduleSave::Failed;
        if (result == ScheduleSave::Saved)
            failure = {};
    }
    if (error)
        *error = failure;
    if (result == ScheduleSave::Saved) {
        row.days = stored;
        row.IgnoreHolidays = ignoreHolidays;
    }
    return result;
}

QString quarterHourLabel(int quarter)
{
    return QStringLiteral("%1:%2").arg(quarter / 4, 2, 10, QLatin1Char('0')).arg(quarter % 4 * 15, 2, 10, QLatin1Char('0'));
}

// --- the grid ------------------------------------------------------------------

ScheduleGridModel::ScheduleGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void ScheduleGridModel::setDays(const std::array<DayMask, 7> &days)
{
    m_days = days;
    emit dataChanged(index(0, 1), index(kQuarterHours - 1, 7), {Qt::CheckStateRole});
}

int ScheduleGridModel::column(const QString &key)
{
    if (key == QLatin1String("Time"))
        return 0;
    const qsizetype day = weekdayNames().indexOf(key);
    return day < 0 ? -1 : int(day) + 1;
}

bool ScheduleGridModel::isDayCell(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.column() >= 1;
}

bool ScheduleGridModel::toggle(const QModelIndex &index)
{
    if (!isDayCell(index))
        return false;
    m_days[size_t(index.column() - 1)].flip(size_t(index.row()));
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

int ScheduleGridModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kQuarterHours; }

int ScheduleGridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 8; }

QVariant ScheduleGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.column() == 0)
        return role == Qt::DisplayRole ? QVariant(quarterHourLabel(index.row())) : QVariant();
    if (role == Qt::CheckStateRole)
        return m_days[size_t(index.column() - 1)][size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant ScheduleGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section > 7)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? QStringLiteral("Time") : weekdayNames()[section - 1];
}

Qt::ItemFlags ScheduleGridModel::flags(const QModelIndex &index) const
{
    // Not user-checkable: a click toggles a cell through toggle() only, once.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

} // namespace quillor
