#pragma once
// The writer of a number box (a spin box whose value changes once per
// committed entry, see details/updown.h).

#include <QObject>

#include <functional>

class QSpinBox;

namespace quillor {

// Hands each value committed in `box` to `write`, which answers false when the
// value was not written: the box then shows the value it held before again.
void whenNumberCommitted(QSpinBox *box, QObject *context, std::function<bool(int)> write);

} // namespace quillor
