#pragma once

// Folder, version, text and power-off helpers of the program.

#include <QString>
#include <cstddef>
#include <functional>

class QDBusConnection;

// Special-folder kinds (the program's own numbering).
enum SpecialFolderKind {
    kFolderPrograms = 0,   // applications menu entries
    kFolderDocuments = 4,
    kFolderDesktop = 5,
    kFolderTemplates = 6,
    kFolderAppData = 7,    // settings, music database, logs, engine folders
    kFolderVideos = 9,
    kFolderMusic = 10,     // default output folder
    kFolderPictures = 11,  // cover images
};

// The program's subfolder appended to every special folder.
extern const char* const kProgramSubFolder;  // "/Tavrel/Sonacap"

// The special folder of `kind` followed by "/Tavrel/Sonacap", UTF-8 with "/".
// Returns 0 on success; 1 for an unknown kind or when the system has no such
// folder (out is then left untouched).
int GetSpecialFolderPath(QString& out, int kind);
// The same into a caller's buffer of outSize bytes (zero-terminated). Also
// returns 1, with out untouched, when the path does not fit.
int GetSpecialFolderPath(char* out, size_t outSize, int kind);

// Creates the folder and every missing parent. 0 when it exists afterwards as
// a folder (also when it existed before), otherwise an errno value (ENOTDIR
// when a file stands in the way, EINVAL for a null or empty path).
int CreateDirectoryTree(const char* utf8Path);

// Powers the computer off (forced, no questions). True when the request was
// accepted. Goes through the installed hook; the default asks systemd-logind
// over the system bus.
bool ShutdownComputer();

// The power-off hook. Tests install their own so that the real one is never
// reached. Returns the previous hook; an empty hook restores the default.
using ShutdownHook = std::function<bool()>;
ShutdownHook SetShutdownHook(ShutdownHook hook);

// logind's Manager.PowerOff(false) on `bus`; true when the call was answered
// without an error. The default hook uses the system bus.
bool LogindPowerOff(const QDBusConnection& bus);

// The program's version "major.minor.patch.tweak".
QString GetAppFileVersion();

// The local 8-bit text (UTF-8 on this platform) as a new UTF-8 buffer owned by
// the caller (delete[]). 1 on success, also for a null input (out untouched);
// 0 when the text is not valid UTF-8 (out untouched).
int AnsiToUtf8(char** out, const char* ansi);
