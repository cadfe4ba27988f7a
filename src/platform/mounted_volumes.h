#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// One line of the mount table.
struct MountedVolume {
    std::string mountPoint;
    std::string device;
    std::string type;
    friend bool operator==(const MountedVolume&, const MountedVolume&) = default;
};

// The mount table as the kernel gives it (/proc/self/mounts), escapes in
// names decoded; empty when it cannot be read.
std::vector<MountedVolume> readMountTable(const std::string& table = "/proc/self/mounts");

// Whether a user would call this a drive: disks and partitions, optical and
// removable media, network shares, RAM disks the user mounted under /mnt or
// /media. Not the kernel's own file systems, the system's tmpfs folders,
// packages mounted as images (snaps) nor the boot partitions.
bool isUserVolume(const MountedVolume& volume);

// The user's volumes other than "/", in mount-point order, each once (the
// last mount over a folder is the one seen there).
std::vector<MountedVolume> userVolumes(const std::vector<MountedVolume>& table);

} // namespace vemra
