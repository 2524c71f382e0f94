#pragma once
#include <QString>
#include <QtGlobal>

namespace quillor {

class AppContext;

// Kinds an owner or recipient ObjectID can name.
enum OwnerKind : qint16 { OwnerSubscriber = 1, OwnerDistributionList = 2, OwnerInvalidLink = 97 };

// Finds whether `strObjectID` names a subscriber, a system distribution list or
// a scope distribution list (tested in that order) and gives its name;
// 97 with "Invalid Link" when it names none of them.
qint16 TolvaDBFindSubscriberOrDLbyObjectID(AppContext &ctx, const QString &strObjectID, QString &strDisplayName);

} // namespace quillor
