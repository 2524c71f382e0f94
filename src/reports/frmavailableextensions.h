#pragma once
// The free-extension window: the numbers of a range that no extension of the
// dialing domain uses, and their export to a text file.

#include <QWidget>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class AppContext;

class frmAvailableExtensions : public QWidget {
    Q_OBJECT
public:
    explicit frmAvailableExtensions(AppContext &ctx, QWidget *parent = nullptr);

public slots:
    void txtStartRange_Validate(bool *cancel);
    void txtEndRange_Validate(bool *cancel);
    void cmdSearch_Click();
    void cmdExport_Click();
    void cmdExit_Click();

private:
    AppContext &m_ctx;
    platform::ValidatingLineEdit *txtStartRange = nullptr;
    platform::ValidatingLineEdit *txtEndRange = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdExport = nullptr;
    QPushButton *cmdExit = nullptr;
    QListWidget *listAvailableExtensions = nullptr;
    QProgressBar *ProgressBar = nullptr;
};

} // namespace quillor
