// The update check's text helpers: base64, version comparison, splitting.
#include "Base64.h"
#include "CGUITavrelRegister.h"
#include "UpdateStrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct DecodeCase {
    const char* name;
    std::string in;
    int code;
    std::string bytes;   // expected output when code is 0
};

int Decode(const std::string& in, std::string* out, size_t capacity)
{
    std::string buffer(capacity, '\x7f');
    size_t length = capacity;
    const int code = base64_decode(reinterpret_cast<unsigned char*>(&buffer[0]), &length,
                                   reinterpret_cast<const unsigned char*>(in.data()), in.size());
    if (code == 0)
        *out = buffer.substr(0, length);
    return code;
}
} // namespace

TEST(Base64Test, DecodeTable)
{
    const DecodeCase cases[] = {
        {"three bytes", "QUJD", 0, "ABC"},
        {"one byte", "QQ==", 0, "A"},
        {"two bytes", "QUI=", 0, "AB"},
        {"binary", "AP8A", 0, std::string("\0\xff\0", 3)},
        {"CR LF wrapped", "QUJD\r\nREVG\r\n", 0, "ABCDEF"},
        {"LF wrapped", "QUJD\nREVG", 0, "ABCDEF"},
        {"third padding", "Q===", kBase64InvalidCharacter, ""},
        {"data after padding", "QQ==QQ", kBase64InvalidCharacter, ""},
        {"lone CR", "QUJD\rREVG", kBase64InvalidCharacter, ""},
        {"blank", "QUJD REVG", kBase64InvalidCharacter, ""},
        {"non-ASCII", "QUJ\xc3\xa4", kBase64InvalidCharacter, ""},
        {"URL alphabet", "QU-_", kBase64InvalidCharacter, ""},
        {"incomplete group gives nothing", "QUJDRA", 0, "ABC"},
    };
    for (const DecodeCase& c : cases) {
        std::string out;
        EXPECT_EQ(Decode(c.in, &out, 64), c.code) << c.name;
        if (c.code == 0) {
            EXPECT_EQ(out, c.bytes) << c.name;
        }
    }
}

TEST(Base64Test, DecodeReportsTheSizeNeededAndWritesNothingShort)
{
    const std::string in = "QUJDREVG";   // six bytes
    size_t length = 0;
    EXPECT_EQ(base64_decode(nullptr, &length, reinterpret_cast<const unsigned char*>(in.data()), in.size()),
              kBase64BufferTooSmall);
    EXPECT_EQ(length, 6u);

    unsigned char small[5];
    std::fill(std::begin(small), std::end(small), 0x7f);
    length = sizeof small;
    EXPECT_EQ(base64_decode(small, &length, reinterpret_cast<const unsigned char*>(in.data()), in.size()),
              kBase64BufferTooSmall);
    EXPECT_EQ(length, 6u);
    for (unsigned char b : small)
        EXPECT_EQ(b, 0x7f);

    // Padding lowers the size needed; nothing but line ends leaves the length alone.
    length = 0;
    base64_decode(nullptr, &length, reinterpret_cast<const unsigned char*>("QQ=="), 4);
    EXPECT_EQ(length, 1u);
    length = 99;
    EXPECT_EQ(base64_decode(small, &length, reinterpret_cast<const unsigned char*>("\r\n\n"), 3), 0);
    EXPECT_EQ(length, 99u);
    EXPECT_EQ(base64_decode(small, &length, nullptr, 0), 0);
    EXPECT_EQ(length, 99u);
}

TEST(Base64Test, EncodeSizesPaddingAndRoundTrip)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {{"A", "QQ=="}, {"AB", "QUI="}, {"ABC", "QUJD"}, {"ABCD", "QUJDRA=="},
                          {std::string("\0\xff", 2), "AP8="}};
    for (const Case& c : cases) {
        // The capacity needed counts the terminating NUL.
        size_t length = 0;
        const auto* in = reinterpret_cast<const unsigned char*>(c.in.data());
        EXPECT_EQ(base64_encode(nullptr, &length, in, c.in.size()), kBase64BufferTooSmall);
        EXPECT_EQ(length, c.out.size() + 1) << c.out;
        std::string buffer(length, '\x7f');
        EXPECT_EQ(base64_encode(reinterpret_cast<unsigned char*>(&buffer[0]), &length, in, c.in.size()), 0);
        EXPECT_EQ(length, c.out.size());
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(buffer.substr(0, length), c.out);
        EXPECT_EQ(Base64EncodeString(c.in), c.out);
        EXPECT_EQ(Base64DecodeString(c.out), c.in);
    }
    size_t untouched = 7;
    EXPECT_EQ(base64_encode(nullptr, &untouched, reinterpret_cast<const unsigned char*>(""), 0), 0);
    EXPECT_EQ(untouched, 7u);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    EXPECT_EQ(Base64DecodeString(Base64EncodeString(all)), all);
    EXPECT_EQ(Base64DecodeString("not base64!"), "");
}

TEST(VersionCompareTest, LibraryComparisonCountsFieldsAfterCommonOnes)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"2.0.0.1", "2.0.0.1", 0},
        {"2.0.1", "2.0.0.9", 1},
        {"2.0", "2.0.0", -1},
        {"1.0.0", "1.0", 1},
        {"2.1", "2.01", 1},      // equal numbers, as many fields: a counts as greater
        {"1.10", "1.9", 1},
        {"1.9", "1.10", -1},
        {"1.2x", "1.2", 1},      // a field reads its leading digits
        {"1.x", "1.0", 1},
        {"", "1.0", -1},
        // Fields beyond any integer type compare exactly.
        {"1.99999999999", "1.99999999998", 1},
        {"1.100000000000000000000", "1.99999999999999999999", 1},
        {"1.4294967296", "1.0", 1},
        {"1.00000000000000000000001", "1.2", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareVersionString(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(VersionCompareTest, GlueComparisonFillsMissingFieldsWithZero)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"2.0", "2.0.0", 0},      {"2.0.0", "2.0", 0},      {"1.2.3", "1.2.3", 0},
        {"1.10", "1.9", 1},       {"1.9", "1.10", -1},      {"2", "1.9.9", 1},
        {"1.0.1", "1.0", 1},      {"", "1.0", -1},          {"", "0.0", 0},
        {"1.x", "1.0", 0},        {"1.2x", "1.0", 0},       {"1..2", "1.0.2", 0},
        {"3.0.0.1", "3.0.0.0", 1},
        {"1.0.0.99999999999", "1.0.0.1", 1},
        {"1.0.0.1", "1.0.0.12345678901234567890", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CGUITavrelRegister::CompareVersion(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(UpdateStringsTest, SplitAndReplace)
{
    using Fields = std::vector<std::string>;
    EXPECT_EQ(SplitString("1.2.3", '.', false), (Fields{"1", "2", "3"}));
    EXPECT_EQ(SplitString("1..3", '.', false), (Fields{"1", "", "3"}));
    EXPECT_EQ(SplitString("1..3", '.', true), (Fields{"1", "3"}));
    EXPECT_EQ(SplitString("1.2.", '.', false), (Fields{"1", "2"}));
    EXPECT_EQ(SplitString(".1", '.', false), (Fields{"", "1"}));
    EXPECT_EQ(SplitString("", '.', false), Fields{});

    std::string text = "a-b-c";
    EXPECT_EQ(ReplaceAll(text, "-", "--"), "a--b--c");   // not replaced again
    text = "aaa";
    EXPECT_EQ(ReplaceAll(text, "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll(text, "", "x"), "ba");

    EXPECT_EQ(Utf8ToWide("Gr\xc3\xbc\xc3\x9f"), L"Gr\u00fc\u00df");
    EXPECT_EQ(WideToUtf8(L"\u65e5\u672c"), "\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(AnsiToUtf8(std::string("ab\0cd", 5)), "ab");   // a text ends at its first NUL
}
