#include "common/registryapi.h"

namespace quillor {

using platform::RegType;

bool bRegKeyExists(const platform::Registry &registry, platform::RootKey root, const QString &subKey)
{
    return registry.keyExists(root, subKey);
}

QVariant QueryRegValue(const platform::Registry &registry, platform::RootKey root, const QString &subKey,
                       const QString &valueName, int valueType, const QVariant &defaultValue, RegistryError *error)
{
    if (error)
        *error = {};
    if (valueType != REG_SZ && valueType != REG_BINARY && valueType != REG_DWORD) {
        if (error)
            *error = {1001, QStringLiteral("Unsupported value type")};
        return defaultValue;
    }
    const auto value = registry.value(root, subKey, valueName);
    if (!value)
        return defaultValue;
    switch (valueType) {
    case REG_SZ: {
        if (value->type != RegType::Sz && value->type != RegType::ExpandSz)
            return defaultValue;
        const QString text = value->data.toString();
        // The reader's buffer holds 1024 bytes with the terminating zero.
        if (text.toLocal8Bit().size() > 1023)
            return defaultValue;
        return text;
    }
    case REG_BINARY:
        if (value->type != RegType::Binary)
            return defaultValue;
        return value->data.toByteArray();
    case REG_DWORD:
        if (value->type != RegType::Dword)
            return defaultValue;
        return QVariant::fromValue<qint32>(static_cast<qint32>(value->data.toUInt()));
    default:
        return defaultValue;
    }
}

QStringList EnumRegSubKeys(const platform::Registry &registry, platform::RootKey root, const QString &subKey)
{
    const auto names = registry.subKeys(root, subKey);
    if (!names)
        return {};
    if (names->isEmpty())
        return {QString()};
    return *names;
}

} // namespace quillor
