#include "pickers/pickerregistry.h"

#include "pickers/frmpickers.h"

namespace quillor {

Pickers::Pickers(AppContext &ctx, QWidget *owner) : m_ctx(ctx), m_owner(owner) {}

template <typename Dialog> Dialog &Pickers::instance(QPointer<Dialog> &slot)
{
    if (!slot)
        slot = new Dialog(m_ctx, m_owner); // owned by the window
    return *slot;
}

frmCallHandlerSearch &Pickers::callHandlerSearch()
{
    return instance(m_callHandlerSearch);
}

frmDistributionListSearch &Pickers::distributionListSearch()
{
    return instance(m_distributionListSearch);
}

frmInterviewerSearch &Pickers::interviewerSearch()
{
    return instance(m_interviewerSearch);
}

frmSubscriberSearch &Pickers::subscriberSearch()
{
    return instance(m_subscriberSearch);
}

} // namespace quillor
