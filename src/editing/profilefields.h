#pragma once
// The profile fields every handler page has: display names and extensions
// (checked when their box is left) and the language and schedule lists.

#include <QString>

class QComboBox;
class QLineEdit;

namespace quillor {

class EditingHost;

// The display name or extension of a call handler, name lookup handler or
// subscriber, written through the object's procedure.
struct ProfileField {
    enum class Kind { DisplayName, Extension };
    Kind kind;
    qint16 objectType;   // the page's kind of object
    QString procedure;   // "sp_ModifyCallHandler", "sp_ModifyDirectoryHandler", "sp_ModifySubscriber"
    QString keyName;     // "CallHandlerObjectID", ...
    QString auditTable;  // "CallHandler", "NameLookupHandler", "Subscriber"
    bool directorySync = false;
};

// The Validate handler of such a box; `key` is the object's own ObjectID. The
// text is taken without surrounding blanks; a name is compared with its Tag
// letter case included (a case-only rename is written), an extension without
// regard to case. Refused: the message and the Tag back in the box. Written:
// the grid view is listed again, a new name becomes the title, and the Tag
// takes the text. Never keeps the focus.
void validateProfileField(EditingHost &host, QLineEdit *box, const ProfileField &field, const QString &key);

// The interview handler's boxes, written straight into its rows.
void validateInterviewerDisplayName(EditingHost &host, QLineEdit *box);
void validateInterviewerExtension(EditingHost &host, QLineEdit *box);

// The outcome of a list's handler.
enum class EditResult {
    Ignored,    // being loaded, or nothing changed: the list stays as it is
    Written,
    NotWritten, // refused or failed: the caller shows the stored value again
};

// A language list written through the object's procedure; "Inherited" is Null.
struct ListField {
    qint16 objectType;
    QString procedure;
    QString keyName;
    QString auditTable;
};
EditResult writeLanguage(EditingHost &host, QComboBox *list, const ListField &field);
// The interview handler's language, written into its row.
EditResult writeInterviewerLanguage(EditingHost &host, QComboBox *list);
// A schedule list (stored by the schedule's name) of a call handler or a
// subscriber's primary call handler. With `compareTag` a choice equal to the
// Tag writes nothing; the Tag takes each name written.
EditResult writeSchedule(EditingHost &host, QComboBox *list, qint16 objectType, const QString &auditTable,
                         bool compareTag);

} // namespace quillor
