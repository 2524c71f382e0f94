#pragma once
#include <QString>

namespace quillor {

// The frame every unexpected failure is reported in:
// "(error):<number> (<description>) in procedure <procedure> of <kind> <unit>",
// where kind is "Module" or "Form".
QString errorText(int number, const QString &description, const QString &procedure, const QString &kind,
                  const QString &unit);

// Shows that text in a message box with an OK button.
void reportError(int number, const QString &description, const QString &procedure, const QString &kind,
                 const QString &unit);

} // namespace quillor
