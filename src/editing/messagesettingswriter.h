#pragma once
// The message settings writers: the longest message, whether callers may edit
// their message and whether they may mark it urgent, all three written at once
// to the shown call handler (for a subscriber: its primary call handler), with
// one audit line.

#include <QString>

#include <optional>

namespace quillor {

class EditingHost;

// What the messages page shows.
struct MessageSettingsInput {
    QString maxMessageLength;    // txt...MessagesMaxMessageLength: empty leaves the stored length
    bool canEditMessages = false; // chk...MessagesCanEditMessages
    std::optional<int> urgency;  // cmb...MessagesCanMarkUrgent: none selected leaves the stored choice
};

// False when nothing was written (a shown object of another kind, or a refused write).
bool UpdateCurrentCallHandlerMessageSettings(EditingHost &host, const MessageSettingsInput &input);
bool UpdateCurrentSubscriberMessageSettings(EditingHost &host, const MessageSettingsInput &input);

} // namespace quillor
