#include "platform/validatingedit.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using quillor::platform::ValidatingLineEdit;

class TestValidatingEdit : public QObject {
    Q_OBJECT
private slots:
    void leaving_data();
    void leaving();
    void nestedFocusMovesCheckOnce();
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
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());

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

QTEST_MAIN(TestValidatingEdit)
#include "tst_validatingedit.moc"
