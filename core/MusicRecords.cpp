#include "MusicRecords.h"

#include <cstring>

size_t Utf8FieldLength(size_t size, const char* text, size_t length)
{
    if (!text || size == 0)
        return 0;
    size_t n = length < size - 1 ? length : size - 1;
    if (n < length) {
        // Cut before a continuation byte so no character is split.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    return n;
}

void CopyUtf8Field(char* field, size_t size, const char* text, size_t length)
{
    if (!field || size == 0)
        return;
    const size_t n = Utf8FieldLength(size, text, length);
    if (n > 0)
        memcpy(field, text, n);
    field[n] = '\0';
}

void CopyUtf8Field(char* field, size_t size, const QByteArray& text)
{
    CopyUtf8Field(field, size, text.constData(), static_cast<size_t>(text.size()));
}
