#pragma once

// Text encoding, folder, file and process helpers of the engine.
// "ANSI" is the engine's local encoding, which is UTF-8 on this platform.

#include <cstdint>
#include <string>

// Charset indexes of the general converters: 0 local (UTF-8), 1 UTF-8 (copied),
// 2 and 3 unused UTF-16 variants, 4 UTF-16LE (own codec), 5..40 code pages.
// Results: 0 success, -1 nothing could be converted, -2 bad index.
// Outputs are allocated with new[] (release with delete[]); a null or empty
// input gives a null output of length 0 and result 0.
int ConvertToUtf8(int charset, const void* data, unsigned length, char** out, unsigned* outLength);
int ConvertFromUtf8(int charset, const char* data, unsigned length, char** out, unsigned* outLength);

std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// Null input: returns true and leaves *out untouched. Release with delete[].
bool WideToUtf8Alloc(char** out, const wchar_t* in);
bool AnsiToWideAlloc(wchar_t** out, const char* in);
bool AnsiToUtf8Alloc(char** out, const char* in);

// The folder of the running executable, with its trailing '/'.
std::string GetProgramFolder();
// Empty for a null or empty path; otherwise the path ending in '/' or '\\'.
std::string AppendPathSeparator(const char* path);
// Bytes the calling user can still write on the folder's file system; 0 on failure.
uint64_t GetDiskFreeBytes(const std::string& folder);
// printf-style formatting into a per-call buffer, truncated to 2,047 characters.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SleepMs(unsigned ms);
// The system's text for the last error (errno).
std::string GetLastErrorText();

// 1 x86, 2 Itanium, 3 x64, 0 anything else.
int GetCpuArchitecture();
bool IsWindows8OrLater();
// Runs a program with an argument vector (never through a shell) and waits for
// it. commandLine holds the arguments after the program, split like a shell
// word list without expansion (quotes group words). Returns false when the
// program could not be started or its exit status not read.
bool RunProgram(const char* application, char* commandLine, bool show, unsigned* exitCode);
