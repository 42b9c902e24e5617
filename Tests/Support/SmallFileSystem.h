// A small file system mounted on a folder for one test (a disk that fills
// up): tmpfs, else an ext2 loop image. Needs root; Mounted() says whether it
// worked. Unmounted (lazily) when the object goes.
#pragma once

#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class SmallFileSystem {
public:
    SmallFileSystem(const std::string& dir, int megabytes) : dir_(dir) {
        const std::string options = "size=" + std::to_string(megabytes) + "m";
        if (mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0) {
            mounted_ = true;
            return;
        }
        image_ = dir + ".img";
        const std::string cmd = "truncate -s " + std::to_string(megabytes) + "M '" + image_ +
                                "' && mkfs.ext2 -q -F -m 0 '" + image_ + "' >/dev/null 2>&1 && mount -o loop '" +
                                image_ + "' '" + dir + "' 2>/dev/null";
        mounted_ = std::system(cmd.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
        if (!image_.empty()) std::remove(image_.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::string dir_;
    std::string image_;
    bool mounted_ = false;
};
