#pragma once

// Damages a file as a failing disk or a crashed writer would: `bytes` of
// garbage over it from `fraction` of its length on. Returns the whole file as
// it is afterwards (empty when it could not be read or written).

#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray DamageFile(const QString& path, double fraction, int bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(static_cast<qint64>(file.size() * fraction)) ||
        file.write(QByteArray(bytes, '\x5a')) != bytes || !file.seek(0))
        return QByteArray();
    return file.readAll();
}
