#include "CNetworkReplyTimeout.h"

#include <QDebug>
#include <QNetworkReply>
#include <QTimer>

CNetworkReplyTimeout::CNetworkReplyTimeout(QNetworkReply* reply, int milliseconds)
    : QObject(reply)
{
    if (reply && reply->isRunning())
        QTimer::singleShot(milliseconds, this, &CNetworkReplyTimeout::onTimeout);
}

void CNetworkReplyTimeout::onTimeout()
{
    auto* reply = qobject_cast<QNetworkReply*>(parent());
    if (!reply || !reply->isRunning())
        return;
    qDebug() << "Timeout";
    reply->abort();
    emit timeout();
}
