#include "SongRecordFields.h"

#include "CShowListWidget.h"
#include "MusicDatabase.h"

#include <QtGlobal>

#include <cstring>

QByteArray RecordFieldBytes(const char* field, size_t size)
{
    return QByteArray(field, static_cast<int>(qstrnlen(field, static_cast<uint>(size))));
}

QString RecordFieldText(const char* field, size_t size)
{
    return QString::fromUtf8(field, static_cast<int>(qstrnlen(field, static_cast<uint>(size))));
}

int CoverCandidateCount(const RecordMusicInfo& info)
{
    return qBound(0, static_cast<int>(info.CoverCount), kMaxCoverCandidates);
}

int ClampCoverIndex(const RecordMusicInfo& info, int index)
{
    return ClampCoverIndex(CoverCandidateCount(info), index);
}

int ClampCoverIndex(int count, int index)
{
    if (count <= 0)
        return -1;
    return (index < 0 || index >= count) ? 0 : index;
}

int ChosenCoverIndex(const MusicInfoRow& row)
{
    return ClampCoverIndex(row.Info, row.ImageId);
}

QString CoverPathAt(const RecordMusicInfo& info, int index)
{
    if (index < 0 || index >= CoverCandidateCount(info))
        return QString();
    return RecordFieldText(info.CoverPaths[index]);
}

QString ChosenCoverPath(const MusicInfoRow& row)
{
    return CoverPathAt(row.Info, ChosenCoverIndex(row));
}

void RemoveCoverCandidate(RecordMusicInfo& info, int slot)
{
    const int count = CoverCandidateCount(info);
    if (slot < 0 || slot >= count)
        return;
    for (int i = slot; i + 1 < count; ++i) {
        info.CoverIds[i] = info.CoverIds[i + 1];
        std::memcpy(info.CoverPaths[i], info.CoverPaths[i + 1], sizeof info.CoverPaths[i]);
    }
    info.CoverCount = count - 1;
    info.CoverIds[count - 1] = 0;
    std::memset(info.CoverPaths[count - 1], 0, sizeof info.CoverPaths[count - 1]);
}

void DeleteCandidateCovers(const RecordMusicInfo& info)
{
    const int count = CoverCandidateCount(info);
    for (int i = 0; i < count; ++i) {
        if (info.CoverIds[i] > 0)
            DB_DeleteImage(info.CoverIds[i]);
        CShowListWidget::DeleteCoverFileIfUnused(CoverPathAt(info, i));
    }
}
