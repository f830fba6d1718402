#include "CCreateFactoryThread.h"

#include "SystemHelpers.h"

#include <QDebug>

CCreateFactoryThread::CCreateFactoryThread(QObject* parent) : QThread(parent) {}

CCreateFactoryThread::~CCreateFactoryThread()
{
    wait();
}

void CCreateFactoryThread::run()
{
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderPictures) != 0
        || CreateDirectoryTree(folder.toUtf8().constData()) != 0) {
        result = false;
        qDebug() << "CCreateFactoryThread::run CreateDirectory failed, Pictures_Dir: " + folder;
        return;
    }
    result = true;
}
