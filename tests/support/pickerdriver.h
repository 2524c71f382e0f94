#pragma once
// Drives modal dialogs from inside their own modal loop, as a user would: a
// test's own interaction with a dialog it opens, or the answer to the next
// object picker the program opens (a search for every row and a click on the
// row of an alias, then OK; or Cancel; or Escape; or the close box).

#include "pickers/pickerdialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QScopeGuard>
#include <QTimer>

#include <memory>

namespace quillor::test {

// Opens `dialog` with `open` (exec(), or a dialog's own modal show) and runs
// `interact` from inside its modal loop; a dialog the interaction left open is
// then closed without a choice. A dialog that never shows runs nothing.
// Answers what `open` answered.
template <typename Open> auto runModal(QDialog &dialog, const std::function<void()> &interact, Open open)
{
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
        const auto closeIfOpen = qScopeGuard([&] {
            if (dialog.isVisible())
                dialog.reject();
        });
        QCOMPARE(QApplication::activeModalWidget(), &dialog);
        interact();
    });
    timer.start(0);
    return open();
}

enum class PickerAnswer { Pick, Cancel, Escape, CloseBox };

// The answer to give; `answered` turns true once a picker took it.
struct PickerScript {
    PickerAnswer answer = PickerAnswer::Pick;
    QString alias;
    std::shared_ptr<bool> answered = std::make_shared<bool>(false);
};

inline PickerScript answerNextPicker(PickerAnswer answer, const QString &alias = {})
{
    PickerScript script{answer, alias};
    QTimer::singleShot(0, qApp, [script] {
        auto *dialog = qobject_cast<PickerDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *script.answered = true;
        switch (script.answer) {
        case PickerAnswer::Cancel: dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click(); return;
        case PickerAnswer::Escape: QTest::keyClick(dialog, Qt::Key_Escape); return;
        case PickerAnswer::CloseBox: dialog->close(); return;
        case PickerAnswer::Pick: break;
        }
        auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("txtSearchString"));
        text->setText(QStringLiteral("*"));
        dialog->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        auto *grid = dialog->findChild<QTableView *>(QStringLiteral("myGrid"));
        for (int row = 0; row < dialog->results().rowCount(); ++row) {
            if (dialog->results().text(row, 0) == script.alias) {
                const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
                break;
            }
        }
        dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        // A row that was not listed leaves the picker open: it is closed without a pick.
        if (dialog->isVisible())
            dialog->reject();
    });
    return script;
}

} // namespace quillor::test
