#pragma once
// The server's weekly schedules: one 96-bit day mask per weekday (a bit per
// quarter hour) and whether the schedule observes holidays. Reading, the mask
// format, writing one schedule back, and the grid of quarter hours by weekday
// that shows one schedule.

#include "platform/database.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <array>
#include <bitset>
#include <optional>

namespace quillor {

class AppContext;

// One day: quarter hour q (0 = 00:00-00:15 ... 95 = 23:45-24:00) ticked or not.
using DayMask = std::bitset<96>;
constexpr int kQuarterHours = 96;
constexpr int kDayMaskBytes = 12;

// The weekdays in the order the server's columns and the grid take them.
const QStringList &weekdayNames();

// A stored mask to quarter hours: quarter q is bit 7 - (q mod 8) of byte
// q div 8. A Null mask is an empty day; a shorter one counts as padded with
// zeros; bytes past the twelfth are ignored.
DayMask decodeDayMask(const QVariant &stored);
// The twelve bytes the server stores for a day.
QByteArray encodeDayMask(const DayMask &day);

// One row of the table Schedule as it was read. The row is found again by
// all these values, not by its name alone, which two schedules may share.
struct ScheduleRow {
    QVariant DisplayName;
    QVariant IgnoreHolidays;
    std::array<QVariant, 7> days; // Monday to Sunday

    QString name() const { return DisplayName.isNull() ? QString() : DisplayName.toString(); }

    // Only 0 observes holidays.
    bool observesHolidays() const;
    std::array<DayMask, 7> dayMasks() const;
};

// Every schedule, in the order the table gives them; nullopt with `error`.
std::optional<QList<ScheduleRow>> readSchedules(AppContext &ctx, platform::DbError *error);

enum class ScheduleSave { Saved, NotFound, NotUnique, Failed };

// Writes the seven days and the holiday setting of the schedule `row` in one
// statement inside one transaction. The row must still be as it was read and
// be the only row so: NotFound when it was changed or removed meanwhile,
// NotUnique when another row is identical to it; nothing is written then.
// A COMMIT whose answer was lost is not taken for a failure: the rows of the
// schedule's name are read once, and when they hold what was written the save
// is Saved; a read that fails leaves it Failed with the words of a write in
// doubt. On success `row` takes the stored values.
ScheduleSave saveSchedule(AppContext &ctx, ScheduleRow &row, const std::array<DayMask, 7> &days,
                          bool observeHolidays, platform::DbError *error);

// The text of a quarter hour's start, "00:00" to "23:45".
QString quarterHourLabel(int quarter);

// Rows: the 96 quarter hours. Columns: "Time", then the seven weekdays,
// each found by its key (the header's word). Day cells carry a check state
// that only toggle() changes: the view does not tick them by itself.
class ScheduleGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ScheduleGridModel(QObject *parent = nullptr);

    void setDays(const std::array<DayMask, 7> &days);
    const std::array<DayMask, 7> &days() const { return m_days; }
    // -1 for a key that names no column.
    static int column(const QString &key);
    bool isDayCell(const QModelIndex &index) const;
    // Ticks an unticked day cell and clears a ticked one; false for any other cell.
    bool toggle(const QModelIndex &index);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    std::array<DayMask, 7> m_days{};
};

} // namespace quillor
