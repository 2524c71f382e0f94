#pragma once
// The server profile: a registry export file ("REGEDIT4" or "Windows Registry
// Editor Version 5.00", UTF-16LE or 8-bit) loaded once and read-only.
// Key and value names are matched without regard to case, as on the server.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

namespace quillor::platform {

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Value types as the registry numbers them.
enum class RegType : int {
    None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7, Qword = 11
};

struct RegValue {
    RegType type = RegType::None;
    // Sz / ExpandSz: QString; MultiSz: QStringList; Dword: quint32; Qword: quint64;
    // Binary and any other hex(N) type: QByteArray (raw bytes).
    QVariant data;
};

class Registry {
public:
    Registry();
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    // Replaces the contents with the export in `path`. On failure the registry is
    // left empty and `error` names the file (and the line, for a syntax error).
    bool loadFile(const QString &path, QString *error = nullptr);
    // Same, from bytes; `sourceName` is what messages call the file.
    bool loadData(const QByteArray &bytes, const QString &sourceName, QString *error = nullptr);
    void clear();

    // The file last loaded ("" when none) and its folder, against which the
    // port's relative paths are resolved.
    QString fileName() const;
    QString folder() const;

    // `subKey` is relative to the root, backslash separated; empty, repeated and
    // trailing separators are ignored ("Software\\Calvex\\" == "SOFTWARE\\calvex").
    bool keyExists(RootKey root, const QString &subKey) const;
    std::optional<RegValue> value(RootKey root, const QString &subKey, const QString &valueName) const;
    // Direct subkey names, with their case as written, in case-insensitive name
    // order. nullopt when the key does not exist.
    std::optional<QStringList> subKeys(RootKey root, const QString &subKey) const;

private:
    struct Node;
    std::unique_ptr<Node> m_roots[5];
    QString m_fileName;
    Node *find(RootKey root, const QString &subKey) const;
    Node *ensure(RootKey root, const QString &subKey);
    void removeKey(RootKey root, const QString &subKey);
};

} // namespace quillor::platform
