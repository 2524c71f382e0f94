#pragma once
// The dependency report window: the report as editable text, saved to a file
// or copied to the clipboard. Every request makes the report anew for the
// object requested, also while the window is open with another.

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace quillor {

class AppContext;

class frmDependency : public QWidget {
    Q_OBJECT
public:
    explicit frmDependency(AppContext &ctx, QWidget *parent = nullptr);

    // The object to report on, set by the caller before Form_Load.
    qint16 iObjectType = 0;
    QString strObjectID;

    // Makes the report for the inputs and shows it.
    void Form_Load();
    // The text as Save writes it and Copy hands it on: the box's characters as
    // they stand, its lines ended by CR LF.
    QString reportText() const;

public slots:
    void cmdSave_Click();
    void cmdCopyToClipboard_Click();
    void cmdExit_Click();

private:
    AppContext &m_ctx;
    QString strTargetAlias;
    QPlainTextEdit *txtOutput = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCopyToClipboard = nullptr;
    QPushButton *cmdExit = nullptr;
};

} // namespace quillor
