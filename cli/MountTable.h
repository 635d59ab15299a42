#pragma once

#include <string>

// What /proc/self/mountinfo says of the mount that stands last at an absolute path.
struct CMountEntry {
    // How `vorpex-cli mount` names its file system (fsname and subtype), which sets its mounts apart.
    static constexpr const char* kOurType = "fuse.vorpex";
    static constexpr const char* kOurSource = "vorpex";

    std::string m_strDevice; // "MAJOR:MINOR", as /sys/class/bdi names the mount's backing device
    std::string m_strType;
    std::string m_strSource;
};

// The mount at the absolute path `point`; all fields empty when nothing is mounted there.
CMountEntry FindMount(const std::string& point);
