#pragma once
#include <QString>

namespace quillor {

// ObjectIDs in the one form the program compares them in: a GUID (with or
// without braces, in any case) becomes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// in upper case; any other text is only trimmed.
QString normalizedObjectId(const QString &id);

// An ObjectID as the program stores and hands it on: a GUID without braces (SQL
// Server's text of a uniqueidentifier) braced, its letters as they are, since
// the stand-in compares ObjectIDs as text; any other text unchanged.
QString bracedObjectId(const QString &id);

// True when `id` is a GUID, with or without braces, in any case.
bool isGuidText(const QString &id);

// True when both name the same object.
bool sameObjectId(const QString &a, const QString &b);

} // namespace quillor
