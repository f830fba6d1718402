#pragma once

#include "MusicRecords.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

// Reading the fixed-width fields of a song record, and the cover choice every
// view of a song shows, in one place: the track row, the cards, the cover
// chooser, the tag writer and the deletions all follow the same rules.

// The most cover candidates one song keeps.
constexpr int kMaxCoverCandidates = 5;

// The bytes of a zero-terminated UTF-8 field, up to its first zero byte (the
// whole field when it has none).
QByteArray RecordFieldBytes(const char* field, size_t size);
QString RecordFieldText(const char* field, size_t size);
template <size_t N>
QByteArray RecordFieldBytes(const char (&field)[N])
{
    return RecordFieldBytes(field, N);
}
template <size_t N>
QString RecordFieldText(const char (&field)[N])
{
    return RecordFieldText(field, N);
}

// The number of cover candidates, bounded to 0..kMaxCoverCandidates.
int CoverCandidateCount(const RecordMusicInfo& info);
// A cover index as the views use it: the index itself when it names a
// candidate, else the first candidate (0); -1 when there is none.
int ClampCoverIndex(const RecordMusicInfo& info, int index);
// The same for a song with `count` candidates.
int ClampCoverIndex(int count, int index);
// The chosen candidate of a record (its ImageId, clamped as above).
int ChosenCoverIndex(const MusicInfoRow& row);
// The picture path of candidate index; empty outside the candidates.
QString CoverPathAt(const RecordMusicInfo& info, int index);
// The chosen candidate's picture path; empty without candidates.
QString ChosenCoverPath(const MusicInfoRow& row);

// Removes candidate `slot` (0 <= slot < count), moving the later ones down
// and clearing the freed last slot.
void RemoveCoverCandidate(RecordMusicInfo& info, int slot);

// Drops every cover candidate of a song that goes away: its CoverInfo row
// (when stored) and its picture, under the rule of
// CShowListWidget::DeleteCoverFileIfUnused.
void DeleteCandidateCovers(const RecordMusicInfo& info);
