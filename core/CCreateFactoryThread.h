#pragma once

#include <QThread>
#include <atomic>

// Creates the pictures folder (kind 11) in the background at start-up.
// Thread contract: `result` is written by the thread and read by the library
// page after the thread has finished.
class CCreateFactoryThread : public QThread {
    Q_OBJECT
public:
    explicit CCreateFactoryThread(QObject* parent);
    ~CCreateFactoryThread() override;

    // True once the folder exists; false before run() or when it failed.
    bool GetResult() const { return result.load(); }

    std::atomic<bool> result{false};

protected:
    void run() override;
};
