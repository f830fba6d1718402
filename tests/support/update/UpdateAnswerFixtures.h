#pragma once

// Canned answers of the update service for the update tests.

#include "Base64.h"

#include <string>

namespace update_test {

struct AnswerFields {
    std::string code = "SONACAP";
    std::string name = "Tavrel Sonacap";
    std::string version = "2.0.0.0";
    std::string download = "https://download.example/sonacap.exe";
    std::string online = "https://download.example/online";
    std::string notes = "Faster start.";
};

// An answer as the service writes it: every field a child of the root, the
// release notes base64 inside upd:WhatsNew. Empty fields are left out.
inline std::string MakeAnswer(const AnswerFields& f)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<upd:UpdateInfo xmlns:upd=\"urn:update\">\n";
    auto add = [&xml](const char* name, const std::string& value) {
        if (!value.empty())
            xml += std::string("  <") + name + ">" + value + "</" + name + ">\n";
    };
    add("upd:ProductCode", f.code);
    add("upd:ProductDisplayName", f.name);
    add("upd:ProductVer", f.version);
    add("upd:DownloadURL", f.download);
    add("upd:OnlineDownURL", f.online);
    if (!f.notes.empty())
        xml += "  <upd:WhatsNew><upd:Description>" + Base64EncodeString(f.notes) +
               "</upd:Description></upd:WhatsNew>\n";
    xml += "</upd:UpdateInfo>\n";
    return xml;
}

inline std::string AnswerWithVersion(const std::string& version)
{
    AnswerFields fields;
    fields.version = version;
    return MakeAnswer(fields);
}

} // namespace update_test
