#pragma once
// A temporary program folder for one test: what ships beside the program is
// looked up there until the test ends.

#include "platform/apppaths.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace quillor::test {

struct ProgramFolder {
    QTemporaryDir dir;
    // Each named file is created holding "x".
    ProgramFolder() : ProgramFolder(QStringList{}) {}
    explicit ProgramFolder(const QStringList &files)
    {
        for (const QString &name : files)
            write(name, "x");
        platform::AppPaths::overrideProgramFolder(dir.path());
    }
    ~ProgramFolder() { platform::AppPaths::overrideProgramFolder(QString()); }
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    // Writes a file of the folder and returns its path.
    QString write(const QString &name, const QByteArray &content)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
        return f.fileName();
    }
};

} // namespace quillor::test
