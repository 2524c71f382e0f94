#pragma once
// Turning the mouse wheel over a window is how a user scrolls it, not how he
// chooses a value. Qt's spin boxes, date and time edits, lists and sliders
// change their value under the wheel even without the keyboard focus (and
// take the focus from it), so merely scrolling a page past them would change,
// and through their handlers store, what nobody chose.

class QTabWidget;
class QWidget;

namespace quillor::platform {

// Every spin box, date or time edit, list and slider inside `root` takes the
// wheel only while it has the keyboard focus; otherwise the wheel goes on to
// what holds the control, as a wheel nobody takes does, so the page's scroll
// area scrolls. The wheel no longer gives these controls the focus either.
// Call it once the controls are built; a control made later is not guarded.
void guardWheel(QWidget *root);

// For a tab control that shows one page at a time and chooses it itself: the
// user's ways of turning its pages (the wheel over its tab bar, the arrow keys
// on the tab bar, Ctrl+Tab and Ctrl+Shift+Tab) do nothing, so no page the
// program hides can become current. The program's setCurrentIndex is unaffected.
void pinCurrentPage(QTabWidget *tabs);

} // namespace quillor::platform
