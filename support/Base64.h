#pragma once

// Standard base64 (alphabet A-Z a-z 0-9 + /, "=" padding) over caller buffers,
// as the update service sends its release notes.

#include <cstddef>
#include <string>

// Result codes of the codec.
constexpr int kBase64BufferTooSmall = -16;   // *outLen then holds the size needed
constexpr int kBase64InvalidCharacter = -18;

// Encodes inLen bytes into out, followed by a terminating NUL. *outLen is the
// capacity of out on entry and the number of characters written (without the
// NUL) on success. An empty input returns 0 and touches nothing.
int base64_encode(unsigned char* out, size_t* outLen, const unsigned char* in, size_t inLen);

// Decodes base64 text into out. CR LF pairs and lone LFs may stand anywhere
// (wrapped text); anything else outside the alphabet, a lone CR, a third "="
// or a character after an "=" gives kBase64InvalidCharacter. With a null out
// or a capacity below the size needed, *outLen is set to that size and
// kBase64BufferTooSmall is returned. Input without any base64 character
// returns 0 and leaves *outLen untouched. Only complete four-character groups
// produce bytes.
int base64_decode(unsigned char* out, size_t* outLen, const unsigned char* in, size_t inLen);

// Whole-text forms: an empty result on any error.
std::string Base64EncodeString(const std::string& in);
std::string Base64DecodeString(const std::string& in);
