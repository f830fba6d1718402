#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The engine's device record. Plain characters in the engine's local encoding,
// each field zero-terminated.
//   id:   list entries: the position in the list in decimal ("0", "1", ...);
//         a default device: the sound server's name of the sink or source
//   name: what users see (the server's description), cut to 255 bytes
struct AudioDeviceInfo {
    char id[128];
    char name[256];
};

// Fills a record, cutting both texts to their fields.
void SetAudioDeviceInfo(AudioDeviceInfo* info, const std::string& id, const std::string& name);

// Device names are matched by case-sensitive substring in both directions, so
// a shortened name still finds the device and the full name finds a short one.
bool DeviceNameMatches(const char* listed, const char* wanted);

// Of `count` listed names (nameAt(i), null for an entry that does not take
// part), the position of the one that stands for `wanted`: a name equal to it
// first, so that "Line In" is never taken for "Line In 2" or the other way
// round, else the first that DeviceNameMatches; -1 when none does.
int MatchDeviceName(size_t count, const std::function<const char*(size_t)>& nameAt, const char* wanted);

// Every device operation of the engine works on the sound server's own
// interfaces; the older interfaces of other systems are not built here.
bool IsVistaOrLater();
