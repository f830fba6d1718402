#include "CBuffer.h"

#include <algorithm>
#include <cstring>

CBuffer::CBuffer() : head(nullptr), tail(nullptr), unread(0) {}

CBuffer::~CBuffer()
{
    Clear();
}

void CBuffer::AddBuffer(const void* data, unsigned size)
{
    if (!data || size == 0)
        return;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    unread += size;

    Node* last = tail;
    if (last && last->filled < kNodeSize) {
        const unsigned take = std::min(size, kNodeSize - last->filled);
        std::memcpy(last->data + last->filled, bytes, take);
        last->filled += take;
        bytes += take;
        size -= take;
    }
    while (size > 0) {
        Node* node = new Node;
        node->data = new unsigned char[kNodeSize];
        node->read = 0;
        node->next = nullptr;
        node->filled = std::min(size, kNodeSize);
        std::memcpy(node->data, bytes, node->filled);
        bytes += node->filled;
        size -= node->filled;
        if (last)
            last->next = node;
        else
            head = node;
        last = node;
    }
    tail = last;
}

unsigned CBuffer::GetBuffer(void* out, unsigned size)
{
    if (!out || size == 0)
        return 0;
    // An empty queue is the idle state, not worth a log line.
    if (!head)
        return 0;
    unsigned char* dest = static_cast<unsigned char*>(out);
    unsigned copied = 0;
    while (head && copied < size) {
        const unsigned unread = head->filled - head->read;
        const unsigned wanted = size - copied;
        if (unread <= wanted) {
            std::memcpy(dest + copied, head->data + head->read, unread);
            copied += unread;
            Node* next = head->next;
            delete[] head->data;
            delete head;
            head = next;
            if (!head)
                tail = nullptr;
        } else {
            std::memcpy(dest + copied, head->data + head->read, wanted);
            head->read += wanted;
            copied += wanted;
        }
    }
    unread -= copied;
    return copied;
}

void CBuffer::Clear()
{
    while (head) {
        Node* next = head->next;
        delete[] head->data;
        delete head;
        head = next;
    }
    tail = nullptr;
    unread = 0;
}

size_t CBuffer::NodeCount() const
{
    size_t count = 0;
    for (const Node* node = head; node; node = node->next)
        ++count;
    return count;
}

bool CBuffer::NodeAt(size_t index, unsigned* filled, unsigned* read) const
{
    const Node* node = head;
    for (size_t i = 0; node && i < index; ++i)
        node = node->next;
    if (!node)
        return false;
    if (filled)
        *filled = node->filled;
    if (read)
        *read = node->read;
    return true;
}

size_t CBuffer::Size() const
{
    return unread;
}
