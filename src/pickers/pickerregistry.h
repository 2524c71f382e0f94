#pragma once
// The one instance of each picker: created on first use as a child of the
// owning window and kept for the rest of the run, so that every caller (the
// owner and recipient choice, the creation dialogs, the routing actions)
// shows the same dialog.

#include <QPointer>

class QWidget;

namespace quillor {

class AppContext;
class frmCallHandlerSearch;
class frmDistributionListSearch;
class frmInterviewerSearch;
class frmSubscriberSearch;

class Pickers {
public:
    Pickers(AppContext &ctx, QWidget *owner);
    Pickers(const Pickers &) = delete;
    Pickers &operator=(const Pickers &) = delete;

    frmCallHandlerSearch &callHandlerSearch();
    frmDistributionListSearch &distributionListSearch();
    frmInterviewerSearch &interviewerSearch();
    frmSubscriberSearch &subscriberSearch();

private:
    template <typename Dialog> Dialog &instance(QPointer<Dialog> &slot);

    AppContext &m_ctx;
    QWidget *m_owner;
    QPointer<frmCallHandlerSearch> m_callHandlerSearch;
    QPointer<frmDistributionListSearch> m_distributionListSearch;
    QPointer<frmInterviewerSearch> m_interviewerSearch;
    QPointer<frmSubscriberSearch> m_subscriberSearch;
};

} // namespace quillor
