#pragma once
// The time a call handler or a subscriber waits for more digits after a key
// ("Milliseconds to wait for additional digits:"), written once for each value
// the user commits in its number box. A subscriber's delay is its primary
// call handler's.

#include <QObject>

class QSpinBox;

namespace quillor {

class CallHandlerPage;
class EditingHost;
class SubscriberPage;

// Writes the delay `box` shows for the shown object of `objectType` (3 or 1),
// with its audit line. False when it was to be written and was not.
bool setOneKeyDelay(EditingHost &host, const QSpinBox *box, qint16 objectType);

class OneKeyDelayEditing : public QObject {
    Q_OBJECT
public:
    OneKeyDelayEditing(EditingHost &host, CallHandlerPage &callHandler, SubscriberPage &subscriber,
                       QObject *parent = nullptr);

    // False when the value committed was not written.
    bool txtCallHandlerMillisecondsToWaitForAdditionalDigits_Change();
    bool txtSubscriberMillisecondsToWaitForAdditionalDigits_Change();

private:
    EditingHost &m_host;
    CallHandlerPage &m_callHandler;
    SubscriberPage &m_subscriber;
};

} // namespace quillor
