#pragma once
// The greeting writers: one greeting of the shown call handler or subscriber
// (by index: 0 Standard, 1 Off Hours, 2 Busy, 3 Alternate, 4 Internal,
// 5 Error), written whole from what its page shows, with one audit line.
//
// Three storage regimes: from 4.0(3.120) on the greeting procedure (which
// UpdateValue itself replaces by a write of the MessagingRule row below
// 4.0(5.1)); on older servers the writer updates the greeting's row itself.

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

namespace quillor {

class EditingHost;

// What the greetings page shows of one greeting.
struct GreetingInput {
    bool enabled = true;       // chk...GreetingEnabled
    bool allowInput = true;    // chk...GreetingAllowUserInput / chkSubscriberGreetingAllowInput
    std::optional<int> source; // cmb...GreetingSource: none selected leaves the stored source
    std::optional<int> repeat; // cmb...GreetingRepeat: none selected leaves the stored count
    // The call handler page's expiry (local time); a subscriber's page has none.
    bool neverExpires = true;  // optExpireGreetingNever
    QDate expiryDate;          // the date of dateGreetingExpire
    QTime expiryTime;          // the time of day of timeGreetingExpire
};

// False when nothing was written: an index outside 0-5, a shown object of
// another kind, a greeting not found once, an expiry that has already passed
// (said; nothing is sent), or a refused write.
bool UpdateCurrentHandlerMessageRule(EditingHost &host, int index, const GreetingInput &input);
bool UpdateCurrentSubscriberMessageRule(EditingHost &host, int index, const GreetingInput &input);

} // namespace quillor
