#include "CMissingFileScan.h"
#include "CTreeWidgetItem.h"
#include "ViewsTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {
// Rows named by MusicId whose files lie in a folder of their own.
class MissingFileScanTest : public ::testing::Test {
protected:
    MissingFileScanTest() { qRegisterMetaType<QVector<int>>(); }
    CTreeWidgetItem* Row(const QString& path)
    {
        const int id = static_cast<int>(rows.size()) + 1;
        MusicInfoRow record = MakeRow(id, "t", "a", "b", "g", "01/01/2024 10:00", path);
        rows.emplace_back(new CTreeWidgetItem(id, &record, nullptr));
        return rows.back().get();
    }
    QVector<QTreeWidgetItem*> Rows() const
    {
        QVector<QTreeWidgetItem*> list;
        for (const auto& row : rows)
            list.append(row.get());
        return list;
    }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    static QVector<int> AllMissing(const QSignalSpy& spy)
    {
        QVector<int> ids;
        for (const QList<QVariant>& args : spy)
            ids += args.at(0).value<QVector<int>>();
        return ids;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<CTreeWidgetItem>> rows;
};
} // namespace

// Here and on the worker alike: the songs passed over before the first file
// that exists, in order, then where the walk ended.
TEST_F(MissingFileScanTest, WalksToTheFirstFileThereWhereverItRuns)
{
    ASSERT_TRUE(dir.isValid());
    WriteFile(Path("Caf\u00e9 \u266b.mp3"), "x");
    ASSERT_TRUE(QDir().mkpath(Path("folder")));
    ASSERT_TRUE(QFile::link(Path("gone.mp3"), Path("dangling.mp3")));
    struct Case {
        const char* what;
        int missingFirst;        // missing songs before the last row
        QString last;            // the last row's file
        bool found;
    };
    const Case cases[] = {
        {"a file with a non-ASCII name", 2000, Path("Caf\u00e9 \u266b.mp3"), true},
        {"a folder", 40, Path("folder"), true},
        {"a dangling link", 2000, Path("dangling.mp3"), false},
        {"no name at all", 3, QString(), false},
        {"a name holding a zero character", 3, Path("folder") + QChar(0) + "x", false},
    };
    for (int budget : {1000, 0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (budget ? " here" : " on the worker"));
            rows.clear();
            QVector<int> expected;
            for (int i = 0; i < c.missingFirst; ++i)
                expected.append(Row(Path(QStringLiteral("missing %1.mp3").arg(i)))->GetMusicId());
            const int last = Row(c.last)->GetMusicId();
            if (!c.found)
                expected.append(last);
            Row(Path("Caf\u00e9 \u266b.mp3"));   // after the end of a walk that ends at `last`

            CMissingFileScan scan;
            QSignalSpy missing(&scan, &CMissingFileScan::Missing);
            QSignalSpy finished(&scan, &CMissingFileScan::Finished);
            scan.Start(Rows(), budget);
            ASSERT_TRUE(scan.Wait(10000));
            EXPECT_FALSE(scan.IsRunning());
            ASSERT_EQ(finished.count(), 1);
            EXPECT_EQ(finished.front().at(0).toBool(), true);   // the last row's file is always there
            EXPECT_EQ(finished.front().at(1).toInt(), c.found ? last : rows.back()->GetMusicId());
            EXPECT_EQ(AllMissing(missing), expected);
        }
    }
}

TEST_F(MissingFileScanTest, NothingToWalkAndNothingThere)
{
    CMissingFileScan scan;
    QSignalSpy finished(&scan, &CMissingFileScan::Finished);
    scan.Start({}, 0);
    ASSERT_EQ(finished.count(), 1);   // at once
    EXPECT_FALSE(finished.front().at(0).toBool());

    for (int i = 0; i < 500; ++i)
        Row(Path(QStringLiteral("missing %1.mp3").arg(i)));
    QSignalSpy missing(&scan, &CMissingFileScan::Missing);
    scan.Start(Rows(), 0);
    ASSERT_TRUE(scan.Wait(10000));
    ASSERT_EQ(finished.count(), 2);
    EXPECT_FALSE(finished.back().at(0).toBool());
    EXPECT_EQ(AllMissing(missing).size(), 500);
}

// A new right click abandons the walk of the last one: nothing more is heard
// of it, and dropping the scan mid-walk stops its worker.
TEST_F(MissingFileScanTest, ANewWalkReplacesTheOldOne)
{
    for (int i = 0; i < 20000; ++i)
        Row(Path(QStringLiteral("missing %1.mp3").arg(i)));
    auto scan = std::make_unique<CMissingFileScan>();
    scan->Start(Rows(), 0);
    QSignalSpy missing(scan.get(), &CMissingFileScan::Missing);
    QSignalSpy finished(scan.get(), &CMissingFileScan::Finished);
    const QVector<QTreeWidgetItem*> few = Rows().mid(0, 3);
    scan->Start(few, 1000);
    ASSERT_TRUE(scan->Wait(10000));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(AllMissing(missing), (QVector<int>{1, 2, 3}));

    scan->Start(Rows(), 0);
    scan.reset();   // must not crash nor leave a worker behind
}

// Without Wait: the worker's paths come a slice at a time from the event
// loop (the menu's, in the program) until the walk ends.
TEST_F(MissingFileScanTest, TheEventLoopFeedsTheWorker)
{
    ASSERT_TRUE(dir.isValid());
    WriteFile(Path("there.mp3"), "x");
    QVector<int> expected;
    for (int i = 0; i < 30000; ++i)
        expected.append(Row(Path(QStringLiteral("missing %1.mp3").arg(i)))->GetMusicId());
    const int last = Row(Path("there.mp3"))->GetMusicId();
    CMissingFileScan scan;
    QSignalSpy missing(&scan, &CMissingFileScan::Missing);
    QSignalSpy finished(&scan, &CMissingFileScan::Finished);
    scan.Start(Rows(), 0);
    EXPECT_TRUE(scan.IsRunning());
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.front().at(0).toBool(), true);
    EXPECT_EQ(finished.front().at(1).toInt(), last);
    EXPECT_EQ(AllMissing(missing), expected);
}

// Rows the selection would not give (disabled ones) are passed over, here
// and on the worker: neither missing nor the one found.
TEST_F(MissingFileScanTest, RowsThatCannotBeSelectedArePassedOver)
{
    ASSERT_TRUE(dir.isValid());
    WriteFile(Path("there.mp3"), "x");
    const int first = Row(Path("missing.mp3"))->GetMusicId();
    Row(Path("there.mp3"))->setDisabled(true);
    const int third = Row(Path("missing too.mp3"))->GetMusicId();
    const int last = Row(Path("there.mp3"))->GetMusicId();
    for (int budget : {1000, 0}) {
        SCOPED_TRACE(budget ? "here" : "on the worker");
        CMissingFileScan scan;
        QSignalSpy missing(&scan, &CMissingFileScan::Missing);
        QSignalSpy finished(&scan, &CMissingFileScan::Finished);
        scan.Start(Rows(), budget);
        ASSERT_TRUE(scan.Wait(10000));
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.front().at(1).toInt(), last);
        EXPECT_EQ(AllMissing(missing), (QVector<int>{first, third}));
    }
}
