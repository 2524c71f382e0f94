#include "common/errors.h"

#include "platform/seams.h"

namespace quillor {

QString errorText(int number, const QString &description, const QString &procedure, const QString &kind,
                  const QString &unit)
{
    return QStringLiteral("(error):%1 (%2) in procedure %3 of %4 %5").arg(number).arg(description, procedure, kind, unit);
}

void reportError(int number, const QString &description, const QString &procedure, const QString &kind,
                 const QString &unit)
{
    platform::msgBox(errorText(number, description, procedure, kind, unit));
}

} // namespace quillor
