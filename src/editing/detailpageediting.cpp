#include "editing/detailpageediting.h"

#include "editing/callhandlerediting.h"
#include "editing/interviewerediting.h"
#include "editing/namelookupediting.h"
#include "editing/subscriberediting.h"

namespace quillor {

EditingHost *attachDetailPageEditing(AppContext &ctx, const SelectedObject &shown, EditingHost::Window window,
                                     const DetailPages &pages, QObject *parent)
{
    auto *host = new EditingHost(ctx, shown, std::move(window), parent);
    new SubscriberEditing(*host, pages.subscriber, host);
    new CallHandlerEditing(*host, pages.callHandler, host);
    new InterviewerEditing(*host, pages.interviewer, host);
    new NameLookupEditing(*host, pages.nameLookupHandler, host);
    return host;
}

} // namespace quillor
