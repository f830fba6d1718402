// The syncer forces song files to disk on a thread of its own, soon after new
// bytes reached them and once more when they are closed, always through a
// descriptor that still names the song, and never holds up the writer.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "CDiskSyncer.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "CoreTestSupport.h"

using namespace coretest;
using Clock = std::chrono::steady_clock;

namespace {

// A generous bound for a thread to get going on a loaded machine (and under
// the thread sanitizer); none of these tests measures speed.
constexpr std::chrono::seconds kSlack(3);

// Stands in for fdatasync and records each call: which file the descriptor
// named then (device and inode, 0 when it was not open), its size, the thread
// and the moment. It can be held, so that a sync seems to take long.
class SyncRecorder {
public:
    struct Call {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        std::thread::id thread;
        Clock::time_point at;
    };

    CDiskSyncer::SyncFunction Function()
    {
        return [this](int fd) {
            Call call;
            struct stat info;
            if (fstat(fd, &info) == 0) {
                call.device = info.st_dev;
                call.inode = info.st_ino;
                call.size = info.st_size;
            }
            call.thread = std::this_thread::get_id();
            call.at = Clock::now();
            std::unique_lock<std::mutex> guard(lock);
            calls.push_back(call);
            changed.notify_all();
            changed.wait(guard, [this] { return !held; });
            return 0;
        };
    }

    void Hold(bool on)
    {
        std::lock_guard<std::mutex> guard(lock);
        held = on;
        changed.notify_all();
    }

    // Waits until there were `count` calls; false when `limit` passed first.
    bool WaitFor(size_t count, std::chrono::milliseconds limit)
    {
        return WaitUntil([count](const std::vector<Call>& made) { return made.size() >= count; }, limit);
    }

    bool WaitUntil(const std::function<bool(const std::vector<Call>&)>& done, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, [&] { return done(calls); });
    }

    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Call> calls;
    bool held = false;
};

struct FileId {
    dev_t device;
    ino_t inode;
};

FileId IdOf(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return {0, 0};
    return {info.st_dev, info.st_ino};
}

bool Names(const SyncRecorder::Call& call, const FileId& file)
{
    return call.inode != 0 && call.device == file.device && call.inode == file.inode;
}

// How many descriptors of this process are open on the file.
int OpenDescriptors(const FileId& id)
{
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return -1;
    while (dirent* entry = readdir(fds)) {
        struct stat info;
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        if (entry->d_name[0] != '.' && stat(link.c_str(), &info) == 0 && info.st_dev == id.device &&
            info.st_ino == id.inode)
            ++count;
    }
    closedir(fds);
    return count;
}

int CreateFile(const std::string& path)
{
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace

// New bytes are forced within a period, and not forced again until more come;
// a closed file is forced once more through a descriptor that still names it,
// even when the writer's own descriptor number names another file by then, and
// then let go.
TEST(DiskSyncer, ForcesNewBytesAndTheClosedFileOnly)
{
    TempDir dir;
    const std::string song = dir.Folder() + "song.mp3";
    const std::string next = dir.Folder() + "next.mp3";
    SyncRecorder recorder;
    CDiskSyncer syncer(recorder.Function());

    int fd = CreateFile(song);
    ASSERT_GE(fd, 0);
    const FileId songId = IdOf(song);
    CDiskSyncer::Handle handle = syncer.Attach(fd);
    ASSERT_TRUE(handle);
    std::this_thread::sleep_for(2 * CDiskSyncer::kPeriod);
    EXPECT_TRUE(recorder.Calls().empty()) << "forced with nothing written";

    ASSERT_EQ(write(fd, "abc", 3), 3);
    const Clock::time_point told = Clock::now();
    CDiskSyncer::Written(handle);
    ASSERT_TRUE(recorder.WaitFor(1, CDiskSyncer::kPeriod + kSlack));
    SyncRecorder::Call first = recorder.Calls()[0];
    EXPECT_TRUE(Names(first, songId));
    EXPECT_EQ(first.size, 3);
    EXPECT_NE(first.thread, std::this_thread::get_id());
    EXPECT_LE(first.at - told, CDiskSyncer::kPeriod + kSlack);

    std::this_thread::sleep_for(2 * CDiskSyncer::kPeriod);
    EXPECT_EQ(recorder.Calls().size(), 1u) << "forced again with nothing new";

    // The writer closes its descriptor, and its number goes to another file.
    ASSERT_EQ(write(fd, "defg", 4), 4);
    CDiskSyncer::Written(handle);
    ASSERT_EQ(close(fd), 0);
    const int reused = CreateFile(next);
    ASSERT_GE(reused, 0);
    syncer.Detach(handle);
    EXPECT_FALSE(handle);
    ASSERT_TRUE(recorder.WaitFor(2, kSlack));
    std::this_thread::sleep_for(2 * CDiskSyncer::kPeriod);
    const std::vector<SyncRecorder::Call> calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 2u) << "forced after it was let go";
    EXPECT_TRUE(Names(calls[1], songId));
    EXPECT_EQ(calls[1].size, 7);
    EXPECT_EQ(OpenDescriptors(songId), 0) << "the syncer keeps the closed song open";
    close(reused);
}

// While a sync hangs on a busy disk, the writer still attaches, writes and
// hands back files without waiting; what was handed back is forced once the
// disk answers, each file through its own descriptor.
TEST(DiskSyncer, WriterNeverWaitsForASync)
{
    TempDir dir;
    const std::string first = dir.Folder() + "first.wav";
    const std::string second = dir.Folder() + "second.wav";
    SyncRecorder recorder;
    CDiskSyncer syncer(recorder.Function(), std::chrono::milliseconds(20));

    const int firstFd = CreateFile(first);
    ASSERT_GE(firstFd, 0);
    CDiskSyncer::Handle firstHandle = syncer.Attach(firstFd);
    recorder.Hold(true);
    CDiskSyncer::Written(firstHandle);
    ASSERT_TRUE(recorder.WaitFor(1, kSlack));

    // The writer's side, while the sync above is held.
    auto writer = std::async(std::launch::async, [&] {
        close(firstFd);
        syncer.Detach(firstHandle);
        const int secondFd = CreateFile(second);
        CDiskSyncer::Handle secondHandle = syncer.Attach(secondFd);
        CDiskSyncer::Written(secondHandle);
        close(secondFd);
        syncer.Detach(secondHandle);
        return secondFd >= 0;
    });
    const std::future_status status = writer.wait_for(kSlack);
    recorder.Hold(false);
    ASSERT_EQ(status, std::future_status::ready) << "the writer waited for the disk";
    EXPECT_TRUE(writer.get());

    ASSERT_TRUE(recorder.WaitFor(3, kSlack));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::vector<SyncRecorder::Call> calls = recorder.Calls();
    const FileId firstId = IdOf(first);
    const FileId secondId = IdOf(second);
    int firstCalls = 0, secondCalls = 0;
    for (const SyncRecorder::Call& call : calls) {
        firstCalls += Names(call, firstId);
        secondCalls += Names(call, secondId);
    }
    EXPECT_EQ(firstCalls + secondCalls, static_cast<int>(calls.size())) << "a sync named no song";
    EXPECT_EQ(firstCalls, 2);
    EXPECT_EQ(secondCalls, 1);
    EXPECT_EQ(OpenDescriptors(firstId), 0);
    EXPECT_EQ(OpenDescriptors(secondId), 0);
}

// A syncer that ends forces what it still holds and lets go of it.
TEST(DiskSyncer, EndingForcesWhatItHolds)
{
    TempDir dir;
    const std::string song = dir.Folder() + "song.mp3";
    SyncRecorder recorder;
    const int fd = CreateFile(song);
    ASSERT_GE(fd, 0);
    {
        CDiskSyncer syncer(recorder.Function(), std::chrono::hours(1));
        CDiskSyncer::Handle handle = syncer.Attach(fd);
        CDiskSyncer::Written(handle);
    }
    const std::vector<SyncRecorder::Call> calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(Names(calls[0], IdOf(song)));
    EXPECT_EQ(OpenDescriptors(IdOf(song)), 1) << "only the writer's own descriptor stays";
    close(fd);
}

struct WriterCase {
    const char* name;
    bool mp3;
    int channels;
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

class SyncedWriters : public ::testing::TestWithParam<WriterCase> {};

// Each song writer has its file forced while the song is written and once
// more, whole, after it is closed (and the mixed-down file of a song of more
// than two channels too), and then holds no descriptor on it.
TEST_P(SyncedWriters, SongForcedWhileWrittenAndWhole)
{
    const WriterCase c = GetParam();
    TempDir dir;
    const std::string path = dir.Folder() + (c.mp3 ? "song.mp3" : "song.wav");
    SyncRecorder recorder;
    CDiskSyncer syncer(recorder.Function(), std::chrono::milliseconds(50));
    CMp3File mp3(syncer);
    CPcmsink wav(syncer);
    IMusicFile& writer = c.mp3 ? static_cast<IMusicFile&>(mp3) : wav;
    const AudioParam format = Format(44100, c.channels, 16);
    const std::vector<unsigned char> pcm = Tone(format, 1500, 440, 0.5);
    const size_t clip = pcm.size() / 75;  // 20 ms

    writer.Open(path.c_str(), &format);
    const FileId written = IdOf(path);
    auto due = Clock::now();
    for (size_t at = 0; at + clip <= pcm.size(); at += clip) {
        ASSERT_TRUE(writer.WriteData(pcm.data() + at, static_cast<unsigned>(clip)));
        due += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(due);
    }
    const size_t whileWritten = recorder.Calls().size();
    ASSERT_TRUE(writer.Close());
    const FileId kept = IdOf(writer.ClosedPath());
    struct stat info;
    ASSERT_EQ(stat(writer.ClosedPath().c_str(), &info), 0);
    // The file written is whole at its last sync: the song, or the WAV the
    // song was mixed down from.
    const off_t wholeSize = c.channels > 2 ? static_cast<off_t>(pcm.size()) : info.st_size;
    auto lastOf = [](const std::vector<SyncRecorder::Call>& calls, const FileId& id) {
        const SyncRecorder::Call* last = nullptr;
        for (const SyncRecorder::Call& call : calls)
            if (Names(call, id))
                last = &call;
        return last ? *last : SyncRecorder::Call();
    };
    EXPECT_TRUE(recorder.WaitUntil(
        [&](const std::vector<SyncRecorder::Call>& calls) {
            return lastOf(calls, written).size >= wholeSize && lastOf(calls, kept).size == info.st_size;
        },
        kSlack))
        << "not forced whole after the close";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const std::vector<SyncRecorder::Call> calls = recorder.Calls();
    EXPECT_GE(whileWritten, 2u) << "not forced while the song was written";
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_TRUE(Names(calls[i], written) || Names(calls[i], kept)) << "call " << i << " named no song";
        EXPECT_GT(calls[i].size, 0) << "call " << i;
    }
    EXPECT_EQ(OpenDescriptors(written), 0);
    EXPECT_EQ(OpenDescriptors(kept), 0);
}

INSTANTIATE_TEST_SUITE_P(Writers, SyncedWriters,
                         ::testing::Values(WriterCase{"mp3", true, 2}, WriterCase{"wav", false, 2},
                                           WriterCase{"mp3_of_six_channels", true, 6}),
                         [](const ::testing::TestParamInfo<WriterCase>& info) { return info.param.name; });
