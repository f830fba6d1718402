#include "CMyAudioBuffer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {
std::vector<unsigned char> Sequence(int length, int first)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<unsigned char>((first + i) % 251 + 1);
    return bytes;
}

int ReadInto(CMyAudioBuffer& buffer, std::vector<unsigned char>& out)
{
    unsigned char* destination = out.data();
    return buffer.Read(static_cast<int>(out.size()), destination);
}
}  // namespace

TEST(CMyAudioBuffer, WriteFillsUpThenRefuses)
{
    CMyAudioBuffer buffer(192000);
    const std::vector<unsigned char> block = Sequence(150000, 0);
    EXPECT_EQ(150000, buffer.Write(150000, block.data()));
    EXPECT_EQ(42000, buffer.Write(150000, block.data()));
    EXPECT_EQ(-1, buffer.Write(150000, block.data()));
    EXPECT_EQ(192000, buffer.FillCount());
}

TEST(CMyAudioBuffer, ShortReadIsToppedUpWithOlderBytes)
{
    CMyAudioBuffer buffer(192000);
    const std::vector<unsigned char> data = Sequence(10000, 0);
    ASSERT_EQ(10000, buffer.Write(10000, data.data()));
    std::vector<unsigned char> window(9000);
    ASSERT_EQ(0, ReadInto(buffer, window));  // 1,000 left unread, at offset 9,000

    window.assign(4096, 0);
    ASSERT_EQ(0, ReadInto(buffer, window));
    // 3,096 consumed bytes before the read position, then the 1,000 new ones.
    const std::vector<unsigned char> expected(data.begin() + (10000 - 4096), data.end());
    EXPECT_EQ(expected, window);
    EXPECT_EQ(0, buffer.FillCount());
    EXPECT_EQ(-1, ReadInto(buffer, window)) << "nothing unread";
}

TEST(CMyAudioBuffer, WrapsAroundTheEndBothWays)
{
    CMyAudioBuffer buffer(100);
    std::vector<unsigned char> sink(80);
    const std::vector<unsigned char> a = Sequence(80, 0);
    ASSERT_EQ(80, buffer.Write(80, a.data()));
    ASSERT_EQ(0, ReadInto(buffer, sink));
    const std::vector<unsigned char> b = Sequence(50, 80);  // 20 at the end, 30 wrapped
    ASSERT_EQ(50, buffer.Write(50, b.data()));

    std::vector<unsigned char> window(50);
    ASSERT_EQ(0, ReadInto(buffer, window));
    EXPECT_EQ(b, window);
    EXPECT_EQ(30, buffer.ReadPosition());

    // A top-up that reaches back over the start of the buffer.
    const std::vector<unsigned char> c = Sequence(10, 130);
    ASSERT_EQ(10, buffer.Write(10, c.data()));
    window.assign(60, 0);
    ASSERT_EQ(0, ReadInto(buffer, window));
    const std::vector<unsigned char> all = Sequence(140, 0);
    EXPECT_EQ(std::vector<unsigned char>(all.begin() + 80, all.end()), window);
}

TEST(CMyAudioBuffer, StepConsumesLessThanItReads)
{
    CMyAudioBuffer buffer(192000);
    buffer.SetStep(8820);
    const std::vector<unsigned char> data = Sequence(20000, 0);
    ASSERT_EQ(20000, buffer.Write(20000, data.data()));
    std::vector<unsigned char> window(4096);
    ASSERT_EQ(0, ReadInto(buffer, window));
    EXPECT_EQ(4096, buffer.ReadPosition());
    EXPECT_EQ(11180, buffer.FillCount());

    buffer.SetStep(0);  // ignored: the step stays
    ASSERT_EQ(0, ReadInto(buffer, window));
    EXPECT_EQ(2360, buffer.FillCount());
    ASSERT_EQ(0, ReadInto(buffer, window));
    EXPECT_EQ(0, buffer.FillCount()) << "never below 0";
}

TEST(CMyAudioBuffer, ResetAndBadRequests)
{
    CMyAudioBuffer buffer(1000);
    const std::vector<unsigned char> data = Sequence(500, 0);
    ASSERT_EQ(500, buffer.Write(500, data.data()));
    buffer.Reset();
    std::vector<unsigned char> window(100);
    EXPECT_EQ(-1, ReadInto(buffer, window));
    ASSERT_EQ(500, buffer.Write(500, data.data()));
    window.assign(1001, 0);
    EXPECT_EQ(1, ReadInto(buffer, window)) << "longer than the capacity";
    EXPECT_EQ(500, buffer.FillCount()) << "nothing consumed";

    CMyAudioBuffer none(0);
    EXPECT_EQ(-1, none.Write(10, data.data()));
    EXPECT_EQ(-1, ReadInto(none, window));
}

// The engine's thread writes while the spectrum worker reads: every window a
// reader gets is a contiguous run of the written stream (bytes never torn or
// from a half-finished write), optionally after never-written zero bytes.
TEST(CMyAudioBuffer, WriterAndReaderThreads)
{
    CMyAudioBuffer buffer(19200);
    const int total = 4000000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        int written = 0;
        while (written < total) {
            const std::vector<unsigned char> block = Sequence(1764, written);
            const int n = buffer.Write(1764, block.data());
            if (n > 0)
                written += n;
            else
                std::this_thread::yield();
        }
        done = true;
    });
    int windows = 0;
    int broken = 0;
    std::vector<unsigned char> window(4096);
    while (!done || buffer.FillCount() > 0) {
        if (ReadInto(buffer, window) != 0) {
            std::this_thread::yield();
            continue;
        }
        ++windows;
        size_t i = 0;
        while (i < window.size() && window[i] == 0)
            ++i;
        for (; i + 1 < window.size(); ++i) {
            if (window[i + 1] != window[i] % 251 + 1) {
                ++broken;
                break;
            }
        }
    }
    writer.join();
    EXPECT_GT(windows, 0);
    EXPECT_EQ(0, broken);
}
