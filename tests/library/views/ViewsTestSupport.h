#pragma once

#include "MusicRecords.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>

class CListTreeItem;

// Each test gets its own HOME (with a pictures folder known to the XDG user
// dirs) and its own music database file.
class LibraryDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Inserts a song; returns its MusicId.
    int AddSong(int musicId, const QString& title, const QString& artist, const QString& album,
                const QString& genre, const QString& dateAdded, const QString& path = QString());
    // The stored record with its covers, or null when there is none.
    std::unique_ptr<MusicInfoRow> Stored(int musicId);
    QString PicturesFolder() const;
    QString Path(const QString& name) const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
};

// A record with cleared song data and the given texts.
MusicInfoRow MakeRow(int id, const QString& title, const QString& artist, const QString& album,
                     const QString& genre, const QString& date, const QString& path);
// Text "MM/dd/yyyy hh:mm" of now plus days.
QString DateText(int daysFromToday, const QString& time = QStringLiteral("10:00"));
void SetField(char* field, size_t size, const QString& text);
#define SET_FIELD(f, text) SetField((f), sizeof(f), (text))
// Writes a small PNG of one colour.
void WriteImage(const QString& path, Qt::GlobalColor color, int side = 40);
// Half a second of a stereo tone as a plain MP3 (no tag).
QByteArray Mp3Bytes();
void WriteFile(const QString& path, const QByteArray& bytes);
// The library tree's entries of every stored list, as the library page takes
// them; the caller deletes them.
QList<CListTreeItem*> StoredListEntries();

// The built skin's pictures, as the program has them, while the object lives.
struct SkinPictures {
    SkinPictures();
    ~SkinPictures();
    bool loaded;
};
