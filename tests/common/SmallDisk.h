#pragma once

// A real small disk for the tests of a full disk: a tmpfs of a given size
// mounted on a fresh folder, unmounted and removed again by the destructor.
// Mounting needs root (the tests run as root here and in CI); elsewhere
// Mounted() is false and Why() says why, for a GTEST_SKIP.

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

class SmallDisk {
public:
    // A read-only disk takes no file at all, whatever the permissions say:
    // the one folder even root cannot write in.
    explicit SmallDisk(uint64_t bytes, bool readOnly = false)
    {
        char pattern[] = "/tmp/sonacap-disk-XXXXXX";
        if (!mkdtemp(pattern)) {
            why = std::string("no folder for the disk: ") + strerror(errno);
            return;
        }
        folder = pattern;
        if (geteuid() != 0) {
            why = "mounting a small disk needs root";
            return;
        }
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        if (mount("tmpfs", folder.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            why = std::string("mount of a tmpfs failed: ") + strerror(errno);
            return;
        }
        mounted = true;
    }
    ~SmallDisk()
    {
        if (mounted)
            umount2(folder.c_str(), MNT_DETACH);
        if (!folder.empty())
            rmdir(folder.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted; }
    const std::string& Why() const { return why; }
    // The mount point, without a trailing '/'.
    const std::string& Path() const { return folder; }
    uint64_t FreeBytes() const
    {
        struct statvfs st;
        if (statvfs(folder.c_str(), &st) != 0)
            return 0;
        return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    }

private:
    std::string folder;
    std::string why;
    bool mounted = false;
};
