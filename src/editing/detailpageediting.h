#pragma once
// Puts the field handlers on the four detail pages. The main window calls
// this once and keeps the host; everything else hangs below it.

#include "editing/editinghost.h"

namespace quillor {

class CallHandlerPage;
class InterviewerPage;
class NameLookupHandlerPage;
class SubscriberPage;

struct DetailPages {
    SubscriberPage &subscriber;
    CallHandlerPage &callHandler;
    InterviewerPage &interviewer;
    NameLookupHandlerPage &nameLookupHandler;
};

EditingHost *attachDetailPageEditing(AppContext &ctx, const SelectedObject &shown, EditingHost::Window window,
                                     const DetailPages &pages, QObject *parent);

} // namespace quillor
