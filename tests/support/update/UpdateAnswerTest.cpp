// Reading the update service's answer and building its query.
#include "Base64.h"
#include "CRegData.h"
#include "CRegNet.h"
#include "UpdateAnswerFixtures.h"

#include <gtest/gtest.h>

using update_test::AnswerFields;
using update_test::MakeAnswer;

namespace {
CRegData DataAtVersion(const std::string& current)
{
    CRegData data;
    data.SetVersion(current);
    return data;
}

// Base64 wrapped at `width` characters with the given line end.
std::string Wrapped(const std::string& text, size_t width, const std::string& lineEnd)
{
    const std::string encoded = Base64EncodeString(text);
    std::string out;
    for (size_t i = 0; i < encoded.size(); i += width)
        out += encoded.substr(i, width) + lineEnd;
    return out;
}
} // namespace

TEST(UpdateAnswerTest, ResultCodeOfEachAnswer)
{
    AnswerFields noCode;
    noCode.code.clear();
    AnswerFields noVersion;
    noVersion.version.clear();
    AnswerFields otherRoot;
    std::string otherRootXml = MakeAnswer(otherRoot);
    otherRootXml.replace(otherRootXml.find("upd:UpdateInfo"), 14, "Whatever");
    otherRootXml.replace(otherRootXml.rfind("upd:UpdateInfo"), 14, "Whatever");

    struct Case {
        const char* name;
        std::string current;
        std::string body;
        int code;
    };
    const Case cases[] = {
        {"same version", "2.0.0.1", update_test::AnswerWithVersion("2.0.0.1"), kUpdateNotNewer},
        {"newer last field", "2.0.0.9", update_test::AnswerWithVersion("2.0.1"), kUpdateNewer},
        {"fewer fields", "2.0.0", update_test::AnswerWithVersion("2.0"), kUpdateNotNewer},
        {"older", "3.1", update_test::AnswerWithVersion("3.0.9"), kUpdateNotNewer},
        {"root of another name", "1.0", otherRootXml, kUpdateNewer},
        {"no product code", "1.0", MakeAnswer(noCode), kUpdateNoProduct},
        {"no version", "1.0", MakeAnswer(noVersion), kUpdateNoProduct},
        {"empty body", "1.0", "", kUpdateMalformed},
        {"not XML", "1.0", "version=2.0", kUpdateMalformed},
        {"HTML error page", "1.0", "<html><body><p>404 Not Found</body></html>", kUpdateMalformed},
        {"cut-off answer", "1.0", MakeAnswer(AnswerFields()).substr(0, 120), kUpdateMalformed},
        {"only a declaration", "1.0", "<?xml version=\"1.0\"?>", kUpdateMalformed},
    };
    for (const Case& c : cases) {
        CRegData data = DataAtVersion(c.current);
        data.SetResult(kUpdateNewer);   // what a previous check left
        data.HandleUpdateData(c.body);
        EXPECT_EQ(data.GetResult(), c.code) << c.name;
    }
}

TEST(UpdateAnswerTest, NewerAnswerFillsTheRecord)
{
    AnswerFields fields;
    fields.notes = "Neue Funktionen: \xc3\xa4\xc3\xb6\xc3\xbc\nZeile 2";
    CRegData data = DataAtVersion("1.0.0.1");
    data.HandleUpdateData(MakeAnswer(fields));
    ASSERT_EQ(data.GetResult(), kUpdateNewer);
    const UpdateResult& r = data.Result();
    EXPECT_EQ(r.serverVersion, "2.0.0.0");
    EXPECT_EQ(r.displayName, "Tavrel Sonacap");
    EXPECT_EQ(r.whatsNew, fields.notes);
    EXPECT_EQ(r.downloadUrl, "https://download.example/sonacap.exe?product=SONACAP");
    EXPECT_EQ(r.onlineDownloadUrl, "https://download.example/online");

    // A later answer that is not newer keeps the download addresses.
    data.HandleUpdateData(update_test::AnswerWithVersion("1.0.0.1"));
    EXPECT_EQ(data.GetResult(), kUpdateNotNewer);
    EXPECT_EQ(data.Result().downloadUrl, "https://download.example/sonacap.exe?product=SONACAP");
}

TEST(UpdateAnswerTest, MissingProductCodeStillStoresWhatCame)
{
    AnswerFields fields;
    fields.code.clear();
    fields.version = "9.0";
    CRegData data = DataAtVersion("1.0");
    data.HandleUpdateData(MakeAnswer(fields));
    EXPECT_EQ(data.GetResult(), kUpdateNoProduct);
    EXPECT_EQ(data.Result().serverVersion, "9.0");
    EXPECT_EQ(data.Result().displayName, "Tavrel Sonacap");
    EXPECT_EQ(data.Result().whatsNew, "Faster start.");
    EXPECT_TRUE(data.Result().downloadUrl.empty());
}

TEST(UpdateAnswerTest, ReleaseNotesForms)
{
    const std::string notes = "Version 2 brings a new library view, faster start-up and many fixes.";
    std::string large;
    while (large.size() < 6000)
        large += "\xe6\x97\xa5";   // a three-byte character, so the cut meets one
    struct Case {
        const char* name;
        std::string description;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", Base64EncodeString(notes), notes},
        {"wrapped CR LF", Wrapped(notes, 16, "\r\n"), notes},
        {"wrapped LF, indented", Wrapped(notes, 20, "\n      "), notes},
        {"not base64", "%%% not base64 %%%", ""},
        {"empty", "", ""},
        {"stops at NUL", Base64EncodeString(std::string("before\0after", 12)), "before"},
        {"too long: cut on a character", Base64EncodeString(large), large.substr(0, 5118)},
    };
    for (const Case& c : cases) {
        std::string xml = "<r><upd:ProductCode>P</upd:ProductCode><upd:ProductVer>2.0</upd:ProductVer>"
                          "<upd:WhatsNew><upd:Description>" +
                          c.description + "</upd:Description></upd:WhatsNew></r>";
        CRegData data = DataAtVersion("1.0");
        data.HandleUpdateData(xml);
        EXPECT_EQ(data.GetResult(), kUpdateNewer) << c.name;
        EXPECT_EQ(data.Result().whatsNew, c.expected) << c.name;
    }
}

TEST(UpdateAnswerTest, QueryEscapesEachValue)
{
    struct Case {
        const char* name;
        std::string product;
        std::string version;
        std::string language;
        std::string query;
    };
    const Case cases[] = {
        {"plain", "Sonacap", "1.0.0.1", "en", "&product=Sonacap&versioncur=1.0.0.1&lang=en"},
        {"blank and ampersand", "a b&c", "1.0", "de", "&product=a%20b%26c&versioncur=1.0&lang=de"},
        {"non-ASCII as UTF-8", "Sonacap", "1.0\xc3\xa4", "\xe6\x97\xa5",
         "&product=Sonacap&versioncur=1.0%C3%A4&lang=%E6%97%A5"},
        {"reserved characters", "x=1?#/+", "", "", "&product=x%3D1%3F%23%2F%2B&versioncur=&lang="},
    };
    for (const Case& c : cases) {
        CRegNet net;
        CRegData data(&net);
        data.SetServiceUrl("http://127.0.0.1:1/update-product-info/update.php?action=getinfo");
        data.SetProduct(c.product);
        data.SetVersion(c.version);
        data.SetLanguage(c.language);
        std::string url;
        EXPECT_EQ(data.MakeUpdateUrl(url), 0);
        EXPECT_EQ(url, "http://127.0.0.1:1/update-product-info/update.php?action=getinfo" + c.query) << c.name;
    }
}
