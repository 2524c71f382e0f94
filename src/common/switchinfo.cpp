#include "common/switchinfo.h"

#include "common/appcontext.h"
#include "common/registryapi.h"
#include "common/tolvaversion.h"
#include "platform/seams.h"

#include <limits>

namespace quillor::modSwitchInfo {

using platform::RootKey;

namespace {

constexpr int kSubscriptOutOfRange = 9;
constexpr int kOverflow = 6;

SwitchInfoState &state()
{
    static SwitchInfoState s;
    return s;
}

// This module's own frame for an unexpected failure; the program carries on after it.
void reportModuleError(int number, const QString &description, const QString &procedure)
{
    platform::msgBox(QStringLiteral("Error %1 (%2) in procedure %3 of Module modSwitchInfo")
                         .arg(number)
                         .arg(description, procedure));
}

QString displayName(const platform::Registry &reg, const QString &key)
{
    return QueryRegValue(reg, RootKey::LocalMachine, key, QStringLiteral("DisplayName"), REG_SZ, QString())
        .toString();
}

} // namespace

void InitalizeSwitchInfo(AppContext &ctx)
{
    SwitchInfoState &s = state();
    s = {};
    const platform::Registry &reg = ctx.registry();
    const QString base = QString::fromLatin1(kIntegrationsKey);

    if (!bIsVersionGreaterThanOrEqualTo(ctx, 4, 2, 0, 27)) {
        // Older servers have two fixed keys; the first always counts, the
        // switch id is the position.
        s.names.append(displayName(reg, base + QStringLiteral("\\integration1")));
        s.count = 1;
        const QString second = base + QStringLiteral("\\integration2");
        if (bRegKeyExists(reg, RootKey::LocalMachine, second)) {
            s.names.append(displayName(reg, second));
            s.count = 2;
        }
        return;
    }

    s.bIdLayout = true;
    const QStringList subKeys = EnumRegSubKeys(reg, RootKey::LocalMachine, base);
    if (subKeys.isEmpty()) {
        // The key itself is missing: nothing is loaded, every look-up says so.
        reportModuleError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"),
                          QStringLiteral("InitalizeSwitchInfo"));
        return;
    }
    if (subKeys.size() > std::numeric_limits<qint16>::max()) {
        reportModuleError(kOverflow, QStringLiteral("Overflow"), QStringLiteral("InitalizeSwitchInfo"));
        return;
    }
    // A key without subkeys lists one empty name: one integration with an
    // empty display name and id 0, as the server itself reads it.
    for (const QString &subKey : subKeys) {
        const QString key = base + u'\\' + subKey;
        s.names.append(displayName(reg, key));
        const qint32 id =
            QueryRegValue(reg, RootKey::LocalMachine, key, QStringLiteral("IntegrationID"), REG_DWORD, 0).toInt();
        if (id < std::numeric_limits<qint16>::min() || id > std::numeric_limits<qint16>::max()) {
            // A switch id beyond the 16-bit range cannot be asked for; the
            // entry keeps id 0 and loading carries on.
            reportModuleError(kOverflow, QStringLiteral("Overflow"), QStringLiteral("InitalizeSwitchInfo"));
            s.ids.append(0);
        } else {
            s.ids.append(static_cast<qint16>(id));
        }
    }
    s.count = static_cast<qint16>(subKeys.size());
}

QString strGetSwitchName(qint16 switchId)
{
    const SwitchInfoState &s = state();
    if (s.count == 0)
        return QStringLiteral("(error) - switch info not initalized");
    QString answer = QStringLiteral("(error) - invalid switch ID: %1").arg(switchId);

    if (!s.bIdLayout) {
        if (switchId >= 1 && s.count < 2)
            return answer;
        if (switchId >= 0 && switchId < s.names.size())
            return s.names.at(switchId);
        return answer;
    }
    // Every entry with the id is taken, so with duplicate ids the last one wins.
    for (qsizetype i = 0; i < s.count && i < s.ids.size(); ++i) {
        if (s.ids.at(i) == switchId)
            answer = s.names.at(i);
    }
    return answer;
}

const SwitchInfoState &switchInfoState() { return state(); }

void resetSwitchInfo() { state() = {}; }

} // namespace quillor::modSwitchInfo
