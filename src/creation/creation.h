#pragma once
// Making new call handlers, name lookup handlers and interview handlers: the
// checks on what the user typed, a free alias, and the rows of the new object.
// Every row of one new object is written in one transaction, so a creation
// that fails part way leaves nothing behind; the failure is shown and logged
// as FAILED_ADD_NEW, a success as one ADD_NEW line.

#include "platform/database.h"

#include <QString>
#include <optional>

namespace quillor {

class AppContext;

// What the user typed on a creation page.
struct NewHandlerRequest {
    QString templateObjectId; // the template's ObjectID (call and interview handlers)
    QString name;
    QString extension; // optional
};

// The object made.
struct CreatedHandler {
    QString objectId;
    QString displayName;
    QString alias;
};

// The alias of a new object: the name with every apostrophe and blank taken out.
QString aliasForName(const QString &name);

// A whole random number from 0 to 99999 from the program's generator, as alias
// suffixes and recording names use it.
int randomSuffix();

// `alias` as it stands when no row of `view` has it yet; each collision
// appends one more random number. nullopt when a look-up failed, which
// `error` then says.
std::optional<QString> uniqueAlias(AppContext &ctx, const QString &view, const QString &alias,
                                   platform::DbError *error);

// A copy of the template call handler: its transfer rules, one-key menu,
// greetings (with a private copy of each recording), owner, recipient and
// after-message destination. nullopt when nothing was created (the reason has
// been shown).
std::optional<CreatedHandler> createCallHandler(AppContext &ctx, const NewHandlerRequest &request);

// A name lookup handler with the settings of the first one the server lists.
std::optional<CreatedHandler> createDirectoryHandler(AppContext &ctx, const NewHandlerRequest &request);

// An interview handler with the template's owner, recipient, after-message
// action and location, and its extension.
std::optional<CreatedHandler> createInterviewHandler(AppContext &ctx, const NewHandlerRequest &request);

// The recording name of the first question of a new interview handler:
// "iq_<alias>_<row>_<random number>.wav".
QString newQuestionStreamName(const QString &alias, int row);

} // namespace quillor
