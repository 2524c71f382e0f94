#pragma once
// The dependency report: every object and routing rule that routes callers to
// one call handler, subscriber, interview handler or name lookup handler (or
// owns it, or receives its messages), as plain text with CR LF line ends.

#include <QString>

#include <functional>

namespace quillor {

class AppContext;

struct DependencyReport {
    QString text;        // what the report window shows
    QString targetAlias; // the target's alias; "" when no report was made
    bool made = false;   // false for a refusal or a failed query, whose text is the one line
};

// Receives a report's text while it is being made, whole lines at a time and
// in order, so that a window can take in a long report while the rest is read.
using ReportLines = std::function<void(QString lines)>;

// The report for the object of type `iObjectType` (1 subscriber, 3 call
// handler, 5 interview handler, 6 name lookup handler) whose ObjectID in its
// own table is `strObjectID` (for a subscriber its SubscriberObjectID). A
// refusal (server too old, bad type or ObjectID, no such object) is the text.
// The report is made whole or not at all: a failed query is shown once and
// the text then says that no report was made. Given `lines`, a report made
// goes there whole and its `text` stays empty; of one not made, what `lines`
// received is to be dropped.
DependencyReport makeDependencyReport(AppContext &ctx, qint16 iObjectType, const QString &strObjectID,
                                      const ReportLines &lines = {});

} // namespace quillor
