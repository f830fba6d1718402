// What the client takes from the services' answers (the identify walk, the
// cover's choice) and how it signs its request.
#include "IdentifyRequest.h"
#include "JsonReader.h"
#include "RecognitionResult.h"

#include <gtest/gtest.h>

namespace {

IdentifyFields Parse(const char* json)
{
    bool ok = false;
    const QVariantMap answer = QVariantJsonParse(QString::fromUtf8(json), ok).toMap();
    EXPECT_TRUE(ok) << json;
    IdentifyFields fields;
    ParseResult(answer, fields);
    return fields;
}

TEST(RecognitionAnswersTest, IdentifyWalk)
{
    struct Case {
        const char* name;
        const char* json;
        IdentifyFields expected;
    };
    const Case cases[] = {
        {"an answer of the service",
         R"({"status":{"msg":"Success","code":0,"version":"1.0"},
             "metadata":{"timestamp_utc":"2024-01-01 10:00:00","music":[{
               "title":"Hello","duration_ms":295493,"release_date":"2015-10-23",
               "album":{"name":"25"},
               "artists":[{"name":"Adele"},{"name":"Someone Else"}],
               "genres":[{"name":"Pop"},{"name":"Soul"}],
               "external_metadata":{"spotify":{"track":{"id":"4sPmO7WMQUAf45kwMOtONw","name":"Hello"},
                                               "album":{"name":"25 Deluxe"}}}}]}})",
         {"Hello", "25", "Adele", "2015-10-23", "Pop", 295, "Success", "4sPmO7WMQUAf45kwMOtONw"}},
        {"no result",
         R"({"status":{"msg":"No result","code":1001,"version":"1.0"}})",
         {"", "", "", "", "", 0, "No result", ""}},
        {"a failed msg ends only its own object",
         R"({"a":{"msg":"Busy","title":"Skipped","zz":{"title":"Also skipped"}},"b":{"title":"Taken"}})",
         {"Taken", "", "", "", "", 0, "Busy", ""}},
        {"the last msg wins",
         R"({"a":{"msg":"Success"},"b":{"msg":"Later"}})",
         {"", "", "", "", "", 0, "Later", ""}},
        {"first track's data, last track's id",
         R"({"music":[{"title":"One","release_date":"2001","album":{"name":"A1"},
                       "artists":[{"name":"X"}],"genres":[{"name":"G1"}],
                       "external_metadata":{"spotify":{"track":{"id":"first"}}}},
                      {"title":"Two","release_date":"2002","album":{"name":"A2"},
                       "artists":[{"name":"Y"}],"genres":[{"name":"G2"}],
                       "external_metadata":{"spotify":{"track":{"id":"second"}}}}]})",
         {"One", "A1", "X", "2001", "G1", 0, "", "second"}},
        {"durations under a second do not count",
         R"({"a":{"duration_ms":999},"b":{"duration_ms":180999},"c":{"duration_ms":5000}})",
         {"", "", "", "", "", 180, "", ""}},
        {"one millisecond short of a whole second",
         R"({"duration_ms":59999})", {"", "", "", "", "", 59, "", ""}},
        {"no plain unsigned number, no duration",
         R"({"a":{"duration_ms":1500.0},"b":{"duration_ms":-3000},"c":{"duration_ms":4294967296},
             "d":{"duration_ms":"7000"}})",
         {"", "", "", "", "", 0, "", ""}},
        {"empty values wait for a later one",
         R"({"a":{"title":"","album":{"name":""}},"b":{"title":"Late","album":{"name":"Late album"}}})",
         {"Late", "Late album", "", "", "", 0, "", ""}},
        {"list elements that are no object are skipped",
         R"({"artists":["plain",{"id":1},{"name":"Named"}],"genres":[null,{"name":"Jazz"}]})",
         {"", "", "Named", "", "Jazz", 0, "", ""}},
        {"a spotify entry without a track leaves the id",
         R"({"a":{"spotify":{"track":{"id":"kept"}}},"b":{"spotify":{"album":{"id":"x"}}}})",
         {"", "", "", "", "", 0, "", "kept"}},
        {"a numeric track id is taken as text",
         R"({"spotify":{"track":{"id":12345}}})", {"", "", "", "", "", 0, "", "12345"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const IdentifyFields f = Parse(c.json);
        EXPECT_EQ(f.title, c.expected.title);
        EXPECT_EQ(f.album, c.expected.album);
        EXPECT_EQ(f.artist, c.expected.artist);
        EXPECT_EQ(f.releaseDate, c.expected.releaseDate);
        EXPECT_EQ(f.genre, c.expected.genre);
        EXPECT_EQ(f.duration, c.expected.duration);
        EXPECT_EQ(f.message, c.expected.message);
        EXPECT_EQ(f.trackId, c.expected.trackId);
    }
}

TEST(RecognitionAnswersTest, CoverIsTheLastImageBetween201And399Pixels)
{
    struct Case {
        const char* name;
        const char* json;
        const char* url;
    };
    const Case cases[] = {
        {"the middle size", R"({"album":{"images":[{"height":640,"url":"big"},{"height":300,"url":"mid"},
                                                   {"height":64,"url":"small"}]}})", "mid"},
        {"the later of two", R"({"album":{"images":[{"height":300,"url":"first"},{"height":250,"url":"second"}]}})",
         "second"},
        {"the band's edges", R"({"album":{"images":[{"height":201,"url":"low"},{"height":399,"url":"high"},
                                                     {"height":200,"url":"no"},{"height":400,"url":"no"}]}})",
         "high"},
        {"none in the band", R"({"album":{"images":[{"height":640,"url":"big"},{"height":64,"url":"small"}]}})", ""},
        {"no images", R"({"album":{"name":"x"}})", ""},
        {"no album", R"({"name":"x"})", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = false;
        const QVariantMap track = QVariantJsonParse(QString::fromUtf8(c.json), ok).toMap();
        ASSERT_TRUE(ok);
        EXPECT_EQ(ChooseImageUrl(track), QString::fromUtf8(c.url));
    }
}

TEST(RecognitionAnswersTest, SignatureIsHmacSha1OfTheSignedText)
{
    // RFC 2202 test vectors: short key, text key, and a key longer than a block.
    struct Case {
        QByteArray key;
        QByteArray message;
        QByteArray hexDigest;
    };
    const Case cases[] = {
        {QByteArray(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {QByteArray(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HmacSha1(c.message, c.key), QByteArray::fromHex(c.hexDigest).toBase64());

    EXPECT_EQ(IdentifySignedText(QStringLiteral("k3y"), QStringLiteral("1700000000")),
              QByteArray("POST\n/v1/identify\nk3y\naudio\n1\n1700000000"));
    EXPECT_EQ(DecodeBase64Text("aMOpbGxvOnfDtnJsZA=="), QString::fromUtf8("héllo:wörld"));

    const QVariantMap form = IdentifyForm(QStringLiteral("k3y"), QStringLiteral("s3cret"), QByteArray("RIFF"),
                                          QStringLiteral("1700000000"));
    EXPECT_EQ(form.keys(), QStringList({"access_key", "data_type", "sample", "sample_bytes", "signature",
                                        "signature_version", "timestamp"}));
    EXPECT_EQ(form.value("data_type").toString(), QStringLiteral("audio"));
    EXPECT_EQ(form.value("sample_bytes").toString(), QStringLiteral("4"));
    EXPECT_EQ(form.value("sample").userType(), QMetaType::QByteArray);
    EXPECT_EQ(form.value("signature").toString().toLatin1(),
              HmacSha1("POST\n/v1/identify\nk3y\naudio\n1\n1700000000", "s3cret"));
}

} // namespace
