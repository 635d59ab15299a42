#pragma once

#include <string>

namespace vorpex {

// What /proc/self/mountinfo says of the mount that stands last at an absolute path.
struct MountEntry {
    // How `vorpex-cli mount` names its file system (fsname and subtype), which sets its mounts apart.
    static constexpr const char* kOurType = "fuse.vorpex";
    static constexpr const char* kOurSource = "vorpex";

    std::string m_device; // "MAJOR:MINOR", as /sys/class/bdi names the mount's backing device
    std::string m_type;
    std::string m_source;
};

// The mount at the absolute path `point`; all fields empty when nothing is mounted there.
MountEntry findMount(const std::string& point);

} // namespace vorpex
