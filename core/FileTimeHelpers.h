#pragma once

// File-name and duration helpers shared by the program's windows.

#include <QByteArray>
#include <QString>

// A file name made of a title: every control character (a newline or a tab
// would break every tool that reads names line by line) and every
// * / \ : ? " < > | become "_", spaces go from both ends, a leading "."
// becomes "_" (no hidden file) and dots go from the end. Empty when nothing
// is left: the caller falls back to its own name.
QString MakeValidFileName(QString text);

// The full path of a name in `folder` that no ".m4a", ".mp3" or ".wav" file
// holds yet: baseName, then "baseName 1", "baseName 2", ... The name is
// reserved by creating an empty file of that path with `extension` (no dot).
// Safe from any thread: choice and reservation happen under one lock.
QString GetUniqueOutputFileName(QString baseName, QString folder, QString extension);

// The title a song without one shows: its file's name without the folder
// and without the extension only ("Mr. Brightside.mp3" gives "Mr. Brightside",
// not "Mr").
QString TitleFromFileName(const QString& path);

// Renames the file at `path` after `musicName` (made valid, cut to what a file
// name can hold, unique in the same folder, same extension) unless its base
// name already contains that name; `path` then holds the new path when the
// renamed file exists. False only when the file exists, needed the new name
// and could not take it (`path` and the file are then unchanged).
bool SaveLoadMuiscName(QString musicName, QString& path);

// 65 -> "01:05", 3725 -> "1:02:05".
QString SecondToTimeText(unsigned int seconds);
// The inverse of SecondToTimeText; parts that do not convert count as 0.
int TimeTextToSecond(QString text);

// Little-endian byte images, for the in-memory WAV header.
QByteArray IntToLittleEndianBytes(qint32 value);
QByteArray ShortToLittleEndianBytes(qint16 value);
