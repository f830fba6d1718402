#include "SongRecordFields.h"

#include "CShowListWidget.h"
#include "MusicDatabase.h"

#include <QtGlobal>

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

void DeleteCandidateCovers(const RecordMusicInfo& info)
{
    const int count = CoverCandidateCount(info);
    for (int i = 0; i < count; ++i) {
        if (info.CoverIds[i] > 0)
            DB_DeleteImage(info.CoverIds[i]);
        CShowListWidget::DeleteCoverFileIfUnused(CoverPathAt(info, i));
    }
}
