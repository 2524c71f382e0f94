#pragma once
// The transfer-string search window: the contact rules that dial a string,
// exactly or as a part, and their owners. Exit only hides the window, so it
// keeps its text and option; closing it by its title bar ends it.

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quillor {

class AppContext;

class frmFindTransferString : public QWidget {
    Q_OBJECT
public:
    explicit frmFindTransferString(AppContext &ctx, QWidget *parent = nullptr);

    // More matches than this are shown in a window of their own that
    // scrolls, not in a message box that would grow past the screen.
    static constexpr int kMatchesInMessageBox = 12;

public slots:
    void cmdSearch_Click();
    void cmdExit_Click();

private:
    void showMatches(const QString &text);

    AppContext &m_ctx;
    QLineEdit *txtTransferString = nullptr;
    QRadioButton *optExactMatch = nullptr;
    QRadioButton *optPartialMatch = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdExit = nullptr;
    QWidget *m_matches = nullptr; // created on first use
    QPlainTextEdit *m_matchesText = nullptr;
};

} // namespace quillor
