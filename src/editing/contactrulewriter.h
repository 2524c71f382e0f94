#pragma once
// The transfer rule writers: one contact rule of the shown call handler (by
// index: 0 Standard, 1 Off Hours, 2 Alternate), or the Alternate rule of the
// shown subscriber, written whole from what its page shows, with one audit
// line; the grid view is listed again after a write.

#include "platform/database.h"

#include <QString>

#include <optional>

namespace quillor {

class EditingHost;

// What the transfer page shows of one rule.
struct ContactRuleInput {
    bool enabled = true;              // chkHandlerTransferEnabled; a subscriber's rule is always on
    bool ringPhone = false;           // optHandlerTransferAttemptRingPhone
    std::optional<int> transferType;  // cmbHandlerTransferType: none selected leaves the stored type
    QString rings;                    // txtHandlerTransferRingstoWait: empty leaves the stored count
    QString transferString;           // txtHandlerTransferString
};

// The shown object's contact rule of `alias` (see openShownRule), refused
// with the system's "Could not load" message.
platform::Recordset openContactRule(EditingHost &host, const QString &alias, const QString &procedure);

// False when nothing was written: an index outside 0-2, a shown object that
// is not a call handler (subscriber), a rule not found once, or a refused write.
bool UpdateCurrentContactRule(EditingHost &host, int index, const ContactRuleInput &input);
bool UpdateCurrentSubscriberContactRule(EditingHost &host, const ContactRuleInput &input);

} // namespace quillor
