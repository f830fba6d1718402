#pragma once

#include <QString>

// What one bug-report mail carries. Copied into the mail thread, which reads
// it only.
struct BugreportJob {
    void* owner = nullptr;
    void* owner2 = nullptr;   // handed back with every signal of the thread
    QString attachmentPath;
    QString userName;
    QString userMail;
    QString body;
    QString productName;
    QString programPath;
    QString recipient;
};
