#include "Base64.h"

#include <cstdint>
#include <limits>

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 0..63 for an alphabet character, 64 for the padding "=", -1 for anything else.
int DecodeValue(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    if (c == '=')
        return 64;
    return -1;
}

// Characters of the encoded text plus its NUL; 0 when that does not fit a size_t.
size_t EncodedSize(size_t inLen)
{
    if (inLen > (std::numeric_limits<size_t>::max() - 4) / 8)
        return 0;
    size_t n = inLen * 8 / 6;
    switch (inLen * 8 % 6) {
    case 2:
        n += 3;
        break;
    case 4:
        n += 2;
        break;
    default:
        break;
    }
    return n + 1;
}
} // namespace

int base64_encode(unsigned char* out, size_t* outLen, const unsigned char* in, size_t inLen)
{
    if (inLen == 0)
        return 0;
    if (!outLen || !in)
        return kBase64InvalidCharacter;
    const size_t needed = EncodedSize(inLen);
    if (needed == 0) {
        *outLen = std::numeric_limits<size_t>::max();
        return kBase64BufferTooSmall;
    }
    if (!out || *outLen < needed) {
        *outLen = needed;
        return kBase64BufferTooSmall;
    }
    unsigned char* p = out;
    size_t i = 0;
    for (; i + 3 <= inLen; i += 3) {
        const uint32_t group = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        *p++ = kAlphabet[(group >> 18) & 0x3F];
        *p++ = kAlphabet[(group >> 12) & 0x3F];
        *p++ = kAlphabet[(group >> 6) & 0x3F];
        *p++ = kAlphabet[group & 0x3F];
    }
    if (i < inLen) {
        const bool two = i + 1 < inLen;
        const uint32_t group = (uint32_t(in[i]) << 16) | (two ? uint32_t(in[i + 1]) << 8 : 0);
        *p++ = kAlphabet[(group >> 18) & 0x3F];
        *p++ = kAlphabet[(group >> 12) & 0x3F];
        *p++ = two ? kAlphabet[(group >> 6) & 0x3F] : '=';
        *p++ = '=';
    }
    *outLen = static_cast<size_t>(p - out);
    *p = 0;
    return 0;
}

int base64_decode(unsigned char* out, size_t* outLen, const unsigned char* in, size_t inLen)
{
    if (inLen == 0)
        return 0;
    if (!outLen || !in)
        return kBase64InvalidCharacter;

    // First pass: validate and count.
    size_t characters = 0;
    size_t padding = 0;
    for (size_t i = 0; i < inLen; ++i) {
        const unsigned char c = in[i];
        if (c == '\r' && i + 1 < inLen && in[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (c == '\n')
            continue;
        const int value = c > 127 ? -1 : DecodeValue(c);
        if (value < 0)
            return kBase64InvalidCharacter;   // a lone CR lands here too
        if (value == 64) {
            if (++padding > 2)
                return kBase64InvalidCharacter;
        } else if (padding != 0) {
            return kBase64InvalidCharacter;
        }
        ++characters;
    }
    if (characters == 0)
        return 0;

    // characters <= inLen, so this cannot overflow for any buffer that fits in memory.
    const size_t needed = (characters * 6 + 7) / 8 - padding;
    if (!out || *outLen < needed) {
        *outLen = needed;
        return kBase64BufferTooSmall;
    }

    // Second pass: 6 bits per character, 3 bytes per complete group less its padding.
    unsigned char* p = out;
    uint32_t bits = 0;
    int inGroup = 0;
    int groupPadding = 0;
    for (size_t i = 0; i < inLen; ++i) {
        const unsigned char c = in[i];
        if (c == '\r' || c == '\n')
            continue;
        const int value = DecodeValue(c);
        if (value == 64)
            ++groupPadding;
        bits = (bits << 6) | static_cast<uint32_t>(value & 0x3F);
        if (++inGroup == 4) {
            const int bytes = 3 - groupPadding;
            if (bytes > 0)
                *p++ = static_cast<unsigned char>(bits >> 16);
            if (bytes > 1)
                *p++ = static_cast<unsigned char>(bits >> 8);
            if (bytes > 2)
                *p++ = static_cast<unsigned char>(bits);
            inGroup = 0;
            bits = 0;
        }
    }
    *outLen = static_cast<size_t>(p - out);
    return 0;
}

std::string Base64EncodeString(const std::string& in)
{
    if (in.empty())
        return std::string();
    size_t size = EncodedSize(in.size());
    if (size == 0)
        return std::string();
    std::string out(size, '\0');
    if (base64_encode(reinterpret_cast<unsigned char*>(&out[0]), &size,
                      reinterpret_cast<const unsigned char*>(in.data()), in.size()) != 0)
        return std::string();
    out.resize(size);
    return out;
}

std::string Base64DecodeString(const std::string& in)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    size_t size = 0;
    if (base64_decode(nullptr, &size, bytes, in.size()) != kBase64BufferTooSmall || size == 0)
        return std::string();   // invalid, or nothing but line ends
    std::string out(size, '\0');
    if (base64_decode(reinterpret_cast<unsigned char*>(&out[0]), &size, bytes, in.size()) != 0)
        return std::string();
    out.resize(size);
    return out;
}
