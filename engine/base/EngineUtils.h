#pragma once

// Text encoding, folder, file and process helpers of the engine.
// "ANSI" is the engine's local encoding, which is UTF-8 on this platform.

#include <cstdint>
#include <string>

// Charset indexes of the general converters: 0 local (UTF-8, copied), 1 UTF-8
// (copied), 2 and 3 unused UTF-16 variants (always -1), 4 UTF-16LE (own codec,
// every code point up to U+10FFFF), 5..40 code pages through iconv (entries
// whose code page is the local one are copied).
// Conversion stops at the first sequence that cannot be converted (a lone
// surrogate, a bad lead or trail byte) and keeps what was converted before it.
// Results: 0 success, -1 nothing could be converted, -2 bad index.
// Outputs are allocated with new[] (release with delete[]) and followed by two
// zero bytes not counted in outLength; a null or empty input gives a null
// output of length 0 and result 0.
int ConvertToUtf8(int charset, const void* data, unsigned length, char** out, unsigned* outLength);
int ConvertFromUtf8(int charset, const char* data, unsigned length, char** out, unsigned* outLength);

// Text up to its first zero; an empty string for empty input or a failure.
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
// Wide strings hold one code point per wchar_t (32 bits on this platform).
// These two stop at the first invalid sequence and return what came before.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// Zero-terminated results, released with delete[]. Null input: returns true
// and leaves *out untouched; an invalid sequence: returns false, *out untouched.
bool WideToUtf8Alloc(char** out, const wchar_t* in);
bool AnsiToWideAlloc(wchar_t** out, const char* in);
bool AnsiToUtf8Alloc(char** out, const char* in);

// The folder of the running executable (from /proc/self/exe), with its trailing '/'.
std::string GetProgramFolder();
// Empty for a null or empty path; otherwise the path, with '/' appended unless
// it already ends in '/' or '\\'.
std::string AppendPathSeparator(const char* path);
// Bytes the calling user can still write on the folder's file system
// (statvfs f_bavail x f_frsize); 0 for an empty folder or on failure.
uint64_t GetDiskFreeBytes(const std::string& folder);
// Moves `path` to the same name with its extension (the part after the last
// '.' of the file name, if any) replaced by `extension`, or, when that name is
// taken, to "<name> 1.<extension>", "<name> 2.<extension>"... An existing
// file is never replaced. Returns the new path; empty (errno set) on failure.
std::string RenameToFreeName(const std::string& path, const std::string& extension);
// printf-style formatting into a per-call buffer, truncated to 2,047
// characters; empty for a null format.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SleepMs(unsigned ms);
// The system's text for the last error (errno).
std::string GetLastErrorText();

// From uname: 1 x86, 2 Itanium, 3 x64, 0 anything else.
int GetCpuArchitecture();
// Always false here.
bool IsWindows8OrLater();
// Runs a program with an argument vector (never through a shell) and waits for
// it. commandLine holds the arguments after the program, split like a shell
// word list without expansion (quotes group words); with a null or empty
// application the first word is the program. The program is looked up in PATH
// (posix_spawnp). exitCode (may be null) gets the exit status, or 128 + the
// signal number when a signal ended it; "Exit code = N" goes to standard
// output. Returns false, with a message on standard output, when the program
// could not be started or its exit status not read. show has no effect here.
bool RunProgram(const char* application, char* commandLine, bool show, unsigned* exitCode);
