#include "pickers/pickerdialog.h"

#include "common/appcontext.h"
#include "platform/busycursor.h"
#include "platform/seams.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace quillor {

namespace {
// 200 twips from the screen's top left corner, at 15 twips a pixel.
constexpr int kScreenOffset = 13;

// Room for what a column holds: an ObjectID is a braced GUID.
int columnWidth(const QString &header, const QFontMetrics &font)
{
    if (header.endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive))
        return font.horizontalAdvance(QStringLiteral("{00000000-0000-0000-0000-000000000000}")) + 16;
    if (header == QLatin1String("Extension"))
        return 80;
    if (header == QLatin1String("Display Name"))
        return 160;
    return 110;
}

class EnterPicks : public QObject {
public:
    EnterPicks(QTableView *grid, QPushButton *pick) : QObject(grid), m_pick(pick) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_pick->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPushButton *m_pick;
};
} // namespace

void pickOnEnter(QTableView *grid, QPushButton *pick)
{
    grid->installEventFilter(new EnterPicks(grid, pick));
}

int setUpResultGrid(QTableView *grid, const QStringList &headers, const QList<int> &hiddenColumns)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setAlternatingRowColors(true);
    grid->verticalHeader()->hide();
    // Rows of one height, known without asking every row: thousands of rows show at once.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    int shownWidth = 0;
    for (int column = 0; column < headers.size(); ++column) {
        if (hiddenColumns.contains(column)) {
            grid->setColumnHidden(column, true);
            continue;
        }
        grid->setColumnWidth(column, columnWidth(headers[column], grid->fontMetrics()));
        shownWidth += grid->columnWidth(column);
    }
    return shownWidth;
}

void searchIntoGrid(AppContext &ctx, PickerKind kind, SearchBy by, const QString &text, PickerResultModel &model,
                    QTableView *grid, QWidget *parent)
{
    platform::DbError error;
    {
        platform::BusyCursor busy;
        // A failed search shows an empty grid, never the rows of the search before.
        model.clear();
        platform::Recordset rows = pickerSearch(ctx, kind, by, text, &error);
        if (rows.isOpen())
            model.setRows(std::move(rows));
        // No row is picked until the user picks one.
        grid->clearSelection();
        grid->setCurrentIndex({});
    }
    if (error.isSet())
        platform::msgBox(QStringLiteral("Error in cmdSearch function=") + error.description, platform::MsgButtons::Ok,
                         {}, parent);
}

void placeAtScreenCorner(QWidget *dialog)
{
    if (const QScreen *shown = dialog->screen())
        dialog->move(shown->geometry().topLeft() + QPoint(kScreenOffset, kScreenOffset));
}

int pickedGridRow(const QTableView *grid)
{
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

PickerResultModel::PickerResultModel(QStringList headers, QObject *parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers))
{
}

void PickerResultModel::setRows(platform::Recordset rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void PickerResultModel::clear()
{
    setRows({});
}

QString PickerResultModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.RecordCount())
        return {};
    const QVariant v = m_rows.value(row, column);
    return v.isNull() ? QString() : v.toString();
}

int PickerResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.RecordCount();
}

int PickerResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant PickerResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return text(index.row(), index.column());
}

QVariant PickerResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_headers.value(section);
    return section + 1;
}

PickerDialog::PickerDialog(AppContext &ctx, PickerLayout layout, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_layout(std::move(layout)), m_model(new PickerResultModel(m_layout.headers, this))
{
    setObjectName(QString::fromLatin1(m_layout.objectName));
    setWindowTitle(QString::fromLatin1(m_layout.caption));
    setModal(true);

    txtSearchString = new QLineEdit(this);
    txtSearchString->setObjectName(QStringLiteral("txtSearchString"));
    cmdSearch = new QPushButton(QStringLiteral("Search"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    // Enter in the search text searches.
    cmdSearch->setDefault(true);

    Frame1 = new QGroupBox(QStringLiteral("Search By"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *optionRow = new QHBoxLayout(Frame1);
    for (const PickerOption &option : std::as_const(m_layout.options)) {
        auto *button = new QRadioButton(QString::fromLatin1(option.caption), Frame1);
        button->setObjectName(QString::fromLatin1(option.objectName));
        optionRow->addWidget(button);
        m_options << button;
    }
    optionRow->addStretch();

    myGrid = new QTableView(this);
    myGrid->setObjectName(QStringLiteral("myGrid"));
    myGrid->setModel(m_model);
    const int shownWidth = setUpResultGrid(myGrid, m_layout.headers, m_layout.hiddenColumns);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(txtSearchString, 1);
    searchRow->addWidget(cmdSearch);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cmdOK);
    buttonRow->addWidget(cmdCancel);
    auto *page = new QVBoxLayout(this);
    page->addLayout(searchRow);
    page->addWidget(Frame1);
    page->addWidget(myGrid, 1);
    page->addLayout(buttonRow);
    resize(std::max(560, shownWidth + 60), 380);

    connect(cmdSearch, &QPushButton::clicked, this, &PickerDialog::cmdSearch_Click);
    connect(cmdOK, &QPushButton::clicked, this, &PickerDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &PickerDialog::cmdCancel_Click);
    connect(myGrid, &QTableView::doubleClicked, this, &PickerDialog::myGrid_DblClick);
    pickOnEnter(myGrid, cmdOK);
}

PickerDialog::~PickerDialog() = default;

void PickerDialog::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        Form_Load();
    } else if (!visible && isVisible() && !m_closing) {
        // Hidden by anything but done(): no pick.
        done(Rejected);
        return;
    }
    QDialog::setVisible(visible);
}

void PickerDialog::done(int result)
{
    QScopedValueRollback closing(m_closing, true);
    const int row = result == Accepted ? m_okRow : -1;
    publish(row);
    m_okRow = -1;
    m_model->clear();
    QDialog::done(result);
}

void PickerDialog::Form_Load()
{
    placeAtScreenCorner(this);
    publish(-1);
    bCancelHit = false;
    m_okRow = -1;
    txtSearchString->clear();
    for (int i = 0; i < m_options.size(); ++i)
        m_options[i]->setChecked(m_layout.options[i].by == m_layout.startOption);
    m_model->clear();
    txtSearchString->setFocus();
}

void PickerDialog::publish(int row)
{
    bCancelHit = row < 0;
    strDisplayName = cell(row, m_layout.displayNameColumn);
    setResults(row);
}

SearchBy PickerDialog::selectedOption() const
{
    for (int i = 0; i < m_options.size(); ++i) {
        if (m_options[i]->isChecked())
            return m_layout.options[i].by;
    }
    return m_layout.startOption;
}

void PickerDialog::cmdSearch_Click()
{
    searchIntoGrid(m_ctx, m_layout.kind, selectedOption(), txtSearchString->text(), *m_model, myGrid, this);
}

int PickerDialog::pickedRow() const
{
    return pickedGridRow(myGrid);
}

bool PickerDialog::prepareOK(int)
{
    return true;
}

void PickerDialog::cmdOK_Click()
{
    const int row = pickedRow();
    if (row < 0) {
        platform::msgBox(QString::fromLatin1(m_layout.noSelectionMessage), platform::MsgButtons::Ok, {}, this);
        return;
    }
    if (!prepareOK(row))
        return;
    m_okRow = row;
    accept();
}

void PickerDialog::cmdCancel_Click()
{
    reject();
}

void PickerDialog::myGrid_DblClick(const QModelIndex &index)
{
    if (index.isValid())
        cmdOK_Click();
}

} // namespace quillor
