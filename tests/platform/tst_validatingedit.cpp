#include "platform/validatingedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

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
    void pressAfterAnEdit_data();
    void pressAfterAnEdit();
    void keyAfterAnEdit_data();
    void keyAfterAnEdit();
    void pressesAroundADroppedOne_data();
    void pressesAroundADroppedOne();
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

namespace {

// A dialog with a box and one control of each kind a press can reach, all
// pressed through the window as the user presses them.
struct Form {
    QDialog window;
    ValidatingLineEdit *box = new ValidatingLineEdit(&window);
    QMenuBar *menuBar = new QMenuBar(&window);
    QMenu *menu = menuBar->addMenu(QStringLiteral("File"));
    QTableView *grid = new QTableView(&window);
    QTreeView *tree = new QTreeView(&window);
    QTabBar *tabs = new QTabBar(&window);
    QSpinBox *spin = new QSpinBox(&window);
    QCheckBox *check = new QCheckBox(QStringLiteral("Urgent"), &window);
    QComboBox *list = new QComboBox(&window);
    QPushButton *button = new QPushButton(QStringLiteral("OK"), &window);
    QPushButton *arrow = new QPushButton(QStringLiteral("+"), &window);
    QPushButton *cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    QLabel *label = new QLabel(QStringLiteral("Rings:"), &window);
    QPushButton *disabled = new QPushButton(QStringLiteral("Delete"), &window);
    QWidget *disabledPage = new QWidget(&window);
    QPushButton *onDisabledPage = new QPushButton(QStringLiteral("Add"), disabledPage);
    QStandardItemModel rows{3, 2};
    int clicks = 0;

    Form()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setMenuBar(menuBar);
        menu->addAction(QStringLiteral("Reload"));
        grid->setModel(&rows);
        tree->setModel(&rows);
        tabs->addTab(QStringLiteral("Standard"));
        tabs->addTab(QStringLiteral("Alternate"));
        spin->setValue(5);
        list->addItems({QStringLiteral("Daily"), QStringLiteral("Weekly")});
        arrow->setFocusPolicy(Qt::NoFocus);
        button->setDefault(true);
        quillor::platform::markAsCancelButton(cancel);
        disabled->setEnabled(false);
        (new QVBoxLayout(disabledPage))->addWidget(onDisabledPage);
        disabledPage->setEnabled(false);
        for (QWidget *w : std::initializer_list<QWidget *>{box, grid, tree, tabs, spin, check, list, button, arrow,
                                                            cancel})
            layout->addWidget(w);
        auto *lastRow = new QHBoxLayout;
        layout->addLayout(lastRow);
        for (QWidget *w : std::initializer_list<QWidget *>{label, disabled, disabledPage})
            lastRow->addWidget(w);
        for (QPushButton *b : {button, arrow, cancel, disabled, onDisabledPage})
            QObject::connect(b, &QPushButton::clicked, &window, [this] { ++clicks; });
    }
    ~Form()
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

    // Where in the window a press on `control` lands.
    QPoint spot(const QString &control) const
    {
        const auto in = [this](const QWidget *w, QPoint p) { return w->mapTo(&window, p); };
        if (control == u"grid row")
            return in(grid->viewport(), grid->visualRect(rows.index(2, 0)).center());
        if (control == u"tree row")
            return in(tree->viewport(), tree->visualRect(rows.index(2, 0)).center());
        if (control == u"tab")
            return in(tabs, tabs->tabRect(1).center());
        if (control == u"spin arrow")
            return in(spin, QPoint(spin->width() - 6, spin->height() / 4));
        if (control == u"menu")
            return in(menuBar, menuBar->actionGeometry(menu->menuAction()).center());
        if (control == u"check box")
            return in(check, QPoint(8, check->height() / 2)); // on its mark
        const QMap<QString, QWidget *> named{{"list", list},
                                             {"button", button},
                                             {"arrow", arrow},
                                             {"cancel", cancel},
                                             {"label", label},
                                             {"box", box},
                                             {"disabled button", disabled},
                                             {"button on a disabled page", onDisabledPage}};
        const QWidget *w = named.value(control);
        return w ? in(w, w->rect().center()) : QPoint();
    }
    // Whether the press on `control` has done what that control does.
    bool acted(const QString &control) const
    {
        if (control == u"grid row")
            return grid->currentIndex().row() == 2;
        if (control == u"tree row")
            return tree->currentIndex().row() == 2;
        if (control == u"tab")
            return tabs->currentIndex() == 1;
        if (control == u"spin arrow")
            return spin->value() == 6;
        if (control == u"check box")
            return check->isChecked();
        if (control == u"list")
            return list->view()->isVisible();
        if (control == u"menu")
            return menu->isVisible();
        return clicks > 0;
    }
    QWindow *handle() { return window.windowHandle(); }
};

enum Outcome { Kept, LetGo, Accepted };

// Answers the check as a field's handler does; with `modal` a real message
// box stays up until a timer closes it, and the user lets go of the mouse
// meanwhile.
void answer(Form &form, Outcome outcome, bool modal, QPoint spot, bool *cancel)
{
    if (outcome != Accepted) {
        form.box->setText(QStringLiteral("4")); // what a refusal puts back
        if (modal) {
            QMessageBox message(&form.window);
            message.setText(QStringLiteral("The rings to wait must be a number between 1 and 10"));
            QTimer::singleShot(10, &message, [&] {
                QTest::mouseRelease(form.handle(), Qt::LeftButton, {}, spot);
                message.accept();
            });
            message.exec();
        }
    }
    *cancel = outcome == Kept;
}

} // namespace

void TestValidatingEdit::pressAfterAnEdit_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("modal");  // the refusal's message is a real message box, let go of meanwhile
    QTest::addColumn<int>("checks");
    QTest::addColumn<bool>("acted");

    // What acts on the press acts after any check that lets it go; what acts
    // on the release does not once the message took the release.
    const QStringList onPress{"grid row", "tree row", "tab", "spin arrow", "list"};
    for (const QString control : {"grid row", "tree row", "tab", "spin arrow", "list", "check box", "button", "arrow"}) {
        const QByteArray name = control.toUtf8();
        QTest::newRow(name + ", refused and kept") << control << int(Kept) << false << 1 << false;
        QTest::newRow(name + ", refused and kept, real message") << control << int(Kept) << true << 1 << false;
        QTest::newRow(name + ", refused and let go") << control << int(LetGo) << false << 1 << true;
        QTest::newRow(name + ", refused and let go, real message")
            << control << int(LetGo) << true << 1 << onPress.contains(control);
        QTest::newRow(name + ", accepted") << control << int(Accepted) << false << 1 << true;
    }
    // Not another control, or one that cannot act: nothing is checked, whatever
    // the check would say.
    for (const auto &[control, acts] :
         {std::pair{"menu", true}, std::pair{"box", false}, std::pair{"label", false}, std::pair{"cancel", true},
          std::pair{"disabled button", false}, std::pair{"button on a disabled page", false}}) {
        QTest::newRow(QByteArray(control) + ", refused and kept") << control << int(Kept) << false << 0 << acts;
        QTest::newRow(QByteArray(control) + ", accepted") << control << int(Accepted) << false << 0 << acts;
    }
}

void TestValidatingEdit::pressAfterAnEdit()
{
    QFETCH(QString, control);
    QFETCH(int, outcome);
    QFETCH(bool, modal);
    QFETCH(int, checks);
    QFETCH(bool, acted);

    Form form;
    int asked = 0;
    QPoint spot;
    connect(form.box, &ValidatingLineEdit::validating, &form.window, [&](bool *cancel) {
        ++asked;
        answer(form, Outcome(outcome), modal, spot, cancel);
    });
    QVERIFY(focusIn(form.window, form.box));
    spot = form.spot(control);
    QTest::keyClicks(form.box, QStringLiteral("99"));

    QTest::mousePress(form.handle(), Qt::LeftButton, {}, spot);
    if (!modal)
        QTest::mouseRelease(form.handle(), Qt::LeftButton, {}, spot);
    QCOMPARE(asked, checks);
    QCOMPARE(form.acted(control), acted);
    // The window's focus stays in the box after a refusal that keeps it,
    // and nothing is left held down.
    if (outcome == Kept && checks)
        QCOMPARE(form.window.focusWidget(), form.box);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    for (const QAbstractButton *b : form.window.findChildren<QAbstractButton *>())
        QVERIFY2(!b->isDown(), qPrintable(b->text()));
    // Checked before the press, the leave that follows is not checked again.
    QTest::qWait(20);
    QCOMPARE(asked, checks);
}

void TestValidatingEdit::keyAfterAnEdit_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("acted"); // the default button clicked, the page turned, the focus moved on
    QTest::addColumn<bool>("inBox"); // the box has the focus afterwards

    const int ctrl = int(Qt::ControlModifier);
    QTest::newRow("Enter, refused and kept") << int(Qt::Key_Return) << 0 << int(Kept) << false << true;
    QTest::newRow("Enter, accepted") << int(Qt::Key_Return) << 0 << int(Accepted) << true << true;
    QTest::newRow("Ctrl+Tab, refused and kept") << int(Qt::Key_Tab) << ctrl << int(Kept) << false << true;
    QTest::newRow("Ctrl+Tab, refused and let go") << int(Qt::Key_Tab) << ctrl << int(LetGo) << true << false;
    QTest::newRow("Ctrl+Tab, accepted") << int(Qt::Key_Tab) << ctrl << int(Accepted) << true << false;
    QTest::newRow("Ctrl+Shift+Tab, refused and kept")
        << int(Qt::Key_Backtab) << (ctrl | int(Qt::ShiftModifier)) << int(Kept) << false << true;
    QTest::newRow("Tab, refused and kept") << int(Qt::Key_Tab) << 0 << int(Kept) << false << true;
    QTest::newRow("Tab, accepted") << int(Qt::Key_Tab) << 0 << int(Accepted) << true << false;
}

void TestValidatingEdit::keyAfterAnEdit()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, outcome);
    QFETCH(bool, acted);
    QFETCH(bool, inBox);

    QDialog window;
    auto *layout = new QVBoxLayout(&window);
    auto *pages = new QTabWidget(&window);
    auto *page = new QWidget(pages);
    auto *box = new ValidatingLineEdit(page);
    auto *next = new QLineEdit(page);
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(box);
    pageLayout->addWidget(next);
    pages->addTab(page, QStringLiteral("Standard"));
    pages->addTab(new QLineEdit(pages), QStringLiteral("Alternate"));
    pages->addTab(new QLineEdit(pages), QStringLiteral("Closed"));
    auto *button = new QPushButton(QStringLiteral("OK"), &window);
    button->setDefault(true);
    layout->addWidget(pages);
    layout->addWidget(button);
    int asked = 0;
    connect(box, &ValidatingLineEdit::validating, &window, [&](bool *cancel) {
        ++asked;
        *cancel = outcome == Kept;
    });
    QSignalSpy clicked(button, &QPushButton::clicked);
    QVERIFY(focusIn(window, box));
    QTest::keyClicks(box, QStringLiteral("99"));

    QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTest::qWait(20);
    QCOMPARE(asked, 1);
    const bool enter = key == Qt::Key_Return;
    const bool turns = modifiers & Qt::ControlModifier;
    QCOMPARE(enter ? !clicked.isEmpty() : turns ? pages->currentIndex() != 0 : next->hasFocus(), acted);
    QCOMPARE(box->hasFocus(), inBox);
    QCOMPARE(box->isVisible(), !(turns && acted));
}

void TestValidatingEdit::pressesAroundADroppedOne_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("checks");
    QTest::addColumn<int>("received"); // events of the press (moves with a button down) that went on into the window
    QTest::addColumn<bool>("clicked");

    // The moves and the release of a dropped press go with it.
    QTest::newRow("release of a dropped press") << "click" << 1 << 0 << false;
    // Its release came while the message was up: the next move is not part of it.
    QTest::newRow("move after a dropped press, released during its message") << "message, click" << 1 << 0 << false;
    // The second click of a double click goes with the first, unchecked.
    QTest::newRow("double click after a dropped press") << "double click" << 1 << 0 << false;
    // A press while a popup is open over the box is the popup's: it closes it.
    QTest::newRow("press with a popup over the box") << "popup, click" << 0 << 3 << false;
    // The wheel moved the focus and the box took it back: the press that
    // follows is checked afresh, not judged by the wheel's check.
    QTest::newRow("press right after a wheel-driven focus move") << "wheel, click" << 2 << 0 << false;
    // A check the wheel's move accepted leaves nothing that drops the next press.
    QTest::newRow("press right after an accepted wheel-driven move") << "accept, wheel, click" << 1 << 3 << true;
}

void TestValidatingEdit::pressesAroundADroppedOne()
{
    QFETCH(QString, steps);
    QFETCH(int, checks);
    QFETCH(int, received);
    QFETCH(bool, clicked);

    Form form;
    const bool accept = steps.startsWith(u"accept");
    int asked = 0;
    const bool modal = steps.startsWith(u"message");
    QPoint spot;
    connect(form.box, &ValidatingLineEdit::validating, &form.window, [&](bool *cancel) {
        ++asked;
        answer(form, accept ? Accepted : Kept, modal, spot, cancel);
    });
    int reached = 0;
    int hovered = 0;
    struct Counter : QObject {
        int *count;
        int *hovers;
        Counter(int *c, int *h) : count(c), hovers(h) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            const QEvent::Type t = e->type();
            const bool held = t == QEvent::MouseMove && static_cast<QMouseEvent *>(e)->buttons() != Qt::NoButton;
            *count += t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease || t == QEvent::MouseButtonDblClick
                      || held;
            *hovers += t == QEvent::MouseMove && !held;
            return false;
        }
    } counter(&reached, &hovered);
    QVERIFY(focusIn(form.window, form.box));
    form.handle()->installEventFilter(&counter);
    spot = form.spot(QStringLiteral("arrow"));
    QTest::keyClicks(form.box, QStringLiteral("99"));

    if (steps.contains(u"popup"))
        form.menu->popup(form.box->mapToGlobal(QPoint(0, 0)));
    if (steps.contains(u"wheel")) {
        // As the window system turns it: to the spin box under the pointer,
        // which takes the focus by the wheel.
        QWidget *spinText = form.spin->childAt(form.spin->rect().center());
        QVERIFY(spinText);
        const QPointF local = spinText->rect().center();
        QWheelEvent wheel(local, spinText->mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        QApplication::instance()->notify(spinText, &wheel);
        QCoreApplication::processEvents();
        QCOMPARE(form.window.focusWidget() == form.box, !accept);
    }
    if (steps.endsWith(u"double click")) {
        QTest::mouseDClick(form.handle(), Qt::LeftButton, {}, spot);
    } else {
        QTest::mousePress(form.handle(), Qt::LeftButton, {}, spot);
        if (!modal) {
            QTest::mouseMove(form.handle(), spot + QPoint(1, 0));
            QTest::mouseRelease(form.handle(), Qt::LeftButton, {}, spot + QPoint(1, 0));
        }
    }
    QCOMPARE(asked, checks);
    QCOMPARE(reached, received);
    // Once the press is over the mouse moves over the window again.
    hovered = 0;
    QTest::mouseMove(form.handle(), spot + QPoint(4, 0));
    QCOMPARE(hovered, 1);
    QCOMPARE(form.clicks > 0, clicked);
    QCOMPARE(form.menu->isVisible(), false);
}

QTEST_MAIN(TestValidatingEdit)
#include "tst_validatingedit.moc"
