#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "CError.h"
#include "EngineUtils.h"
#include "LogTestSupport.h"

namespace {

struct Converted {
    int result = 0;
    std::string bytes;
    bool null = true;
};

Converted ToUtf8(int charset, const std::string& in)
{
    char* out = reinterpret_cast<char*>(1);
    unsigned length = 99;
    Converted c;
    c.result = ConvertToUtf8(charset, in.empty() ? nullptr : in.data(), static_cast<unsigned>(in.size()), &out, &length);
    c.null = out == nullptr;
    if (out) {
        c.bytes.assign(out, length);
        delete[] out;
    } else {
        EXPECT_EQ(length, 0u);
    }
    return c;
}

Converted FromUtf8(int charset, const std::string& in)
{
    char* out = reinterpret_cast<char*>(1);
    unsigned length = 99;
    Converted c;
    c.result = ConvertFromUtf8(charset, in.empty() ? nullptr : in.data(), static_cast<unsigned>(in.size()), &out, &length);
    c.null = out == nullptr;
    if (out) {
        c.bytes.assign(out, length);
        delete[] out;
    } else {
        EXPECT_EQ(length, 0u);
    }
    return c;
}

// UTF-16LE bytes of the given units.
std::string Le(std::initializer_list<unsigned> units)
{
    std::string s;
    for (unsigned u : units) {
        s.push_back(static_cast<char>(u & 0xFF));
        s.push_back(static_cast<char>(u >> 8));
    }
    return s;
}

struct Utf16Case {
    const char* what;
    std::string utf16le;
    int result;
    std::string utf8;
};

class Utf16ToUtf8Test : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8Test, DecodesUpToTheFirstBadUnit)
{
    const Utf16Case& c = GetParam();
    Converted got = ToUtf8(4, c.utf16le);
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.bytes, c.utf8) << c.what;
    EXPECT_EQ(got.null, c.result != 0) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Table, Utf16ToUtf8Test, testing::Values(
    Utf16Case{"ascii", Le({'A', 'b'}), 0, "Ab"},
    Utf16Case{"two and three bytes", Le({0xE9, 0x20AC}), 0, "\xC3\xA9\xE2\x82\xAC"},
    Utf16Case{"surrogate pair", Le({0xD83D, 0xDE00}), 0, "\xF0\x9F\x98\x80"},
    Utf16Case{"highest code point", Le({0xDBFF, 0xDFFF}), 0, "\xF4\x8F\xBF\xBF"},
    Utf16Case{"zero unit kept", Le({'A', 0, 'B'}), 0, std::string("A\0B", 3)},
    Utf16Case{"lone trail stops", Le({'A', 0xDC00, 'B'}), 0, "A"},
    Utf16Case{"lead without trail stops", Le({'A', 0xD800, 'B'}), 0, "A"},
    Utf16Case{"lead at the end stops", Le({'A', 0xDBFF}), 0, "A"},
    Utf16Case{"nothing convertible", Le({0xDC00, 'A'}), -1, ""}));

class Utf8ToUtf16Test : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf8ToUtf16Test, EncodesUpToTheFirstBadSequence)
{
    const Utf16Case& c = GetParam();
    Converted got = FromUtf8(4, c.utf8);
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.bytes, c.utf16le) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8ToUtf16Test, testing::Values(
    Utf16Case{"ascii", Le({'A', 'b'}), 0, "Ab"},
    Utf16Case{"surrogate pair", Le({0xD83D, 0xDE00}), 0, "\xF0\x9F\x98\x80"},
    Utf16Case{"beyond U+EFFFF", Le({0xDBC0, 0xDC00, 0xDBFF, 0xDFFF}), 0, "\xF4\x80\x80\x80\xF4\x8F\xBF\xBF"},
    Utf16Case{"zero byte kept", Le({'A', 0, 'B'}), 0, std::string("A\0B", 3)},
    Utf16Case{"trail byte as lead", Le({}), -1, "\x80" "A"},
    Utf16Case{"0xFE lead", Le({'A'}), 0, "A\xFE"},
    Utf16Case{"cut sequence", Le({'A'}), 0, "A\xE2\x82"},
    Utf16Case{"bad trail byte", Le({'A'}), 0, "A\xC3" "A"},
    Utf16Case{"encoded surrogate", Le({'A'}), 0, "A\xED\xA0\x80"},
    Utf16Case{"above U+10FFFF", Le({'A'}), 0, "A\xF4\x90\x80\x80"}));

TEST(CodecTest, RoundTripsBoundaryCodePoints)
{
    const unsigned points[] = {0x1, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF,
                               0x10000, 0xEFFFF, 0xF0000, 0x10FFFF};
    for (unsigned cp : points) {
        std::wstring wide(1, static_cast<wchar_t>(cp));
        std::string utf8 = WideToAnsi(wide);
        ASSERT_FALSE(utf8.empty()) << std::hex << cp;
        Converted units = FromUtf8(4, utf8);
        ASSERT_EQ(units.result, 0) << std::hex << cp;
        EXPECT_EQ(units.bytes.size(), cp < 0x10000 ? 2u : 4u) << std::hex << cp;
        Converted back = ToUtf8(4, units.bytes);
        EXPECT_EQ(back.bytes, utf8) << std::hex << cp;
        EXPECT_EQ(AnsiToWide(utf8), wide) << std::hex << cp;
    }
}

TEST(ConvertTest, IndexesAndEmptyInput)
{
    struct Case {
        int charset;
        int result;
    } cases[] = {{-1, -2}, {41, -2}, {1000, -2}, {2, -1}, {3, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(c.charset, "abc").result, c.result) << c.charset;
        EXPECT_EQ(FromUtf8(c.charset, "abc").result, c.result) << c.charset;
    }
    for (int charset : {0, 1, 4, 7}) {
        Converted empty = ToUtf8(charset, "");
        EXPECT_EQ(empty.result, 0);
        EXPECT_TRUE(empty.null);
    }
    char* out = nullptr;
    unsigned length = 0;
    EXPECT_EQ(ConvertToUtf8(1, "abc", 3, nullptr, &length), -1);
    EXPECT_EQ(ConvertToUtf8(1, "abc", 3, &out, nullptr), -1);
}

TEST(ConvertTest, LocalEncodingIsCopied)
{
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
    for (int charset : {0, 1, 11, 39}) {
        EXPECT_EQ(ToUtf8(charset, text).bytes, text) << charset;
        EXPECT_EQ(FromUtf8(charset, text).bytes, text) << charset;
    }
}

TEST(ConvertTest, CodePagesGoThroughIconv)
{
    // CP1252 0x80 is the euro sign; KOI8-R 0xC1 is Cyrillic small a.
    EXPECT_EQ(ToUtf8(7, "\x80").bytes, "\xE2\x82\xAC");
    EXPECT_EQ(FromUtf8(7, "\xE2\x82\xAC").bytes, "\x80");
    EXPECT_EQ(ToUtf8(13, "\xC1").bytes, "\xD0\xB0");
    // A character the code page lacks becomes the replacement character.
    EXPECT_EQ(FromUtf8(7, "a\xE4\xB8\xAD" "b").bytes, "a?b");
    // A byte sequence the code page cannot read stops the conversion.
    Converted cut = ToUtf8(33, "A\x81");
    EXPECT_EQ(cut.result, 0);
    EXPECT_EQ(cut.bytes, "A");
}

TEST(StringConversionTest, WrappersStopAtTheFirstZeroAndBadSequence)
{
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(AnsiToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(Utf8ToAnsi(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(AnsiToWide("a\xC3\xA9" "b"), std::wstring(L"a\u00E9b"));
    EXPECT_EQ(AnsiToWide("a\xFF" "b"), std::wstring(L"a"));
    EXPECT_EQ(WideToAnsi(std::wstring(L"x") + static_cast<wchar_t>(0xDC00) + L"y"), "x");
    // A UTF-16 pair held in a wide string is combined.
    std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(WideToAnsi(pair), "\xF0\x9F\x98\x80");
}

TEST(StringConversionTest, AllocatingConverters)
{
    char* untouched = reinterpret_cast<char*>(0x1234);
    EXPECT_TRUE(WideToUtf8Alloc(&untouched, nullptr));
    EXPECT_TRUE(AnsiToUtf8Alloc(&untouched, nullptr));
    EXPECT_EQ(untouched, reinterpret_cast<char*>(0x1234));
    wchar_t* wideUntouched = nullptr;
    EXPECT_TRUE(AnsiToWideAlloc(&wideUntouched, nullptr));
    EXPECT_EQ(wideUntouched, nullptr);

    char* utf8 = nullptr;
    ASSERT_TRUE(WideToUtf8Alloc(&utf8, L"\u00E9\U0001F600"));
    EXPECT_STREQ(utf8, "\xC3\xA9\xF0\x9F\x98\x80");
    delete[] utf8;

    wchar_t* wide = nullptr;
    ASSERT_TRUE(AnsiToWideAlloc(&wide, "\xE2\x82\xAC!"));
    EXPECT_STREQ(wide, L"\u20AC!");
    delete[] wide;

    char* copy = nullptr;
    ASSERT_TRUE(AnsiToUtf8Alloc(&copy, ""));
    EXPECT_STREQ(copy, "");
    delete[] copy;

    char* bad = nullptr;
    EXPECT_FALSE(AnsiToUtf8Alloc(&bad, "ok\xC0"));
    EXPECT_EQ(bad, nullptr);
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    EXPECT_FALSE(WideToUtf8Alloc(&bad, lone));
    EXPECT_EQ(bad, nullptr);
}

TEST(FolderTest, AppendPathSeparator)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{nullptr, ""}, {"", ""}, {"/tmp/a", "/tmp/a/"}, {"/tmp/a/", "/tmp/a/"},
                 {"C:\\x\\", "C:\\x\\"}, {"/", "/"}, {"rel", "rel/"}};
    for (const Case& c : cases)
        EXPECT_EQ(AppendPathSeparator(c.in), c.out) << (c.in ? c.in : "(null)");
}

TEST(FolderTest, ProgramFolderIsTheExecutablesFolder)
{
    char* real = realpath(SONACAP_TEST_OUTPUT_DIR, nullptr);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(GetProgramFolder(), std::string(real) + "/");
    free(real);
}

TEST(FolderTest, DiskFreeBytes)
{
    EXPECT_EQ(GetDiskFreeBytes(""), 0u);
    EXPECT_EQ(GetDiskFreeBytes("/no/such/folder/at/all"), 0u);
    TempFolder dir;
    uint64_t free = GetDiskFreeBytes(dir.Path());
    struct statvfs st;
    ASSERT_EQ(statvfs(dir.Path().c_str(), &st), 0);
    EXPECT_GT(free, 0u);
    // What the caller may still write, never more than the disk holds.
    EXPECT_LE(free, static_cast<uint64_t>(st.f_blocks) * st.f_frsize);
    EXPECT_LE(free, static_cast<uint64_t>(st.f_bfree) * st.f_frsize);
}

TEST(FormatStringTest, FormatsAndCutsOverLongText)
{
    EXPECT_EQ(FormatString("%s=%d", "x", 42), "x=42");
    EXPECT_EQ(FormatString(nullptr), "");
    std::string big(5000, 'q');
    std::string cut = FormatString("%s", big.c_str());
    EXPECT_EQ(cut, std::string(2047, 'q'));
}

TEST(RunProgramTest, ExitCodesAndFailures)
{
    unsigned code = 77;
    char exit3[] = "-c \"exit 3\"";
    EXPECT_TRUE(RunProgram("sh", exit3, false, &code));
    EXPECT_EQ(code, 3u);

    // Without an application, the first word is the program.
    char whole[] = "sh -c 'exit 5'";
    EXPECT_TRUE(RunProgram(nullptr, whole, true, &code));
    EXPECT_EQ(code, 5u);

    // Words are passed as they are: quotes group, nothing is expanded.
    char quoted[] = "-c 'test \"$1\" = \"a b\" && test \"$2\" = \"\\$HOME\"' zero \"a b\" '$HOME'";
    EXPECT_TRUE(RunProgram("sh", quoted, false, &code));
    EXPECT_EQ(code, 0u);

    code = 77;
    char args[] = "--version";
    EXPECT_FALSE(RunProgram("sonacap-no-such-program", args, false, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_FALSE(RunProgram(nullptr, nullptr, false, &code));
    EXPECT_FALSE(RunProgram("", nullptr, false, nullptr));
}

TEST(SystemTest, ArchitectureVersionAndErrorText)
{
#if defined(__x86_64__)
    EXPECT_EQ(GetCpuArchitecture(), 3);
#endif
    EXPECT_FALSE(IsWindows8OrLater());
    errno = ENOENT;
    EXPECT_EQ(GetLastErrorText(), "No such file or directory");
}

TEST(CErrorTest, CarriesCodeAndMessage)
{
    try {
        ThrowCodedError(kErrBufferTooSmall);
        FAIL() << "no exception";
    } catch (const CError& e) {
        EXPECT_EQ(e.Code(), -4091);
        EXPECT_EQ(e.Message(), "error");
    }
    CError plain(-4093, "Unknown error");
    CError copy = plain;
    EXPECT_EQ(copy.Code(), -4093);
    EXPECT_EQ(copy.Message(), "Unknown error");
    for (int code : {0, -4095, 12345, INT_MIN})
        EXPECT_STREQ(ErrorCodeText(code), "error");
}

} // namespace
