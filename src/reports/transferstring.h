#pragma once
// The transfer (contact) rules that dial a given string, exactly or as a
// part, and the call handlers and subscribers that own them.

#include "platform/database.h"

#include <QList>
#include <QString>
#include <optional>

namespace quillor {

class AppContext;

struct TransferMatch {
    QString owner;        // "Subscriber with alias=..." or "Call handler with alias=..."
    QString contactAlias; // the rule's alias
    QString extension;    // the rule's transfer string
};

// Every contact rule whose transfer string is `text` or, with `partial`,
// contains it; "%", "_" and other pattern characters in `text` stand for
// themselves. Rows in the server's order; nullopt with `error` when the query
// failed.
std::optional<QList<TransferMatch>> findTransferString(AppContext &ctx, const QString &text, bool partial,
                                                       platform::DbError *error);

// The report of the matches, one paragraph per rule.
QString transferMatchesText(const QList<TransferMatch> &matches);

} // namespace quillor
