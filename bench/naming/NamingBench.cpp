// How long choosing the next free "Track N" name takes when the output folder
// already holds 1,000 and 10,000 earlier "Track" songs: the case of every
// unrecognised song. Each call is timed alone and its reservation removed
// again, so the folder stays the same size for every call.
//
// Usage: bench_naming [files ...]   (default: 1000 10000)
#include "FileTimeHelpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
const double kGoalMs = 20.0;
const int kGoalFiles = 10000;

// "Track.mp3", "Track 1.mp3" ... "Track <files-1>.mp3": the next free name
// is "Track <files>".
bool Fill(const QString& folder, int files)
{
    for (int n = 0; n < files; ++n) {
        const QString name = n == 0 ? QStringLiteral("Track") : QStringLiteral("Track %1").arg(n);
        QFile f(folder + QLatin1Char('/') + name + QStringLiteral(".mp3"));
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

// Median milliseconds of one call; stops after 21 calls or about 10 s.
double MedianCallMs(const QString& folder, int files)
{
    const QString expected = folder + QStringLiteral("/Track %1.mp3").arg(files);
    std::vector<double> ms;
    double spent = 0;
    while (ms.size() < 21 && (ms.empty() || spent < 10000.0)) {
        const auto start = std::chrono::steady_clock::now();
        const QString path = GetUniqueOutputFileName(QStringLiteral("Track"), folder, QStringLiteral("mp3"));
        const double one =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (path != expected) {
            fprintf(stderr, "expected %s, got %s\n", qPrintable(expected), qPrintable(path));
            exit(1);
        }
        QFile::remove(path);
        ms.push_back(one);
        spent += one;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 10000};

    printf("%-10s %14s\n", "files", "ms per call");
    for (int files : sizes) {
        QTemporaryDir dir;
        if (!dir.isValid() || !Fill(dir.path(), files)) {
            fprintf(stderr, "cannot fill a folder with %d files\n", files);
            return 1;
        }
        const double ms = MedianCallMs(dir.path(), files);
        printf("%-10d %14.3f", files, ms);
        if (files == kGoalFiles)
            printf("   goal < %.0f ms: %s (%.2fx the goal)", kGoalMs, ms < kGoalMs ? "met" : "MISSED", ms / kGoalMs);
        printf("\n");
        fflush(stdout);
    }
    return 0;
}
