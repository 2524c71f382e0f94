#pragma once
// Extensions > "Find extension in database": which objects of the dialing
// domain use an extension. It only reads.

class QWidget;

namespace quillor {

class AppContext;

// Asks for the extension and lists every owner in one message box. A cancelled
// or empty answer does nothing; a text that is not all digits and a failed
// query are reported and end the look-up.
void findExtensionInDialingDomain(AppContext &ctx, QWidget *parent = nullptr);

} // namespace quillor
