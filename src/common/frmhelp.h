#pragma once
// The help window: the program's own help page, shown beside the main window.

#include <QDialog>

class QTextBrowser;
class QUrl;

namespace quillor {

class frmHelp : public QDialog {
    Q_OBJECT
public:
    explicit frmHelp(QWidget *parent = nullptr);

    // "<program folder>/Quillor.htm".
    static QString helpPagePath();
    QTextBrowser *browserHelp() const { return m_browserHelp; }

public slots:
    // Shows the help page; a missing page is named instead of an empty pane.
    void Form_Load();

private:
    void browserHelp_AnchorClicked(const QUrl &url);

    QTextBrowser *m_browserHelp = nullptr;
};

} // namespace quillor
