#pragma once
// The free numbers of a range: every number from the first to the last that
// no extension of the dialing domain uses.

#include "platform/database.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace quillor {

class AppContext;

// The widest range searched at once.
constexpr qint64 kMaxExtensionRange = 5000;

// Whether a range box's text is acceptable: empty, or digits only and no
// more than 18 of them after any leading zeros.
bool isRangeNumber(const QString &text);
// The number a range box holds; 0 for an empty box. nullopt when the text is
// not acceptable.
std::optional<qint64> rangeValue(const QString &text);

// The numbers from `start` to `end` (both included) that no row of
// vw_DTMFAccessID_DialingDomain has as its DTMFAccessID, ascending, written
// without leading zeros. The numbers are asked about in groups; `progress`
// (may be empty) hears how many have been looked at so far. nullopt with
// `error` at the first failed query.
std::optional<QStringList> freeExtensions(AppContext &ctx, qint64 start, qint64 end,
                                          const std::function<void(qint64 done)> &progress,
                                          platform::DbError *error);

} // namespace quillor
