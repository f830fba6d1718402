#include "QNetworkReplyTimeout.h"

#include <QDebug>
#include <QNetworkReply>
#include <QTimer>

QNetworkReplyTimeout::QNetworkReplyTimeout(QNetworkReply* reply, int milliseconds)
    : QObject(reply)
{
    if (reply && reply->isRunning())
        QTimer::singleShot(milliseconds, this, &QNetworkReplyTimeout::onTimeout);
}

QNetworkReplyTimeout::~QNetworkReplyTimeout() = default;

void QNetworkReplyTimeout::onTimeout()
{
    auto* reply = qobject_cast<QNetworkReply*>(parent());
    if (reply && reply->isRunning()) {
        qDebug() << "Timeout";
        reply->abort();
        reply->deleteLater();
        emit timeout();
    }
}
