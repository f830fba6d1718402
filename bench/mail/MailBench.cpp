// The bug-report mail's memory and the window's freeze when a report is
// cancelled.
//
// 1. Memory: a file of --size-mb MB (200 unless given) of incompressible
//    bytes is mailed as the report's archive by the mail thread over TLS to a
//    local aiosmtpd. Prints the peak resident memory above the process's
//    baseline beside the archive size (goal: under 64 MB), the time taken and
//    whether the server decoded the same bytes.
// 2. Freeze: the bug-report dialog sends to a local mail server that never
//    answers the final "."; Cancel is clicked once the "." arrived. Prints how
//    long the click held the GUI thread (goal: under 1 s) and how long the
//    mail thread took to end after it.
//
// Options: --size-mb N, --skip-memory, --skip-freeze.
#include "../../tests/common/EventWait.h"
#include "../../tests/common/TestUserHome.h"
#include "AiosmtpdServer.h"
#include "BugreportThread.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "LocalMailServer.h"
#include "MailServerInfo.h"
#include "RetiredThreads.h"
#include "ScriptedSmtpPeer.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
long StatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Sets the peak resident size back to the current one.
bool ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Writes `bytes` pseudo-random bytes in 1 MB pieces (nothing stays resident)
// and returns their SHA-256 in hex.
QByteArray WriteNoise(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<uint64_t> block(1 << 17);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (qint64 left = bytes; left > 0;) {
        for (uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const qint64 n = qMin<qint64>(left, qint64(block.size() * sizeof(uint64_t)));
        const char* data = reinterpret_cast<const char*>(block.data());
        file.write(data, n);
        hash.addData(data, int(n));
        left -= n;
    }
    return hash.result().toHex();
}

int MeasureMemory(qint64 sizeMb)
{
    QTemporaryDir dir;
    const QString archive = dir.path() + QStringLiteral("/BugReport.dmp");
    const qint64 size = sizeMb * 1024 * 1024;
    const QByteArray sha = WriteNoise(archive, size);
    AiosmtpdServer server(AiosmtpdServer::Tls, true);
    if (server.Port() == 0) {
        std::fprintf(stderr, "the mail server did not start\n");
        return 1;
    }
    BugreportJob job;
    job.attachmentPath = archive;
    job.userName = QStringLiteral("Bench");
    job.userMail = QStringLiteral("bench@example.org");
    job.body = QStringLiteral("A large archive.");
    job.productName = QStringLiteral("Sonacap");
    job.recipient = QStringLiteral("support@example.org");

    BugreportThread thread(job, LocalMailServer(server.Port(), true));
    bool answered = false;
    bool ok = false;
    QObject::connect(&thread, &BugreportThread::updateResultUI, [&](bool result, QString, void*) {
        answered = true;
        ok = result;
    });
    const long baselineKb = StatusKb("VmRSS");
    const bool reset = ResetPeak();
    QElapsedTimer timer;
    timer.start();
    thread.start();
    WaitForEvents([&] { return answered; }, 30 * 60 * 1000);
    const double seconds = timer.elapsed() / 1000.0;
    const long peakKb = StatusKb("VmHWM");
    const QJsonObject stored = server.WaitForMail(1, 120000);
    const bool same = stored.value(QStringLiteral("attachment_sha256")).toString().toLatin1() == sha;

    std::printf("mail of a %lld MB archive (%lld bytes): peak resident memory %.1f MB above the baseline of %.1f MB "
                "(goal: under 64 MB)%s\n",
                static_cast<long long>(sizeMb), static_cast<long long>(size), (peakKb - baselineKb) / 1024.0,
                baselineKb / 1024.0, reset ? "" : " [peak not reset: figure includes earlier use]");
    std::printf("  sent in %.1f s (%.1f MB/s), result %s, server decoded %s bytes\n", seconds, sizeMb / seconds,
                ok ? "sent" : "NOT SENT", same ? "the same" : "OTHER");
    return ok && same ? 0 : 1;
}

int MeasureFreeze()
{
    QStringList shown;
    CBugReport::SetMessageHandler([&](QWidget*, const QString& text, int, const QString&) { shown << text; });
    auto script = ScriptedSmtpPeer::HappyScript();
    script.back().reply = "";   // the final "." is never answered
    ScriptedSmtpPeer peer(script);
    MailServerInfo::SetSupport(LocalMailServer(peer.Port(), false));

    auto* report = new CBugReport(nullptr);
    report->show();
    report->NameEdit()->setPlainText(QStringLiteral("Bench"));
    report->MailEdit()->setPlainText(QStringLiteral("bench@example.org"));
    report->DescriptionEdit()->setPlainText(QStringLiteral("Cancelled while the server checks the mail."));
    report->ReportButton()->click();
    if (!WaitForEvents([&] { return peer.Count(".") == 1; }, 60000)) {
        std::fprintf(stderr, "the final \".\" never arrived\n");
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    report->CancelButton()->click();
    const qint64 frozenMs = timer.elapsed();
    delete report;
    const qint64 deletedMs = timer.elapsed();
    WaitForEvents([] { return RetiredThreads::Count() == 0; }, 10 * 60 * 1000);
    const qint64 stoppedMs = timer.elapsed();
    std::printf("Cancel while the server has not answered the final \".\": the click held the window %lld ms, "
                "closing and deleting the dialog %lld ms (goal: under 1000 ms); the mail thread ended after %lld ms\n",
                static_cast<long long>(frozenMs), static_cast<long long>(deletedMs),
                static_cast<long long>(stoppedMs));
    MailServerInfo::ResetSupport();
    CBugReport::SetMessageHandler(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    TestUserHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 sizeMb = 200;
    const int sizeAt = args.indexOf(QStringLiteral("--size-mb"));
    if (sizeAt > 0 && sizeAt + 1 < args.size())
        sizeMb = args.at(sizeAt + 1).toLongLong();
    int failures = 0;
    if (!args.contains(QStringLiteral("--skip-memory")))
        failures += MeasureMemory(sizeMb);
    if (!args.contains(QStringLiteral("--skip-freeze")))
        failures += MeasureFreeze();
    return failures == 0 ? 0 : 1;
}
