#pragma once
#include <QString>

namespace quillor::platform {

// The program folder holds what ships beside the executable (help page,
// language files, update script); files the program writes go to the data
// folder: the program folder when it is writable, else the user's data folder.
struct AppPaths {
    static QString programFolder();
    static QString executableName(); // without extension
    static QString dataFolder();
    // Tests point both folders elsewhere; an empty text restores the default.
    static void overrideProgramFolder(const QString &folder);
    static void overrideDataFolder(const QString &folder);
    // "c:\" of the server's dialogs: the user's home folder.
    static QString homeFolder();
};

} // namespace quillor::platform
