#pragma once

#include <QObject>

class QNetworkReply;

// Gives a network reply a deadline: created as the reply's child (and so gone
// with it), it aborts the reply when it still runs after `milliseconds`. The
// abort ends the reply with QNetworkReply::OperationCanceledError and emits
// its finished(), so whoever waits for the reply takes its failure path.
//
// Lives on the reply's thread; the timer runs in that thread's event loop.
class CNetworkReplyTimeout : public QObject
{
    Q_OBJECT
public:
    CNetworkReplyTimeout(QNetworkReply* reply, int milliseconds);

signals:
    void timeout();

public slots:
    void onTimeout();
};
