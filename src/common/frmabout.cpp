#include "common/frmabout.h"

#include "common/localize.h"
#include "common/programversion.h"
#include "platform/seams.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace quillor {

namespace {

QLabel *addLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// The program's own logos are simple framed texts.
QLabel *addLogo(QWidget *parent, const char *name, const QString &text)
{
    QLabel *logo = addLabel(parent, name, text);
    logo->setFrameShape(QFrame::Box);
    logo->setAlignment(Qt::AlignCenter);
    logo->setMinimumSize(120, 48);
    QFont f = logo->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    logo->setFont(f);
    return logo;
}

} // namespace

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About %1").arg(QCoreApplication::applicationName().isEmpty()
                                                      ? QStringLiteral("Quillor")
                                                      : QCoreApplication::applicationName()));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto *logos = new QHBoxLayout;
    logos->addWidget(addLogo(this, "picVarkoLogo", QStringLiteral("Varko")));
    logos->addStretch();
    logos->addWidget(addLogo(this, "picTolvaLogo", QStringLiteral("Tolva")));
    layout->addLayout(logos);

    auto *version = new QHBoxLayout;
    version->addWidget(addLabel(this, "lblVersionTitle", QStringLiteral("Version:")));
    m_lblVersion = addLabel(this, "lblVersion", QString());
    version->addWidget(m_lblVersion);
    version->addStretch();
    layout->addLayout(version);

    layout->addWidget(addLabel(this, "lblVarkoAddress1", QStringLiteral("Varko Systems")));
    layout->addWidget(addLabel(this, "lblVarkoAddress2", QStringLiteral("Administration tools for the Tolva voicemail server")));
    layout->addWidget(addLabel(this, "lblVarkoAddress3", QStringLiteral("Support: see the program's help page")));
    layout->addWidget(addLabel(this, "lblTrademark", QStringLiteral("Tolva is a trademark of Varko Systems.")));
    layout->addWidget(addLabel(this, "lblCopyright", QStringLiteral("Copyright \u00A9 Varko Systems. All rights reserved.")));

    auto *buttons = new QHBoxLayout;
    m_lblChangeLanguage = addLabel(this, "lblChangeLanguage", QStringLiteral("Change Language"));
    m_lblChangeLanguage->setCursor(Qt::PointingHandCursor);
    m_lblChangeLanguage->installEventFilter(this);
    buttons->addWidget(m_lblChangeLanguage);
    buttons->addStretch();
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    buttons->addWidget(m_cmdOK);
    layout->addLayout(buttons);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // Not in any menu bar: it only pops up from "Change Language".
    m_mnuSelectLanguage = new QMenu(QStringLiteral("Select Language"), this);
    m_mnuSelectLanguage->setObjectName(QStringLiteral("mnuSelectLanguage"));
    languageEntry(0);

    Form_Load();
}

QString frmAbout::versionText(int major, int minor, int revision)
{
    return QStringLiteral("%1.%2 Build%3").arg(major).arg(minor).arg(revision);
}

void frmAbout::Form_Load()
{
    try {
        const QVersionNumber v = programVersion();
        m_lblVersion->setText(versionText(v.majorVersion(), v.minorVersion(), v.microVersion()));
        modLocalize::InitalizeLanguages();
        fillLanguageMenu();
    } catch (const std::exception &e) {
        platform::msgBox(QStringLiteral("Error in FormLoad routine:") + QString::fromLocal8Bit(e.what()));
    }
}

QAction *frmAbout::languageEntry(int index)
{
    while (m_mnuLanguageList.size() <= index) {
        const int i = int(m_mnuLanguageList.size());
        QAction *entry = m_mnuSelectLanguage->addAction(QString());
        entry->setObjectName(QStringLiteral("mnuLanguageList"));
        entry->setProperty("Index", i);
        connect(entry, &QAction::triggered, this, [this, i] { mnuLanguageList_Click(i); });
        m_mnuLanguageList.append(entry);
    }
    return m_mnuLanguageList.at(index);
}

void frmAbout::fillLanguageMenu()
{
    // A second load starts from the first entry again rather than keeping old ones.
    while (m_mnuLanguageList.size() > 1)
        delete m_mnuLanguageList.takeLast();

    const QStringList &codes = modLocalize::localizeState().gLanguageCodes;
    if (codes.size() > 1) {
        for (int i = 0; i < codes.size(); ++i) {
            QAction *entry = languageEntry(i);
            entry->setText(strLanguageDisplayName(codes.at(i)));
            entry->setData(QString::number(lngLCIDFromLanguageCode(codes.at(i))));
        }
    } else {
        QAction *entry = languageEntry(0);
        entry->setText(QStringLiteral("no languages loaded"));
        entry->setData(QStringLiteral("1033"));
    }
}

void frmAbout::lblChangeLanguage_Click() { m_mnuSelectLanguage->popup(QCursor::pos()); }

void frmAbout::mnuLanguageList_Click(int index)
{
    if (index < 0 || index >= m_mnuLanguageList.size())
        return;
    bool ok = false;
    const qint32 lcid = m_mnuLanguageList.at(index)->data().toString().toInt(&ok);
    if (!ok)
        return;
    modLocalize::localizeState().gLanguageLCID = lcid;
    modLocalize::InitalizeLanguages();
    for (QWidget *form : QApplication::topLevelWidgets()) {
        modLocalize::ApplyLanguageFontToControls(form);
        // A window may re-initialise itself after a language change.
        const QByteArray init = form->objectName().toLatin1() + "_Auto_Init";
        if (!form->objectName().isEmpty()
            && form->metaObject()->indexOfMethod(QMetaObject::normalizedSignature(init + "()")) >= 0)
            QMetaObject::invokeMethod(form, init.constData());
        form->update();
        for (QWidget *control : form->findChildren<QWidget *>())
            control->update();
    }
}

void frmAbout::cmdOK_Click() { hide(); }

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblChangeLanguage && event->type() == QEvent::MouseButtonRelease) {
        lblChangeLanguage_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillor
