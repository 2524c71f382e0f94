#pragma once
// The schedule window: one schedule at a time as a grid of quarter hours by
// weekday. A click on a day cell ticks or clears it; Save writes the shown
// schedule's seven days and its holiday setting back.

#include "reports/schedules.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTableView;

namespace quillor {

class AppContext;

class frmSchedules : public QWidget {
    Q_OBJECT
public:
    explicit frmSchedules(AppContext &ctx, QWidget *parent = nullptr);

    // Reads every schedule and shows the first.
    void Form_Load();
    ScheduleGridModel &grid() { return *m_grid; }

public slots:
    void cmbSchedules_Click();
    void gridTimes_Click(const QModelIndex &index);
    void cmdSave_Click();
    void cmdExit_Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    void LoadScheduleIntoGrid(int row);
    // Lists `rows` and shows the one at `shown` (-1: none).
    void showSchedules(const QList<ScheduleRow> &rows, int shown);
    // Reads every schedule again and shows the stored state of the one shown:
    // false when it is no longer there, nullopt with `error` when the read
    // failed (the window is then left as it was).
    std::optional<bool> showStoredSchedule(platform::DbError *error);

    AppContext &m_ctx;
    // The rows as read; the list's entries carry their index here.
    QList<ScheduleRow> rsSchedules;
    int m_shown = -1;
    ScheduleGridModel *m_grid = nullptr;
    QComboBox *cmbSchedules = nullptr;
    QCheckBox *chkObserveHolidays = nullptr;
    QTableView *gridTimes = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdExit = nullptr;
};

} // namespace quillor
