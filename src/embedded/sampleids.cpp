#include "embedded/sampleids.h"

#include <QRegularExpression>

namespace quillor::embedded::SampleIds {

QString objectId(Kind kind, int serial)
{
    return QStringLiteral("{%1-0000-4000-8000-%2}")
        .arg(int(kind), 8, 16, QLatin1Char('0'))
        .arg(serial, 12, 16, QLatin1Char('0'))
        .toUpper();
}

QString ruleId(Kind kind, int parentSerial, int index)
{
    return QStringLiteral("{%1-%2-4000-8000-%3}")
        .arg(int(kind), 8, 16, QLatin1Char('0'))
        .arg(parentSerial, 4, 16, QLatin1Char('0'))
        .arg(index, 12, 16, QLatin1Char('0'))
        .toUpper();
}

namespace {

// The serial of an ObjectID of the sample's scheme for `kind`; -1 otherwise.
int serialOf(const QString &id, Kind kind)
{
    static const QRegularExpression scheme(QStringLiteral("^\\{([0-9A-F]{8})-0000-4000-8000-([0-9A-F]{12})\\}$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = scheme.match(id);
    if (!m.hasMatch() || m.captured(1).toInt(nullptr, 16) != int(kind))
        return -1;
    const int serial = m.captured(2).toInt(nullptr, 16);
    return serial > 0 && serial <= 0xFFFF ? serial : -1;
}

QString handlerRule(Kind ruleKind, const QString &handlerId, int index, int count)
{
    const int serial = serialOf(handlerId, Kind::CallHandler);
    if (serial < 0 || index < 0 || index >= count)
        return {};
    return ruleId(ruleKind, serial, index);
}

} // namespace

QString contactRuleId(const QString &handlerId, int index)
{
    return handlerRule(Kind::ContactRule, handlerId, index, 3);
}

QString greetingId(const QString &handlerId, int index)
{
    return handlerRule(Kind::Greeting, handlerId, index, 6);
}

QString menuEntryId(const QString &handlerId, int index)
{
    return handlerRule(Kind::MenuEntry, handlerId, index, 12);
}

QString questionId(const QString &interviewHandlerId, int index)
{
    const int serial = serialOf(interviewHandlerId, Kind::InterviewHandler);
    if (serial < 0 || index < 0)
        return {};
    return ruleId(Kind::Question, serial, index);
}

} // namespace quillor::embedded::SampleIds
