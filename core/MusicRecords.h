#pragma once

// The records the music database, recognition and tag editing exchange.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>

// Recognised or edited song data: fixed-width, zero-terminated UTF-8 fields.
// Clear it as a whole (memset 0) before filling; a field of width w carries at
// most w - 1 bytes of text.
struct RecordMusicInfo {
    char AlbumTUI[128];
    char MusicName[128];
    char Artist[128];
    char Album[128];
    char Year[32];
    char Genre[128];          // several genres separated by ";"
    char AlbumMusicList[1024];
    int32_t CoverCount;       // cover candidates held below, 0..5
    int32_t CoverIds[5];      // CoverInfo.CoverId of each candidate (0: not stored yet)
    char CoverPaths[5][512];  // picture path of each candidate
};

// One MusicInfo row in memory. The library views allocate and own them.
struct MusicInfoRow {
    int32_t MusicId = 0;
    RecordMusicInfo Info{};
    QString TimeRecorded;     // length as "MM:SS" or "H:MM:SS"
    QString DateAdded;        // "MM/dd/yyyy hh:mm" [";" date of last play]
    int32_t ImageId = 0;      // index of the chosen cover candidate
    QString MusicPath;
};

// One MusicInfo row as the library's track list shows it, read without the
// fixed-width record (over 4 KB a row, most of it cover paths): what loading
// 100,000 songs needs. Each text is cut as reading it into the record's
// field would cut it, so a row made from either shows the same. The texts lie
// one after another in one buffer, which a row of the list shares as it is:
// one allocation a song where a string per text made seven, and malloc was a
// third of a start with 100,000 songs.
struct MusicInfoListRow {
    enum TextField { MusicPath, MusicName, TimeRecorded, Artist, Album, Genre, DateAdded, TextFieldCount };

    int32_t MusicId = 0;
    int32_t ImageId = 0;
    QString Texts;
    int32_t TextEnd[TextFieldCount] = {};   // a text ends where the next begins

    int TextStart(TextField field) const { return field == 0 ? 0 : TextEnd[field - 1]; }
    QStringView Text(TextField field) const
    {
        return QStringView(Texts).mid(TextStart(field), TextEnd[field] - TextStart(field));
    }
};

// One cover candidate of a song (a CoverInfo row), its path cut as the
// record's CoverPaths field would cut it.
struct CoverCandidateRow {
    int32_t MusicId = 0;
    int32_t CoverId = 0;
    QString ImagePath;
};

// One MusicItem row: a song's membership of a list.
struct MusicItemLink {
    int32_t ItemId = 0;
    int32_t ListId = 0;
    int32_t MusicId = 0;
};

// One MusicList row with the number of its MusicItem rows.
struct MusicListRow {
    int32_t ListId = 0;
    int32_t ItemCount = 0;
    QString ListName;
};

// How many of the `length` bytes of `text` a field of `size` bytes keeps: at most size - 1, cut before a UTF-8
// continuation byte so no character is split.
size_t Utf8FieldLength(size_t size, const char* text, size_t length);

// Copies `text` into a fixed field of `size` bytes, cut on a UTF-8 character
// boundary and always zero-terminated.
void CopyUtf8Field(char* field, size_t size, const QByteArray& text);
void CopyUtf8Field(char* field, size_t size, const char* text, size_t length);
