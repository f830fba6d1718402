#pragma once

#include <QObject>

class QNetworkReply;

// Aborts a network reply that is still running after a time limit. A child
// of the reply it watches, so it goes with it.
class QNetworkReplyTimeout : public QObject
{
    Q_OBJECT
public:
    QNetworkReplyTimeout(QNetworkReply* reply, int milliseconds);
    ~QNetworkReplyTimeout() override;

signals:
    void timeout();

private slots:
    void onTimeout();
};
