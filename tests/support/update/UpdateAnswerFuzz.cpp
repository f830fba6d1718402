// Fuzz entry point: the update service's answer and the base64 decoder.
// The input is one answer body; the same bytes also go through base64
// decoding with exact, short and null buffers, and through a round trip.
#include "Base64.h"
#include "CRegData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    CRegData answer;
    answer.SetVersion("1.0.0.1");
    answer.HandleUpdateData(text);
    const int code = answer.GetResult();
    if (code != kUpdateNoProduct && code != kUpdateNewer && code != kUpdateNotNewer && code != kUpdateMalformed)
        std::abort();
    if (answer.Result().whatsNew.size() > kWhatsNewLimit)
        std::abort();

    size_t needed = 0;
    const int sizing = base64_decode(nullptr, &needed, data, size);
    if (sizing == kBase64BufferTooSmall) {
        // Exactly the size asked for: the decoder must not write beyond it.
        // (One byte more in memory when nothing is needed, so the buffer is not null.)
        std::vector<unsigned char> exact(needed > 0 ? needed : 1);
        size_t length = needed;
        if (base64_decode(exact.data(), &length, data, size) != 0 || length > needed)
            std::abort();
        // One byte short is refused without writing.
        if (needed > 0) {
            std::vector<unsigned char> shortBuffer(needed - 1);
            length = shortBuffer.size();
            if (base64_decode(shortBuffer.data(), &length, data, size) != kBase64BufferTooSmall)
                std::abort();
        }
    }

    const std::string encoded = Base64EncodeString(text);
    if (Base64DecodeString(encoded) != text)
        std::abort();
    return 0;
}
