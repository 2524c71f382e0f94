#pragma once
// Small conventions every detail page shares.
//
// A control's Tag holds the value it showed when it was loaded (a check box
// "1"/"0", an option button "True"/"False", a text box or list its text, an
// owner box the kind of owner found), so an edit can tell whether anything
// changed and put the old value back when a write fails.

#include <QString>

#include <optional>

class QComboBox;
class QObject;

namespace quillor {

void setTag(QObject *control, const QString &value);
QString tag(const QObject *control);

// The object name of element `index` of a control array: "name(index)".
QString indexedName(const QString &name, int index);

// Selects the entry whose text is `text` (letter case aside, as the server
// compares names). A text the list does not hold
// leaves no entry selected and shows the text greyed as a placeholder, so the
// previous object's choice never stays on screen. False when not in the list.
bool selectComboText(QComboBox *combo, const QString &text);
// Selects an entry by position; a position outside the list selects nothing.
bool selectComboIndex(QComboBox *combo, int index);
// No entry selected and no placeholder.
void clearComboSelection(QComboBox *combo);
// The position a position-coded list hands to its writer: none when no entry
// is selected (the writer then leaves the stored value as it is).
std::optional<int> storedPosition(const QComboBox *combo);

} // namespace quillor
