#include "capdev.h"

#include <gtest/gtest.h>

#include <lame/lame.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<int16_t> Tone(int rate, int channels, double seconds)
{
    std::vector<int16_t> pcm(static_cast<size_t>(rate * seconds) * channels);
    for (size_t i = 0; i < pcm.size() / channels; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
    return pcm;
}

Bytes EncodeMp3(double seconds)
{
    const int rate = 44100;
    std::vector<int16_t> pcm = Tone(rate, 2, seconds);
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_init_params(lame);
    const int frames = static_cast<int>(pcm.size() / 2);
    Bytes out(static_cast<size_t>(1.25 * frames + 7200 + 16384));
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), frames, out.data(), static_cast<int>(out.size()));
    int m = lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(lame);
    out.resize(static_cast<size_t>(n + m));
    return out;
}

void Put32(Bytes& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i))); }
void Put16(Bytes& b, uint16_t v) { for (int i = 0; i < 2; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i))); }
void PutTag(Bytes& b, const char* t) { b.insert(b.end(), t, t + 4); }

Bytes MakeWav(double seconds)
{
    const int rate = 44100, channels = 2;
    std::vector<int16_t> pcm = Tone(rate, channels, seconds);
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    Bytes b;
    PutTag(b, "RIFF"); Put32(b, 36 + dataBytes); PutTag(b, "WAVE");
    PutTag(b, "fmt "); Put32(b, 16); Put16(b, 1); Put16(b, channels); Put32(b, rate);
    Put32(b, rate * channels * 2); Put16(b, channels * 2); Put16(b, 16);
    PutTag(b, "data"); Put32(b, dataBytes);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pcm.data());
    b.insert(b.end(), p, p + dataBytes);
    return b;
}

// A small stand-in for a JPEG file: the tag writer only checks the magic.
Bytes FakeJpeg(unsigned char fill)
{
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
    b.insert(b.end(), 300, fill);
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

std::vector<char16_t> Path16(const std::string& utf8)
{
    std::u16string s;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if (c < 0xE0) { cp = c & 0x1F; len = 2; }
        else if (c < 0xF0) { cp = c & 0x0F; len = 3; }
        else { cp = c & 0x07; len = 4; }
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<size_t>(len);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            s += static_cast<char16_t>(0xD800 + (cp >> 10));
            s += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            s += static_cast<char16_t>(cp);
        }
    }
    std::vector<char16_t> out(CAPDEV_PATH_UNITS, 0);
    std::copy(s.begin(), s.end(), out.begin());
    return out;
}

std::set<std::string> Listing(const std::string& dir)
{
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

int Tag(const MusicTagsInfo& tags, const std::string& src, const std::string& dst)
{
    std::vector<char16_t> s = Path16(src), d = Path16(dst);
    return SetMusicTagsInfo(&tags, s.data(), d.data());
}

std::string FrameText(TagLib::ID3v2::Tag* tag, const char* id)
{
    const TagLib::ID3v2::FrameList& list = tag->frameListMap()[id];
    return list.isEmpty() ? std::string() : list.front()->toString().to8Bit(true);
}

class CapdevTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/capdev-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string dir;
};

TEST(CapdevHandle, CreateStopDestroy)
{
    HCAPDEV h = AudioDevCreate();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(AudioDevStopRecord(h), 0);
    EXPECT_EQ(AudioDevStopRecord(nullptr), 0);
    AudioDevDestroy(h);
    AudioDevDestroy(nullptr);
}

TEST_F(CapdevTest, Mp3RoundTripKeepsAudioAndNeverTouchesOtherFiles)
{
    const std::string song = dir + "/Lied \xC3\xBC\xC3\x9F \xF0\x9F\x8E\xB5.mp3";
    const Bytes audio = EncodeMp3(1.0);
    WriteAll(song, audio);
    // A user's files that an older fixed temporary name would have clobbered.
    const Bytes userFile = {'m', 'i', 'n', 'e'};
    WriteAll(dir + "/temp.mp3", userFile);
    WriteAll(dir + "/cover.jpg", FakeJpeg(0x11));
    const std::set<std::string> before = Listing(dir);

    const std::string cover = dir + "/cover.jpg";
    MusicTagsInfo tags{"Título", "Artist \xE2\x98\x85", "Album", "1999-05-01", "Rock; Pop", cover.c_str()};
    ASSERT_EQ(Tag(tags, song, song), CAPDEV_OK);

    EXPECT_EQ(Listing(dir), before);
    EXPECT_EQ(ReadAll(dir + "/temp.mp3"), userFile);

    {
        TagLib::MPEG::File f(song.c_str());
        ASSERT_TRUE(f.isValid());
        ASSERT_TRUE(f.hasID3v2Tag());
        TagLib::ID3v2::Tag* t = f.ID3v2Tag();
        EXPECT_EQ(FrameText(t, "TIT2"), "Título");
        EXPECT_EQ(FrameText(t, "TPE1"), "Artist \xE2\x98\x85");
        EXPECT_EQ(FrameText(t, "TALB"), "Album");
        EXPECT_EQ(FrameText(t, "TDRC"), "1999-05-01");
        auto* genre = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(t->frameListMap()["TCON"].front());
        ASSERT_NE(genre, nullptr);
        ASSERT_EQ(genre->fieldList().size(), 2u);
        EXPECT_EQ(genre->fieldList()[0], "Rock");
        EXPECT_EQ(genre->fieldList()[1], "Pop");
        const TagLib::ID3v2::FrameList& pics = t->frameListMap()["APIC"];
        ASSERT_EQ(pics.size(), 1u);
        auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pics.front());
        EXPECT_EQ(pic->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        EXPECT_EQ(pic->mimeType(), "image/jpeg");
        const Bytes expected = FakeJpeg(0x11);
        const TagLib::ByteVector stored = pic->picture();
        EXPECT_EQ(Bytes(stored.begin(), stored.end()), expected);
    }
    // The audio frames follow the tag unchanged.
    const Bytes tagged = ReadAll(song);
    ASSERT_GT(tagged.size(), audio.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), tagged.end() - static_cast<long>(audio.size())));

    // Tagging again replaces the cover (still one) and drops emptied texts.
    WriteAll(cover, FakeJpeg(0x22));
    MusicTagsInfo again{"New", "", nullptr, "2001", "Jazz", cover.c_str()};
    ASSERT_EQ(Tag(again, song, song), CAPDEV_OK);
    TagLib::MPEG::File f(song.c_str());
    TagLib::ID3v2::Tag* t = f.ID3v2Tag();
    EXPECT_EQ(FrameText(t, "TIT2"), "New");
    EXPECT_TRUE(t->frameListMap()["TPE1"].isEmpty());
    EXPECT_TRUE(t->frameListMap()["TALB"].isEmpty());
    ASSERT_EQ(t->frameListMap()["APIC"].size(), 1u);
    auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(t->frameListMap()["APIC"].front());
    EXPECT_EQ(pic->picture()[20], static_cast<char>(0x22));
}

TEST_F(CapdevTest, WavGetsInfoListAndCover)
{
    const std::string song = dir + "/song.WAV";
    const Bytes wav = MakeWav(0.5);
    WriteAll(song, wav);
    const std::string cover = dir + "/c.jpg";
    WriteAll(cover, FakeJpeg(0x33));
    MusicTagsInfo tags{"Name", "Who", "Disc", "2010", "Blues;Soul", cover.c_str()};
    ASSERT_EQ(Tag(tags, song, song), CAPDEV_OK);

    TagLib::RIFF::WAV::File f(song.c_str());
    ASSERT_TRUE(f.isValid());
    ASSERT_TRUE(f.hasInfoTag());
    TagLib::RIFF::Info::Tag* info = f.InfoTag();
    EXPECT_EQ(info->fieldText("INAM"), "Name");
    EXPECT_EQ(info->fieldText("IART"), "Who");
    EXPECT_EQ(info->fieldText("IPRD"), "Disc");
    EXPECT_EQ(info->fieldText("ICRD"), "2010");
    EXPECT_EQ(info->fieldText("IGNR"), "Blues;Soul");
    ASSERT_TRUE(f.hasID3v2Tag());
    EXPECT_EQ(f.ID3v2Tag()->frameListMap()["APIC"].size(), 1u);
    EXPECT_EQ(f.audioProperties()->sampleRate(), 44100);
}

TEST_F(CapdevTest, CopyToOtherDestinationLeavesSource)
{
    const std::string src = dir + "/a.mp3", dst = dir + "/b.mp3";
    const Bytes audio = EncodeMp3(0.5);
    WriteAll(src, audio);
    MusicTagsInfo tags{"T", "A", "B", "2000", "G", nullptr};
    ASSERT_EQ(Tag(tags, src, dst), CAPDEV_OK);
    EXPECT_EQ(ReadAll(src), audio);
    TagLib::MPEG::File f(dst.c_str());
    EXPECT_EQ(FrameText(f.ID3v2Tag(), "TIT2"), "T");
    EXPECT_TRUE(f.ID3v2Tag()->frameListMap()["APIC"].isEmpty());
}

// Every failure leaves the original byte for byte and no file behind.
TEST_F(CapdevTest, FailuresLeaveOriginalUntouched)
{
    struct Case {
        const char* name;
        Bytes content;
        int expected;
    };
    Bytes noise(20000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char>((i * 7919u) >> 3);
    for (auto& b : noise)
        if (b == 0xFF)
            b = 0x7F;  // no MPEG frame sync anywhere
    const std::vector<Case> cases = {
        {"song.ogg", EncodeMp3(0.3), CAPDEV_ERR_FORMAT},
        {"noext", EncodeMp3(0.3), CAPDEV_ERR_FORMAT},
        {"broken.mp3", noise, CAPDEV_ERR_BROKEN},
        {"empty.mp3", {}, CAPDEV_ERR_BROKEN},
        {"broken.wav", noise, CAPDEV_ERR_BROKEN},
    };
    MusicTagsInfo tags{"T", "A", "B", "2000", "G", nullptr};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/" + c.name;
        WriteAll(path, c.content);
        const std::set<std::string> before = Listing(dir);
        EXPECT_EQ(Tag(tags, path, path), c.expected);
        EXPECT_EQ(ReadAll(path), c.content);
        EXPECT_EQ(Listing(dir), before);
    }
    EXPECT_EQ(Tag(tags, dir + "/missing.mp3", dir + "/missing.mp3"), CAPDEV_ERR_SOURCE);
    EXPECT_EQ(Listing(dir).count("missing.mp3"), 0u);
}

TEST_F(CapdevTest, BadArgumentsAreRefused)
{
    MusicTagsInfo tags{"T", "A", "B", "2000", "G", nullptr};
    std::vector<char16_t> ok = Path16(dir + "/x.mp3");
    std::vector<char16_t> unterminated(CAPDEV_PATH_UNITS, u'a');
    std::vector<char16_t> lone = Path16("/tmp/x.mp3");
    lone[3] = 0xD800;  // unpaired surrogate
    EXPECT_EQ(SetMusicTagsInfo(nullptr, ok.data(), ok.data()), CAPDEV_ERR_ARGUMENT);
    EXPECT_EQ(SetMusicTagsInfo(&tags, nullptr, ok.data()), CAPDEV_ERR_ARGUMENT);
    EXPECT_EQ(SetMusicTagsInfo(&tags, unterminated.data(), ok.data()), CAPDEV_ERR_ARGUMENT);
    EXPECT_EQ(SetMusicTagsInfo(&tags, lone.data(), ok.data()), CAPDEV_ERR_ARGUMENT);
}

TEST_F(CapdevTest, UnwritableFolderFailsWithoutHarm)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind root";
    const std::string sub = dir + "/ro";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string song = sub + "/s.mp3";
    const Bytes audio = EncodeMp3(0.3);
    WriteAll(song, audio);
    ASSERT_EQ(chmod(sub.c_str(), 0555), 0);
    MusicTagsInfo tags{"T", "A", "B", "2000", "G", nullptr};
    EXPECT_EQ(Tag(tags, song, song), CAPDEV_ERR_TEMPFILE);
    chmod(sub.c_str(), 0755);
    EXPECT_EQ(ReadAll(song), audio);
}

} // namespace
