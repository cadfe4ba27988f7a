#include "platform/mounted_volumes.h"

#include <mntent.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace vemra {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool under(std::string_view path, std::string_view folder) {
    return path == folder || startsWith(path, std::string(folder) + "/");
}

constexpr std::array<std::string_view, 10> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "davfs", "fuse.rclone"};

} // namespace

std::vector<MountedVolume> readMountTable(const std::string& table) {
    std::vector<MountedVolume> volumes;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(setmntent(table.c_str(), "r"), endmntent);
    if (!file) {
        return volumes;
    }
    // getmntent_r decodes the octal escapes ("\040" for a blank) the kernel
    // writes into names; the table is bounded by the kernel, the loop too.
    std::array<char, 8192> line{};
    mntent entry{};
    while (volumes.size() < 100000 &&
           getmntent_r(file.get(), &entry, line.data(), static_cast<int>(line.size())) != nullptr) {
        volumes.push_back({entry.mnt_dir, entry.mnt_fsname, entry.mnt_type});
    }
    return volumes;
}

bool isUserVolume(const MountedVolume& v) {
    const std::string_view point = v.mountPoint;
    if (point.empty() || point.front() != '/') {
        return false;
    }
    for (std::string_view system : {"/boot", "/proc", "/sys", "/dev", "/snap", "/var/snap",
                                    "/var/lib", "/efi", "/tmp", "/var/tmp"}) {
        if (under(point, system)) {
            return false;
        }
    }
    // Under /run only the desktop's removable media.
    if (under(point, "/run") && !under(point, "/run/media")) {
        return false;
    }
    if (std::find(kNetworkTypes.begin(), kNetworkTypes.end(), v.type) != kNetworkTypes.end()) {
        return true;
    }
    if (v.type == "tmpfs" || v.type == "ramfs") {
        return under(point, "/mnt") || under(point, "/media") || under(point, "/run/media");
    }
    return startsWith(v.device, "/dev/") && v.type != "squashfs";
}

std::vector<MountedVolume> userVolumes(const std::vector<MountedVolume>& table) {
    std::vector<MountedVolume> volumes;
    for (const MountedVolume& v : table) {
        if (v.mountPoint == "/" || !isUserVolume(v)) {
            continue;
        }
        std::erase_if(volumes,
                      [&](const MountedVolume& seen) { return seen.mountPoint == v.mountPoint; });
        volumes.push_back(v);
    }
    std::sort(volumes.begin(), volumes.end(), [](const MountedVolume& a, const MountedVolume& b) {
        return a.mountPoint < b.mountPoint;
    });
    return volumes;
}

} // namespace vemra
