#pragma once
// The three registry reads the rest of the program uses, over the server profile.

#include "platform/registry.h"

#include <QStringList>
#include <QVariant>

namespace quillor {

// Value types as callers name them.
constexpr int REG_SZ = 1;
constexpr int REG_BINARY = 3;
constexpr int REG_DWORD = 4;

struct RegistryError {
    int number = 0;
    QString description;
};

bool bRegKeyExists(const platform::Registry &registry, platform::RootKey root, const QString &subKey);

// The value, or `defaultValue` when the key or value cannot be read, when it is
// stored under another type, or when a text value is longer than 1023 bytes.
// REG_SZ gives a QString, REG_BINARY a QByteArray, REG_DWORD a qint32. Any other
// type gives the default and error 1001 "Unsupported value type".
QVariant QueryRegValue(const platform::Registry &registry, platform::RootKey root, const QString &subKey,
                       const QString &valueName, int valueType, const QVariant &defaultValue,
                       RegistryError *error = nullptr);

// Names of the direct subkeys: an empty list when the key cannot be opened, a
// list with one empty name when it has no subkeys.
QStringList EnumRegSubKeys(const platform::Registry &registry, platform::RootKey root, const QString &subKey);

} // namespace quillor
