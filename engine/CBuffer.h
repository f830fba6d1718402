#pragma once

#include <cstddef>

// First-in first-out byte queue made of fixed 4,096-byte nodes. Not locked:
// CAudioDataManager guards it.
class CBuffer {
public:
    static constexpr unsigned kNodeSize = 4096;

    CBuffer();
    virtual ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    // Appends size bytes; nothing when data is null or size is 0.
    void AddBuffer(const void* data, unsigned size);
    // Moves up to size bytes from the front into out; returns the count.
    unsigned GetBuffer(void* out, unsigned size);
    void Clear();

    // Inspection: number of nodes, and the fill and read marks of node index.
    size_t NodeCount() const;
    bool NodeAt(size_t index, unsigned* filled, unsigned* read) const;
    // Unread bytes over all nodes.
    size_t Size() const;

private:
    struct Node {
        unsigned char* data;
        unsigned filled;
        unsigned read;
        Node* next;
    };

    Node* head;
    // The last node (null when empty), so an append never walks the list:
    // the capture thread appends while holding the queue's lock, and a long
    // backlog must not make each append slower.
    Node* tail;
    // Unread bytes over all nodes, kept up to date by every operation.
    size_t unread;
};
