#include "editing/onekeydelay.h"

#include "common/validators.h"
#include "details/callhandlerpage.h"
#include "details/subscriberpage.h"
#include "details/updown.h"
#include "editing/editinghost.h"
#include "editing/fieldwrite.h"
#include "editing/numberbox.h"

#include <QSpinBox>

namespace quillor {

bool setOneKeyDelay(EditingHost &host, const QSpinBox *box, qint16 objectType)
{
    if (!host.isShown(objectType))
        return true;
    const QString text = QString::number(box->value());
    return writeField(host, {QStringLiteral("sp_ModifyCallHandler"), QStringLiteral("CallHandlerObjectID"),
                      host.CurrentlySelectedObject().ObjectID, {QStringLiteral("OneKeyDelay"), text, 200},
                      strObjectTypeName(objectType), text});
}

OneKeyDelayEditing::OneKeyDelayEditing(EditingHost &host, CallHandlerPage &callHandler, SubscriberPage &subscriber,
                                       QObject *parent)
    : QObject(parent), m_host(host), m_callHandler(callHandler), m_subscriber(subscriber)
{
    callHandler.editLock().release(callHandler.txtCallHandlerMillisecondsToWaitForAdditionalDigits);
    callHandler.editLock().release(callHandler.UpDown1);
    whenNumberCommitted(callHandler.txtCallHandlerMillisecondsToWaitForAdditionalDigits, this,
                        [this](int) { return txtCallHandlerMillisecondsToWaitForAdditionalDigits_Change(); });
    subscriber.editLock().release(subscriber.txtSubscriberMillisecondsToWaitForAdditionalDigits);
    subscriber.editLock().release(subscriber.UpDown2);
    whenNumberCommitted(subscriber.txtSubscriberMillisecondsToWaitForAdditionalDigits, this,
                        [this](int) { return txtSubscriberMillisecondsToWaitForAdditionalDigits_Change(); });
}

bool OneKeyDelayEditing::txtCallHandlerMillisecondsToWaitForAdditionalDigits_Change()
{
    return m_host.bLoadingControls()
           || setOneKeyDelay(m_host, m_callHandler.txtCallHandlerMillisecondsToWaitForAdditionalDigits, ShownCallHandler);
}

bool OneKeyDelayEditing::txtSubscriberMillisecondsToWaitForAdditionalDigits_Change()
{
    return m_host.bLoadingControls()
           || setOneKeyDelay(m_host, m_subscriber.txtSubscriberMillisecondsToWaitForAdditionalDigits, ShownSubscriber);
}

} // namespace quillor
