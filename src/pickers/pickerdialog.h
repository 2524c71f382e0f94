#pragma once
// The family of modal search dialogs that pick one object of the server's
// directory. Each dialog shows the search text, the fields it can be matched
// against and a grid of the rows found; OK (or a double-click on a row) hands
// the row back in the dialog's public variables, which the caller reads
// after the modal show returns. Every way of closing runs through done(): a
// close that is not OK with a row counts as Cancel.

#include "pickers/pickersearch.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace quillor {

class AppContext;

// The rows of the last search, read once and kept until the next search or
// until the dialog closes. The columns are the query's fields in order;
// their header texts are fixed, so an empty grid still shows its header.
class PickerResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PickerResultModel(QStringList headers, QObject *parent = nullptr);

    void setRows(platform::Recordset rows);
    void clear();
    // The text of a cell; "" for Null and outside the rows.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_headers;
    platform::Recordset m_rows;
};

// Lays a result grid out as the pickers show theirs: whole rows picked one at
// a time, fixed row heights, the hidden columns hidden and the others wide
// enough for what they hold. Answers the width of the shown columns.
int setUpResultGrid(QTableView *grid, const QStringList &headers, const QList<int> &hiddenColumns);
// Enter on a result grid presses `pick` (OK, Select), as a double-click on a
// row does; elsewhere in the dialog Enter keeps pressing the default button,
// the search, so a row picked from the keyboard is not searched away.
void pickOnEnter(QTableView *grid, QPushButton *pick);

// Runs a search into a result grid under the hourglass. The grid shows the
// rows found with none picked yet; a failed search shows an empty grid and
// the message "Error in cmdSearch function=" with the reason.
void searchIntoGrid(AppContext &ctx, PickerKind kind, SearchBy by, const QString &text, PickerResultModel &model,
                    QTableView *grid, QWidget *parent);
// Puts a search dialog where every one opens: 200 twips (13 pixels) from its
// screen's top left corner.
void placeAtScreenCorner(QWidget *dialog);

// The row picked in a result grid; -1 when none is (a row that is merely
// current, as after a search, is not picked).
int pickedGridRow(const QTableView *grid);

// One field a picker offers to match: its option button and caption.
struct PickerOption {
    SearchBy by;
    const char *objectName;
    const char *caption;
};

// What sets one picker apart from the others.
struct PickerLayout {
    PickerKind kind;
    const char *objectName;
    const char *caption;
    QList<PickerOption> options;
    SearchBy startOption;
    QStringList headers;       // one per column of the search
    QList<int> hiddenColumns;  // object ids the user does not need to see
    int displayNameColumn;
    const char *noSelectionMessage;
};

class PickerDialog : public QDialog {
    Q_OBJECT
public:
    ~PickerDialog() override;

    // The results every picker hands back: the picked object's display name,
    // and whether the dialog was left without a pick.
    QString strDisplayName;
    bool bCancelHit = false;

    // Runs at every showing: places the dialog, empties the results, the
    // search text and the grid, and selects the start option.
    void Form_Load();
    void cmdSearch_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void myGrid_DblClick(const QModelIndex &index);

    const PickerResultModel &results() const { return *m_model; }
    // The row picked in the grid; -1 when none is (a row that is merely
    // current, as after a search, is not picked).
    int pickedRow() const;

    void setVisible(bool visible) override;
    void done(int result) override;

protected:
    PickerDialog(AppContext &ctx, PickerLayout layout, QWidget *parent);

    AppContext &context() { return m_ctx; }
    QString cell(int row, int column) const { return m_model->text(row, column); }
    // Checks more of a row that OK is about to take; false keeps the dialog open.
    virtual bool prepareOK(int row);
    // Writes the dialog's own public variables from `row` of the grid, or
    // empties them for -1 (no pick).
    virtual void setResults(int row) = 0;

private:
    // The one place the public variables are written.
    void publish(int row);
    SearchBy selectedOption() const;

    AppContext &m_ctx;
    PickerLayout m_layout;
    PickerResultModel *m_model;
    QLineEdit *txtSearchString = nullptr;
    QGroupBox *Frame1 = nullptr;
    QList<QRadioButton *> m_options;
    QPushButton *cmdSearch = nullptr;
    QTableView *myGrid = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    int m_okRow = -1;
    bool m_closing = false;
};

} // namespace quillor
