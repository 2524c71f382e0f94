#include "editing/numberbox.h"

#include <QSignalBlocker>
#include <QSpinBox>

#include <memory>
#include <utility>

namespace quillor {

void whenNumberCommitted(QSpinBox *box, QObject *context, std::function<bool(int)> write)
{
    // Every change passes here, a load's included, so `shown` is always the
    // value before the one just committed.
    auto shown = std::make_shared<int>(box->value());
    QObject::connect(box, &QSpinBox::valueChanged, context, [box, shown, write = std::move(write)](int value) {
        const int before = std::exchange(*shown, value);
        if (write(value))
            return;
        const QSignalBlocker quiet(box);
        box->setValue(before);
        *shown = before;
    });
}

} // namespace quillor
