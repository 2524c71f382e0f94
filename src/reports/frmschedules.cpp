#include "reports/frmschedules.h"

#include "common/errors.h"
#include "platform/seams.h"
#include "platform/wheelguard.h"
#include "reports/toolwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quillor {

namespace {
// 9990 twips wide, always; at least 4000 twips high.
constexpr int kWidth = 666;
constexpr int kMinHeight = 267;
// Maximizing makes the window as tall as the screen less 400 twips.
constexpr int kScreenMargin = 27;

const QString kNotFound = QStringLiteral("Error! Could not load selected schedule!  Please contact KSC for help.");
const QString kChangedMeanwhile =
    QStringLiteral("Your changes were not saved: the schedule was changed elsewhere since it was shown. "
                   "It is now shown as stored; make your changes again and save.");
const QString kRemovedMeanwhile =
    QStringLiteral("Your changes were not saved: the schedule was removed or renamed elsewhere since it was shown. "
                   "The list now shows the schedules as stored.");

void reportFailure(const platform::DbError &error, const char *procedure)
{
    reportError(error.number, error.description, QString::fromLatin1(procedure), QStringLiteral("Form"),
                QStringLiteral("frmSchedules"));
}
} // namespace

frmSchedules::frmSchedules(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmSchedules"));
    setWindowTitle(QStringLiteral("Schedules"));
    setFixedWidth(kWidth);
    setMinimumHeight(kMinHeight);
    resize(kWidth, 520);

    cmbSchedules = new QComboBox(this);
    cmbSchedules->setObjectName(QStringLiteral("cmbSchedules"));
    cmbSchedules->setMinimumContentsLength(24);
    chkObserveHolidays = new QCheckBox(QStringLiteral("Observe Holidays"), this);
    chkObserveHolidays->setObjectName(QStringLiteral("chkObserveHolidays"));

    m_grid = new ScheduleGridModel(this);
    gridTimes = new QTableView(this);
    gridTimes->setObjectName(QStringLiteral("gridTimes"));
    gridTimes->setModel(m_grid);
    gridTimes->verticalHeader()->hide();
    gridTimes->verticalHeader()->setDefaultSectionSize(gridTimes->fontMetrics().height() + 6);
    gridTimes->setSelectionMode(QAbstractItemView::NoSelection);
    gridTimes->setColumnWidth(0, 59);
    for (int column = 1; column < m_grid->columnCount(); ++column)
        gridTimes->setColumnWidth(column, 82);

    cmdSave = makeButton(this, "cmdSave", QStringLiteral("Save"), &frmSchedules::cmdSave_Click);
    cmdExit = makeButton(this, "cmdExit", QStringLiteral("Exit"), &frmSchedules::cmdExit_Click);

    auto *top = new QHBoxLayout;
    top->addWidget(cmbSchedules);
    top->addSpacing(12);
    top->addWidget(chkObserveHolidays);
    top->addStretch(1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cmdSave);
    bottom->addStretch(1);
    bottom->addWidget(cmdExit);
    auto *layout = new QVBoxLayout(this);
    // Narrow margins: the time and the seven days fit the fixed width side by side.
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(gridTimes, 1);
    layout->addLayout(bottom);

    connect(cmbSchedules, &QComboBox::currentIndexChanged, this, &frmSchedules::cmbSchedules_Click);
    connect(gridTimes, &QAbstractItemView::clicked, this, &frmSchedules::gridTimes_Click);
    // The wheel passing over the list does not change the schedule shown, and with it the unsaved grid.
    platform::guardWheel(this);
}

void frmSchedules::Form_Load()
{
    platform::DbError error;
    const std::optional<QList<ScheduleRow>> rows = readSchedules(m_ctx, &error);
    showSchedules(rows.value_or(QList<ScheduleRow>()), 0);
    if (!rows)
        reportFailure(error, "Form_Load");
    // The working day is in view first: 07:00 at the top.
    gridTimes->scrollTo(m_grid->index(28, ScheduleGridModel::column(QStringLiteral("Time"))),
                        QAbstractItemView::PositionAtTop);
}

void frmSchedules::showSchedules(const QList<ScheduleRow> &rows, int shown)
{
    rsSchedules = rows;
    if (shown >= rsSchedules.size())
        shown = -1;
    {
        const QSignalBlocker quiet(cmbSchedules);
        cmbSchedules->clear();
        for (int i = 0; i < rsSchedules.size(); ++i)
            cmbSchedules->addItem(rsSchedules[i].name(), i);
        cmbSchedules->setCurrentIndex(shown);
    }
    LoadScheduleIntoGrid(shown);
}

std::optional<bool> frmSchedules::showStoredSchedule(platform::DbError *error)
{
    // The same schedule is the one of the same name and, among schedules
    // sharing that name, at the same place in the table.
    const QString name = rsSchedules[m_shown].name();
    int place = 0;
    for (int i = 0; i < m_shown; ++i)
        place += rsSchedules[i].name() == name ? 1 : 0;
    const std::optional<QList<ScheduleRow>> rows = readSchedules(m_ctx, error);
    if (!rows)
        return std::nullopt;
    int shown = -1;
    for (int i = 0; i < rows->size() && shown < 0; ++i)
        if ((*rows)[i].name() == name && place-- == 0)
            shown = i;
    showSchedules(*rows, shown);
    return shown >= 0;
}

void frmSchedules::LoadScheduleIntoGrid(int row)
{
    // Every cell is set from the schedule (a missing or short day clears
    // its cells), so nothing of the schedule shown before is left over.
    m_shown = row >= 0 && row < rsSchedules.size() ? row : -1;
    const bool any = m_shown >= 0;
    chkObserveHolidays->setChecked(any && rsSchedules[m_shown].observesHolidays());
    m_grid->setDays(any ? rsSchedules[m_shown].dayMasks() : std::array<DayMask, 7>{});
    cmdSave->setEnabled(any);
}

void frmSchedules::cmbSchedules_Click()
{
    const QVariant row = cmbSchedules->currentData();
    if (!row.isValid()) {
        platform::msgBox(kNotFound, platform::MsgButtons::Ok, {}, this);
        return;
    }
    LoadScheduleIntoGrid(row.toInt());
}

void frmSchedules::gridTimes_Click(const QModelIndex &index)
{
    // The time column and the headers are no quarter hours of a day.
    m_grid->toggle(index);
}

void frmSchedules::cmdSave_Click()
{
    if (m_shown < 0) {
        platform::msgBox(kNotFound, platform::MsgButtons::Ok, {}, this);
        return;
    }
    platform::DbError error;
    switch (saveSchedule(m_ctx, rsSchedules[m_shown], m_grid->days(), chkObserveHolidays->isChecked(), &error)) {
    case ScheduleSave::Saved: break;
    case ScheduleSave::NotFound: {
        // Changed or removed elsewhere since it was read: the stored schedule
        // is shown, so the next Save starts from what the server holds.
        const std::optional<bool> stillThere = showStoredSchedule(&error);
        if (!stillThere) {
            platform::msgBox(kNotFound, platform::MsgButtons::Ok, {}, this);
            reportFailure(error, "cmdSave_Click");
            break;
        }
        platform::msgBox(kNotFound + QStringLiteral("\n\n") + (*stillThere ? kChangedMeanwhile : kRemovedMeanwhile),
                         platform::MsgButtons::Ok, {}, this);
        break;
    }
    case ScheduleSave::NotUnique:
        platform::msgBox(QStringLiteral("Another schedule named \"%1\" is identical to this one, so this one cannot be "
                                        "told apart from it. Nothing was saved.")
                             .arg(rsSchedules[m_shown].name()),
                         platform::MsgButtons::Ok, {}, this);
        break;
    case ScheduleSave::Failed: reportFailure(error, "cmdSave_Click"); break;
    }
}

void frmSchedules::cmdExit_Click() { close(); }

void frmSchedules::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMaximized())
        return;
    // Maximizing gives a normal window as tall as the screen, at its top.
    QTimer::singleShot(0, this, [this] {
        showNormal();
        if (const QScreen *screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            setGeometry(x(), available.top(), kWidth, available.height() - kScreenMargin);
        }
    });
}

} // namespace quillor
