#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "CAudioDataManager.h"
#include "CBuffer.h"

namespace {

std::vector<unsigned char> Bytes(size_t count, unsigned seed = 0)
{
    std::vector<unsigned char> data(count);
    for (size_t i = 0; i < count; ++i)
        data[i] = static_cast<unsigned char>((i * 131 + seed * 7 + 3) & 0xff);
    return data;
}

struct NodeMark {
    unsigned filled;
    unsigned read;
};

std::vector<NodeMark> Nodes(const CBuffer& buffer)
{
    std::vector<NodeMark> marks;
    NodeMark mark;
    while (buffer.NodeAt(marks.size(), &mark.filled, &mark.read))
        marks.push_back(mark);
    EXPECT_EQ(marks.size(), buffer.NodeCount());
    return marks;
}

}  // namespace

TEST(BlockQueue, NodeArithmetic)
{
    CBuffer buffer;
    const std::vector<unsigned char> input = Bytes(5100);
    buffer.AddBuffer(input.data(), 5000);
    auto nodes = Nodes(buffer);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].filled, 4096u);
    EXPECT_EQ(nodes[1].filled, 904u);

    buffer.AddBuffer(input.data() + 5000, 100);
    nodes = Nodes(buffer);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1].filled, 1004u);

}

TEST(BlockQueue, ClipsAcrossNodes)
{
    CBuffer buffer;
    const std::vector<unsigned char> input = Bytes(8192);
    buffer.AddBuffer(input.data(), 8192);
    // 3,528 bytes (one 20 ms stereo clip) from the first node leave 568 in it;
    // the next clip takes those and 2,960 of the second node.
    std::vector<unsigned char> out(3528);
    ASSERT_EQ(buffer.GetBuffer(out.data(), 3528), 3528u);
    EXPECT_EQ(0, std::memcmp(out.data(), input.data(), 3528));
    auto nodes = Nodes(buffer);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].filled - nodes[0].read, 568u);

    ASSERT_EQ(buffer.GetBuffer(out.data(), 3528), 3528u);
    EXPECT_EQ(0, std::memcmp(out.data(), input.data() + 3528, 3528));
    nodes = Nodes(buffer);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].read, 2960u);
    EXPECT_EQ(buffer.Size(), 8192u - 2 * 3528u);

    // Draining the last node exactly frees it; the next push starts a new one.
    ASSERT_EQ(buffer.GetBuffer(out.data(), 3528), 8192u - 2 * 3528u);
    EXPECT_EQ(0, std::memcmp(out.data(), input.data() + 2 * 3528, 8192 - 2 * 3528));
    EXPECT_EQ(buffer.NodeCount(), 0u);
    EXPECT_EQ(buffer.GetBuffer(out.data(), 10), 0u);
    buffer.AddBuffer(input.data(), 10);
    nodes = Nodes(buffer);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].filled, 10u);
    EXPECT_EQ(nodes[0].read, 0u);
}

TEST(BlockQueue, IgnoresEmptyArguments)
{
    CBuffer buffer;
    unsigned char byte = 1;
    buffer.AddBuffer(nullptr, 10);
    buffer.AddBuffer(&byte, 0);
    EXPECT_EQ(buffer.NodeCount(), 0u);
    buffer.AddBuffer(&byte, 1);
    EXPECT_EQ(buffer.GetBuffer(nullptr, 1), 0u);
    EXPECT_EQ(buffer.GetBuffer(&byte, 0), 0u);
    EXPECT_EQ(buffer.Size(), 1u);
    buffer.Clear();
    EXPECT_EQ(buffer.NodeCount(), 0u);
    // A cleared queue starts over with a fresh node.
    buffer.AddBuffer(&byte, 1);
    EXPECT_EQ(buffer.NodeCount(), 1u);
    EXPECT_EQ(buffer.GetBuffer(&byte, 1), 1u);
    EXPECT_EQ(byte, 1);
}

TEST(BlockQueue, ClearZeroesTheFormat)
{
    CAudioDataManager manager;
    AudioParam format = {44100, 2, 16, 0, 4, 1, 0};
    manager.SetAudioParam(&format);
    const std::vector<unsigned char> input = Bytes(9000);
    manager.PushData(input.data(), 9000);
    AudioParam read;
    manager.GetAudioParam(&read);
    EXPECT_EQ(0, std::memcmp(&read, &format, sizeof(format)));
    EXPECT_EQ(manager.QueuedBytes(), 9000u);

    manager.Clear();
    manager.GetAudioParam(&read);
    const AudioParam zero = {};
    EXPECT_EQ(0, std::memcmp(&read, &zero, sizeof(zero)));
    std::vector<unsigned char> out(100);
    EXPECT_EQ(manager.PopData(out.data(), 100), 0u);
}

// A capture thread pushing blocks of changing sizes while a processing thread
// takes clips: what comes out is exactly what went in.
TEST(BlockQueue, TwoThreadsKeepTheStreamIntact)
{
    CAudioDataManager manager;
    const size_t total = 3 * 1024 * 1024 + 17;
    const std::vector<unsigned char> input = Bytes(total, 5);
    std::vector<unsigned char> output;
    output.reserve(total);

    std::thread producer([&] {
        const unsigned sizes[] = {1, 441, 4096, 4097, 1764, 8192 + 5, 3};
        size_t offset = 0;
        for (size_t i = 0; offset < total; ++i) {
            const unsigned size = static_cast<unsigned>(std::min<size_t>(sizes[i % 7], total - offset));
            manager.PushData(input.data() + offset, size);
            offset += size;
        }
    });
    std::thread consumer([&] {
        std::vector<unsigned char> clip(3528);
        while (output.size() < total) {
            const unsigned got = manager.PopData(clip.data(), 3528);
            output.insert(output.end(), clip.begin(), clip.begin() + got);
            if (got == 0)
                std::this_thread::yield();
        }
    });
    producer.join();
    consumer.join();
    ASSERT_EQ(output.size(), total);
    EXPECT_TRUE(output == input);
    EXPECT_EQ(manager.QueuedBytes(), 0u);
}
