#pragma once

#include <QByteArray>
#include <QString>

// Stores the cover picture recognition brought for a song as a JPEG file of
// its own in `folder`, named after `title`: "<title>.jpg", or "<title> 1.jpg",
// "<title> 2.jpg"... when that name is taken. An existing file is never
// overwritten: other songs' rows may name it. Returns the file's path; empty
// when the bytes are no picture, the name would leave the folder or the file
// cannot be written (nothing is left behind then).
//
// Uses no shared state: any thread may call it.
QString SaveCoverPicture(const QByteArray& bytes, const QString& folder, const QString& title);
