#include "capdev.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>
#include <taglib/wavproperties.h>

struct CapDevHandle {
    // The device keeps no state of its own yet; recording runs in the engine.
    bool recording = false;
};

HCAPDEV AudioDevCreate(void)
{
    return new (std::nothrow) CapDevHandle;
}

int AudioDevStopRecord(HCAPDEV handle)
{
    if (handle)
        handle->recording = false;
    return 0;
}

void AudioDevDestroy(HCAPDEV handle)
{
    delete handle;
}

namespace {

enum class Format { Unknown, Mp3, Wav };

// UTF-16 (bounded to CAPDEV_PATH_UNITS, must be terminated inside it) to UTF-8.
// Unpaired surrogates make the path invalid rather than silently naming
// another file.
bool Utf16PathToUtf8(const char16_t* in, std::string& out)
{
    out.clear();
    if (!in)
        return false;
    size_t i = 0;
    for (; i < CAPDEV_PATH_UNITS && in[i] != 0; ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= CAPDEV_PATH_UNITS)
                return false;
            char32_t lo = in[i + 1];
            if (lo < 0xDC00 || lo > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return i < CAPDEV_PATH_UNITS && !out.empty();
}

Format FormatOf(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return Format::Unknown;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    if (ext == "mp3")
        return Format::Mp3;
    if (ext == "wav")
        return Format::Wav;
    return Format::Unknown;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

TagLib::String Text(const char* utf8)
{
    return utf8 ? TagLib::String(utf8, TagLib::String::UTF8) : TagLib::String();
}

bool IsEmpty(const char* utf8)
{
    return !utf8 || !*utf8;
}

TagLib::StringList Genres(const char* utf8)
{
    TagLib::StringList list;
    if (IsEmpty(utf8))
        return list;
    const std::string all(utf8);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(';', start);
        if (end == std::string::npos)
            end = all.size();
        std::string one = all.substr(start, end - start);
        size_t b = one.find_first_not_of(' ');
        size_t e = one.find_last_not_of(' ');
        if (b != std::string::npos)
            list.append(TagLib::String(one.substr(b, e - b + 1), TagLib::String::UTF8));
        start = end + 1;
    }
    return list;
}

void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const TagLib::StringList& values)
{
    tag->removeFrames(id);
    if (values.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(values);
    tag->addFrame(frame);
}

void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const char* utf8)
{
    TagLib::StringList values;
    if (!IsEmpty(utf8))
        values.append(Text(utf8));
    SetTextFrame(tag, id, values);
}

// The cover's bytes and MIME type; false when the file cannot be read or is
// neither JPEG nor PNG (such a cover is left out, the text tags still go in).
bool ReadCover(const char* path, TagLib::ByteVector& data, TagLib::String& mime)
{
    if (IsEmpty(path))
        return false;
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::vector<char> bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || bytes.size() < 8)
        return false;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes.data());
    if (u[0] == 0xFF && u[1] == 0xD8 && u[2] == 0xFF)
        mime = "image/jpeg";
    else if (u[0] == 0x89 && u[1] == 'P' && u[2] == 'N' && u[3] == 'G')
        mime = "image/png";
    else
        return false;
    data = TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size()));
    return true;
}

void FillId3v2(TagLib::ID3v2::Tag* tag, const MusicTagsInfo& tags)
{
    SetTextFrame(tag, "TIT2", tags.title);
    SetTextFrame(tag, "TPE1", tags.artist);
    SetTextFrame(tag, "TALB", tags.album);
    SetTextFrame(tag, "TDRC", tags.year);
    SetTextFrame(tag, "TCON", Genres(tags.genre));

    tag->removeFrames("APIC");
    TagLib::ByteVector data;
    TagLib::String mime;
    if (ReadCover(tags.cover, data, mime)) {
        auto* pic = new TagLib::ID3v2::AttachedPictureFrame;
        pic->setTextEncoding(TagLib::String::UTF8);
        pic->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        pic->setMimeType(mime);
        pic->setPicture(data);
        tag->addFrame(pic);
    }
}

unsigned YearNumber(const char* utf8)
{
    if (IsEmpty(utf8))
        return 0;
    unsigned year = 0;
    for (int i = 0; i < 4; ++i) {
        if (utf8[i] < '0' || utf8[i] > '9')
            return 0;
        year = year * 10 + static_cast<unsigned>(utf8[i] - '0');
    }
    return year;
}

int TagMp3(const std::string& path, const MusicTagsInfo& tags)
{
    TagLib::MPEG::File file(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (!file.isValid() || !file.audioProperties() || file.audioProperties()->sampleRate() <= 0)
        return CAPDEV_ERR_BROKEN;
    FillId3v2(file.ID3v2Tag(true), tags);
    int which = TagLib::MPEG::File::ID3v2;
    if (file.hasID3v1Tag()) {
        // Keep an existing version 1 tag in step rather than leaving stale text.
        TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
        v1->setTitle(Text(tags.title));
        v1->setArtist(Text(tags.artist));
        v1->setAlbum(Text(tags.album));
        v1->setYear(YearNumber(tags.year));
        TagLib::StringList g = Genres(tags.genre);
        v1->setGenre(g.isEmpty() ? TagLib::String() : g.front());
        which |= TagLib::MPEG::File::ID3v1;
    }
    if (!file.save(which, TagLib::File::StripNone, TagLib::ID3v2::v4))
        return CAPDEV_ERR_WRITE;
    return CAPDEV_OK;
}

int TagWav(const std::string& path, const MusicTagsInfo& tags)
{
    TagLib::RIFF::WAV::File file(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (!file.isValid() || !file.audioProperties() || file.audioProperties()->sampleRate() <= 0)
        return CAPDEV_ERR_BROKEN;
    TagLib::RIFF::Info::Tag* info = file.InfoTag();
    info->setFieldText("INAM", Text(tags.title));
    info->setFieldText("IART", Text(tags.artist));
    info->setFieldText("IPRD", Text(tags.album));
    info->setFieldText("ICRD", Text(tags.year));
    info->setFieldText("IGNR", Text(tags.genre));
    FillId3v2(file.ID3v2Tag(), tags);
    if (!file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4))
        return CAPDEV_ERR_WRITE;
    return CAPDEV_OK;
}

bool CopyInto(int srcFd, int dstFd)
{
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(srcFd, buf, sizeof buf);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        ssize_t off = 0;
        while (off < n) {
            ssize_t w = ::write(dstFd, buf + off, static_cast<size_t>(n - off));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            off += w;
        }
    }
}

} // namespace

int SetMusicTagsInfo(const MusicTagsInfo* tags, const char16_t* source, const char16_t* destination)
{
    std::string src, dst;
    if (!tags || !Utf16PathToUtf8(source, src) || !Utf16PathToUtf8(destination, dst))
        return CAPDEV_ERR_ARGUMENT;
    const Format format = FormatOf(src);
    if (format == Format::Unknown)
        return CAPDEV_ERR_FORMAT;

    const int srcFd = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (srcFd < 0)
        return CAPDEV_ERR_SOURCE;
    struct stat st {};
    if (::fstat(srcFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(srcFd);
        return CAPDEV_ERR_SOURCE;
    }

    // A fresh name that mkstemp creates exclusively: no file that exists
    // already, whatever it is called, can be overwritten or removed here.
    std::string tmpl = FolderOf(dst) + "/.capdev-tags-XXXXXX";
    std::vector<char> tmpName(tmpl.begin(), tmpl.end());
    tmpName.push_back('\0');
    const int tmpFd = ::mkostemp(tmpName.data(), O_CLOEXEC);
    if (tmpFd < 0) {
        ::close(srcFd);
        return CAPDEV_ERR_TEMPFILE;
    }
    const std::string tmp(tmpName.data());

    bool copied = CopyInto(srcFd, tmpFd);
    ::close(srcFd);
    if (copied)
        (void)::fchmod(tmpFd, st.st_mode & 07777);  // keeps the song's mode; best effort
    if (::close(tmpFd) != 0)
        copied = false;
    if (!copied) {
        ::unlink(tmp.c_str());
        return CAPDEV_ERR_TEMPFILE;
    }

    int rc = format == Format::Mp3 ? TagMp3(tmp, *tags) : TagWav(tmp, *tags);
    if (rc == CAPDEV_OK) {
        // The tagged copy must be on disk before it replaces the song.
        const int fd = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            rc = CAPDEV_ERR_WRITE;
        if (fd >= 0)
            ::close(fd);
    }
    if (rc == CAPDEV_OK && ::rename(tmp.c_str(), dst.c_str()) != 0)
        rc = CAPDEV_ERR_RENAME;
    if (rc != CAPDEV_OK)
        ::unlink(tmp.c_str());
    return rc;
}
