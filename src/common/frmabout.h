#pragma once
// The About box: the program's version, the maker's lines and the menu of
// interface languages. Created once and kept; OK only hides it.

#include <QDialog>
#include <QList>

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace quillor {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // "<major>.<minor> Build<revision>".
    static QString versionText(int major, int minor, int revision);

    QMenu *languageMenu() const { return m_mnuSelectLanguage; }
    const QList<QAction *> &languageEntries() const { return m_mnuLanguageList; }

public slots:
    // Fills the version and the language menu; runs when the box is created.
    void Form_Load();
    void lblChangeLanguage_Click();
    void mnuLanguageList_Click(int index);
    void cmdOK_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillLanguageMenu();
    QAction *languageEntry(int index);

    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblChangeLanguage = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QMenu *m_mnuSelectLanguage = nullptr;
    QList<QAction *> m_mnuLanguageList;
};

} // namespace quillor
