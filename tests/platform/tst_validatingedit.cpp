#include "platform/validatingedit.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using quillor::platform::ValidatingLineEdit;

namespace {

// Shows `window` as the active one, with the focus in `box`.
bool focusIn(QWidget &window, QWidget *box)
{
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    box->setFocus();
    return QTest::qWaitFor([box] { return box->hasFocus(); });
}

} // namespace

class TestValidatingEdit : public QObject {
    Q_OBJECT
private slots:
    void leaving_data();
    void leaving();
    void nestedFocusMovesCheckOnce();
    void checkedBeforeAPressActs_data();
    void checkedBeforeAPressActs();
};

void TestValidatingEdit::leaving_data()
{
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("checks");
    QTest::addColumn<bool>("focusBack");
    QTest::newRow("tab, accepted") << false << int(Qt::TabFocusReason) << 1 << false;
    QTest::newRow("tab, refused") << true << int(Qt::TabFocusReason) << 1 << true;
    QTest::newRow("mouse, refused") << true << int(Qt::MouseFocusReason) << 1 << true;
    QTest::newRow("window left") << true << int(Qt::ActiveWindowFocusReason) << 0 << false;
    QTest::newRow("menu opened") << true << int(Qt::PopupFocusReason) << 0 << false;
}

void TestValidatingEdit::leaving()
{
    QFETCH(bool, refuse);
    QFETCH(int, reason);
    QFETCH(int, checks);
    QFETCH(bool, focusBack);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *box = new ValidatingLineEdit(&window);
    auto *next = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(next);
    int asked = 0;
    connect(box, &ValidatingLineEdit::validating, &window, [&](bool *cancel) {
        ++asked;
        *cancel = refuse;
    });
    QVERIFY(focusIn(window, box));

    QFocusEvent out(QEvent::FocusOut, Qt::FocusReason(reason));
    next->setFocus(Qt::FocusReason(reason));
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        QApplication::sendEvent(box, &out); // what leaving the window delivers
    QCoreApplication::processEvents();
    QCOMPARE(asked, checks);
    QTRY_COMPARE(box->hasFocus(), focusBack);
    QCOMPARE(box->validate(), !refuse);
}

void TestValidatingEdit::nestedFocusMovesCheckOnce()
{
    ValidatingLineEdit box;
    int asked = 0;
    connect(&box, &ValidatingLineEdit::validating, &box, [&](bool *cancel) {
        ++asked;
        QVERIFY(box.validate()); // a message box moving the focus meanwhile
        *cancel = true;
    });
    QVERIFY(!box.validate());
    QCOMPARE(asked, 1);
}

void TestValidatingEdit::checkedBeforeAPressActs_data()
{
    QTest::addColumn<QString>("target"); // the control pressed, or "Enter"
    QTest::addColumn<bool>("typed");     // the text typed, not put in by the program
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("checks");
    QTest::addColumn<bool>("clicked");
    QTest::addColumn<bool>("focusKept");
    QTest::addColumn<bool>("releasedMeanwhile"); // the mouse let go while a real message box was up

    QTest::newRow("button, refused") << "button" << true << true << 1 << false << true << false;
    QTest::newRow("button, accepted") << "button" << true << false << 1 << true << false << false;
    QTest::newRow("button without focus, refused") << "arrow" << true << true << 1 << false << true << false;
    QTest::newRow("button without focus, accepted") << "arrow" << true << false << 1 << true << true << false;
    QTest::newRow("button without focus, text of the program") << "arrow" << false << true << 0 << true << true << false;
    QTest::newRow("Cancel, refused") << "cancel" << true << true << 0 << true << false << false;
    QTest::newRow("label") << "label" << true << true << 0 << false << true << false;
    QTest::newRow("Enter on the default button, refused") << "Enter" << true << true << 1 << false << true << false;
    QTest::newRow("Enter on the default button, accepted") << "Enter" << true << false << 1 << true << true << false;
    QTest::newRow("button, accepted, released while the message was up")
        << "button" << true << false << 1 << false << false << true;
}

void TestValidatingEdit::checkedBeforeAPressActs()
{
    QFETCH(QString, target);
    QFETCH(bool, typed);
    QFETCH(bool, refuse);
    QFETCH(int, checks);
    QFETCH(bool, clicked);
    QFETCH(bool, focusKept);
    QFETCH(bool, releasedMeanwhile);

    QDialog window;
    auto *layout = new QVBoxLayout(&window);
    auto *box = new ValidatingLineEdit(&window);
    auto *button = new QPushButton(QStringLiteral("OK"), &window);
    auto *arrow = new QPushButton(QStringLiteral("+"), &window);
    arrow->setFocusPolicy(Qt::NoFocus);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    quillor::platform::markAsCancelButton(cancel);
    auto *label = new QLabel(QStringLiteral("Rings:"), &window);
    button->setDefault(true);
    for (QWidget *w : {static_cast<QWidget *>(box), static_cast<QWidget *>(button), static_cast<QWidget *>(arrow),
                       static_cast<QWidget *>(cancel), static_cast<QWidget *>(label)})
        layout->addWidget(w);
    const QMap<QString, QWidget *> targets{{"button", button}, {"arrow", arrow}, {"cancel", cancel}, {"label", label}};
    int asked = 0;
    connect(box, &ValidatingLineEdit::validating, &window, [&](bool *cancelled) {
        ++asked;
        box->setText(QStringLiteral("4")); // what a refusal puts back
        *cancelled = refuse;
        if (releasedMeanwhile) {
            QMessageBox message(&window);
            QTimer::singleShot(20, &message, [&] {
                QTest::mouseRelease(targets.value(target), Qt::LeftButton);
                message.accept();
            });
            message.exec();
        }
    });
    QList<QPushButton *> pressed;
    for (QPushButton *b : {button, arrow, cancel})
        connect(b, &QPushButton::clicked, &window, [&pressed, b] { pressed << b; });
    QVERIFY(focusIn(window, box));
    if (typed)
        QTest::keyClicks(box, QStringLiteral("99"));
    else
        box->setText(QStringLiteral("99"));

    if (target == u"Enter")
        QTest::keyClick(box, Qt::Key_Return);
    else
        QTest::mousePress(targets.value(target), Qt::LeftButton);
    if (target != u"Enter" && !releasedMeanwhile)
        QTest::mouseRelease(targets.value(target), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(asked, checks);
    QCOMPARE(!pressed.isEmpty(), clicked);
    for (QPushButton *b : {button, arrow, cancel})
        QVERIFY2(!b->isDown(), qPrintable(b->text()));
    // Checked before the press, the leave that follows is not checked again.
    QTRY_COMPARE(box->hasFocus(), focusKept);
    QCOMPARE(asked, checks);
}

QTEST_MAIN(TestValidatingEdit)
#include "tst_validatingedit.moc"
