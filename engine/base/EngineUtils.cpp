#include "EngineUtils.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kCharsetCount = 41;
constexpr int kCharsetUtf16Le = 4;

// iconv names of the charset table; null where the entry is the local
// encoding (a copy, as UTF-8 is local here) and "" where nothing converts.
const char* const kCharsetNames[kCharsetCount] = {
    nullptr,         // 0 local encoding
    nullptr,         // 1 UTF-8
    "",              // 2 UTF-16 variant, unused
    "",              // 3 UTF-16 variant, unused
    "",              // 4 UTF-16LE, own codec
    "CP936",         // 5
    "ISO-8859-15",   // 6
    "CP1252",        // 7
    "ISO-8859-2",    // 8
    "CP1250",        // 9
    "ISO-8859-3",    // 10
    nullptr,         // 11 local
    "CP1251",        // 12
    "KOI8-R",        // 13
    "KOI8-U",        // 14
    "ISO-8859-6",    // 15
    "CP1256",        // 16
    "ISO-8859-7",    // 17
    "CP1253",        // 18
    "ISO-8859-8",    // 19
    "CP1255",        // 20
    "ISO-8859-9",    // 21
    "CP1254",        // 22
    nullptr,         // 23 local
    "CP874",         // 24
    "ISO-8859-13",   // 25
    "CP1257",        // 26
    nullptr,         // 27 local
    nullptr,         // 28 local
    "ISO-2022-CN",   // 29
    "EUC-CN",        // 30
    "ISO-2022-JP",   // 31
    "EUC-JP",        // 32
    "CP932",         // 33
    "CP949",         // 34
    "ISO-2022-KR",   // 35
    "BIG5",          // 36
    "ISO-2022-CN-EXT", // 37
    "BIG5",          // 38
    nullptr,         // 39 local
    "CP1258",        // 40
};

// Decodes one code point of the original (up to six bytes) UTF-8 form.
// Returns false at a bad lead byte, a bad trail byte or a cut sequence.
bool DecodeUtf8(const unsigned char* p, size_t n, size_t& i, uint32_t& cp)
{
    unsigned char lead = p[i];
    int trail;
    if (lead < 0x80) {
        cp = lead;
        trail = 0;
    } else if (lead < 0xC0) {
        return false;
    } else if (lead < 0xE0) {
        cp = lead & 0x1F;
        trail = 1;
    } else if (lead < 0xF0) {
        cp = lead & 0x0F;
        trail = 2;
    } else if (lead < 0xF8) {
        cp = lead & 0x07;
        trail = 3;
    } else if (lead < 0xFC) {
        cp = lead & 0x03;
        trail = 4;
    } else if (lead < 0xFE) {
        cp = lead & 0x01;
        trail = 5;
    } else {
        return false;
    }
    if (n - i - 1 < static_cast<size_t>(trail))
        return false;
    for (int k = 1; k <= trail; ++k) {
        unsigned char b = p[i + k];
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    i += trail + 1;
    return true;
}

bool EncodeUtf8(uint32_t cp, std::string& out)
{
    static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    static const uint32_t kLimit[] = {0x80, 0x800, 0x10000, 0x200000, 0x4000000, 0x80000000};
    int n = 0;
    while (n < 6 && cp >= kLimit[n])
        ++n;
    if (n == 6)
        return false;
    char bytes[6];
    for (int k = n; k > 0; --k) {
        bytes[k] = static_cast<char>(0x80 | (cp & 0x3F));
        cp >>= 6;
    }
    bytes[0] = static_cast<char>(kLead[n] | cp);
    out.append(bytes, n + 1);
    return true;
}

bool IsSurrogate(uint32_t cp)
{
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// Every code point up to U+10FFFF is encodable; surrogate code points are not
// characters and would come out as lone surrogates, so they stop the conversion.
bool EncodeUtf16(uint32_t cp, std::u16string& out)
{
    if (cp > 0x10FFFF || IsSurrogate(cp))
        return false;
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
    return true;
}

// Decodes one code point from UTF-16 units; false at a lone surrogate.
bool DecodeUtf16(const char16_t* u, size_t n, size_t& i, uint32_t& cp)
{
    uint32_t unit = u[i];
    if (!IsSurrogate(unit)) {
        cp = unit;
        ++i;
        return true;
    }
    if (unit > 0xDBFF || i + 1 >= n)
        return false;
    uint32_t trail = u[i + 1];
    if (trail < 0xDC00 || trail > 0xDFFF)
        return false;
    cp = ((unit & 0x3FF) << 10) + (trail & 0x3FF) + 0x10000;
    i += 2;
    return true;
}

std::string Utf16ToUtf8(const char16_t* u, size_t n)
{
    std::string out;
    size_t i = 0;
    uint32_t cp;
    while (i < n && DecodeUtf16(u, n, i, cp) && EncodeUtf8(cp, out)) {
    }
    return out;
}

std::u16string Utf8ToUtf16(const unsigned char* p, size_t n)
{
    std::u16string out;
    size_t i = 0;
    uint32_t cp;
    while (i < n && DecodeUtf8(p, n, i, cp) && EncodeUtf16(cp, out)) {
    }
    return out;
}

// Converts through iconv; stops at the first sequence that cannot be read and
// keeps what was converted before it.
std::string IconvConvert(const char* from, const char* to, const char* data, size_t length)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string();
    std::string out;
    std::vector<char> buf(length * 4 + 16);
    char* in = const_cast<char*>(data);
    size_t inLeft = length;
    for (;;) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buf.data(), buf.size() - dstLeft);
        if (r != static_cast<size_t>(-1) || errno != E2BIG)
            break;
    }
    iconv_close(cd);
    return out;
}

int StoreResult(const void* bytes, size_t size, char** out, unsigned* outLength)
{
    if (size == 0)
        return -1;
    // Two zero bytes after the data so the result reads as a C string in
    // either width, even when the input had no terminator.
    char* copy = new char[size + 2]();
    memcpy(copy, bytes, size);
    *out = copy;
    *outLength = static_cast<unsigned>(size);
    return 0;
}

int Convert(bool toUtf8, int charset, const void* data, unsigned length, char** out, unsigned* outLength)
{
    if (!out || !outLength)
        return -1;
    *out = nullptr;
    *outLength = 0;
    if (charset < 0 || charset >= kCharsetCount)
        return -2;
    if (!data || length == 0)
        return 0;
    const char* name = kCharsetNames[charset];
    if (!name)
        return StoreResult(data, length, out, outLength);
    if (charset == kCharsetUtf16Le) {
        if (toUtf8) {
            const unsigned char* b = static_cast<const unsigned char*>(data);
            std::u16string units(length / 2, u'\0');
            for (size_t k = 0; k < units.size(); ++k)
                units[k] = static_cast<char16_t>(b[2 * k] | (b[2 * k + 1] << 8));
            std::string text = Utf16ToUtf8(units.data(), units.size());
            return StoreResult(text.data(), text.size(), out, outLength);
        }
        std::u16string units = Utf8ToUtf16(static_cast<const unsigned char*>(data), length);
        std::string bytes;
        bytes.reserve(units.size() * 2);
        for (char16_t u : units) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        return StoreResult(bytes.data(), bytes.size(), out, outLength);
    }
    if (!*name)
        return -1;
    std::string target = toUtf8 ? std::string("UTF-8") : std::string(name) + "//TRANSLIT";
    std::string text = IconvConvert(toUtf8 ? name : "UTF-8", target.c_str(),
                                    static_cast<const char*>(data), length);
    return StoreResult(text.data(), text.size(), out, outLength);
}

std::string ConvertString(bool toUtf8, const std::string& text)
{
    if (text.empty())
        return std::string();
    char* out = nullptr;
    unsigned outLength = 0;
    int r = Convert(toUtf8, 0, text.c_str(), static_cast<unsigned>(text.size() + 1), &out, &outLength);
    std::string result;
    if (r == 0 && out)
        result = out;
    delete[] out;
    return result;
}

// Wide strings hold one code point per wchar_t (32 bits here); a UTF-16
// surrogate pair that found its way in is combined, a lone one stops.
bool WideToUtf8(const wchar_t* in, size_t n, std::string& out)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = static_cast<uint32_t>(in[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
            uint32_t trail = static_cast<uint32_t>(in[i + 1]);
            if (trail >= 0xDC00 && trail <= 0xDFFF) {
                cp = ((cp & 0x3FF) << 10) + (trail & 0x3FF) + 0x10000;
                ++i;
            }
        }
        if (cp > 0x10FFFF || IsSurrogate(cp))
            return false;
        EncodeUtf8(cp, out);
    }
    return true;
}

bool Utf8ToWide(const std::string& text, std::wstring& out)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    uint32_t cp;
    while (i < text.size()) {
        if (!DecodeUtf8(p, text.size(), i, cp) || cp > 0x10FFFF || IsSurrogate(cp))
            return false;
        out.push_back(static_cast<wchar_t>(cp));
    }
    return true;
}

char* CopyToHeap(const std::string& text)
{
    char* copy = new char[text.size() + 1];
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

} // namespace

int ConvertToUtf8(int charset, const void* data, unsigned length, char** out, unsigned* outLength)
{
    return Convert(true, charset, data, length, out, outLength);
}

int ConvertFromUtf8(int charset, const char* data, unsigned length, char** out, unsigned* outLength)
{
    return Convert(false, charset, data, length, out, outLength);
}

std::string AnsiToUtf8(const std::string& text)
{
    return ConvertString(true, text);
}

std::string Utf8ToAnsi(const std::string& text)
{
    return ConvertString(false, text);
}

std::wstring AnsiToWide(const std::string& text)
{
    std::wstring out;
    Utf8ToWide(text.c_str(), out); // up to the first zero, like the C string it came from
    return out;
}

std::string WideToAnsi(const std::wstring& text)
{
    std::string out;
    WideToUtf8(text.c_str(), wcslen(text.c_str()), out);
    return out;
}

bool WideToUtf8Alloc(char** out, const wchar_t* in)
{
    if (!in)
        return true;
    if (!out)
        return false;
    std::string text;
    if (!WideToUtf8(in, wcslen(in), text))
        return false;
    *out = CopyToHeap(text);
    return true;
}

bool AnsiToWideAlloc(wchar_t** out, const char* in)
{
    if (!in)
        return true;
    if (!out)
        return false;
    std::wstring text;
    if (!Utf8ToWide(in, text))
        return false;
    wchar_t* copy = new wchar_t[text.size() + 1];
    wmemcpy(copy, text.c_str(), text.size() + 1);
    *out = copy;
    return true;
}

bool AnsiToUtf8Alloc(char** out, const char* in)
{
    if (!in)
        return true;
    if (!out)
        return false;
    wchar_t* wide = nullptr;
    if (!AnsiToWideAlloc(&wide, in))
        return false;
    bool ok = WideToUtf8Alloc(out, wide);
    delete[] wide;
    return ok;
}

std::string GetProgramFolder()
{
    std::vector<char> buf(512);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            size_t cut = path.find_last_of("/\\");
            return cut == std::string::npos ? path : path.substr(0, cut + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string AppendPathSeparator(const char* path)
{
    if (!path || !*path)
        return std::string();
    std::string result(path);
    char last = result.back();
    if (last != '/' && last != '\\')
        result += '/';
    return result;
}

uint64_t GetDiskFreeBytes(const std::string& folder)
{
    if (folder.empty())
        return 0;
    struct statvfs st;
    if (statvfs(folder.c_str(), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

namespace {

// rename that fails with EEXIST instead of replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag (some network and FAT mounts): a hard
    // link fails on an existing name just the same.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return false;
    if (access(to.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

std::string RenameToFreeName(const std::string& path, const std::string& extension)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? path.substr(0, dot)
                                 : path;
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = stem + (n == 0 ? "" : " " + std::to_string(n)) + "." + extension;
        if (candidate == path)
            return path;
        if (RenameNoReplace(path, candidate))
            return candidate;
        if (errno != EEXIST)
            return std::string();
    }
    errno = EEXIST;
    return std::string();
}

std::string FormatString(const char* format, ...)
{
    if (!format)
        return std::string();
    char buf[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n < 0)
        return std::string();
    return std::string(buf);
}

void SleepMs(unsigned ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string GetLastErrorText()
{
    int err = errno;
    char buf[256];
    return std::string(strerror_r(err, buf, sizeof buf));
}

int GetCpuArchitecture()
{
    struct utsname name;
    if (uname(&name) != 0)
        return 0;
    std::string machine(name.machine);
    if (machine == "x86_64" || machine == "amd64")
        return 3;
    if (machine == "ia64")
        return 2;
    if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0)
        return 1;
    return 0;
}

bool IsWindows8OrLater()
{
    return false;
}

namespace {

// Shell-like word splitting without expansion: blanks separate words, single
// or double quotes group blanks into one word and are removed.
std::vector<std::string> SplitWords(const char* line)
{
    std::vector<std::string> words;
    if (!line)
        return words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char* p = line; *p; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

} // namespace

bool RunProgram(const char* application, char* commandLine, bool show, unsigned* exitCode)
{
    (void)show; // no console window to hide here
    std::vector<std::string> words = SplitWords(commandLine);
    std::string program;
    if (application && *application) {
        program = application;
        words.insert(words.begin(), program);
    } else if (!words.empty()) {
        program = words.front();
    }
    if (program.empty()) {
        errno = ENOENT;
        printf("Execute program failed:%s\n", GetLastErrorText().c_str());
        return false;
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);

    pid_t pid = 0;
    int err = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (err != 0) {
        errno = err;
        printf("Execute program failed:%s\n", GetLastErrorText().c_str());
        return false;
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r != pid) {
        printf("GetExitCodeProcess failed:%s\n", GetLastErrorText().c_str());
        return false;
    }
    unsigned code;
    if (WIFEXITED(status))
        code = static_cast<unsigned>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        code = 128u + static_cast<unsigned>(WTERMSIG(status));
    else
        code = static_cast<unsigned>(-1);
    if (exitCode)
        *exitCode = code;
    printf("Exit code = %d\n", static_cast<int>(code));
    fflush(stdout);
    return true;
}
