#include "cli/MountTable.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace vorpex {

namespace {

// A field of /proc/self/mountinfo as it stands on disk: the kernel writes space, tab, newline and
// backslash as \ and three octal digits.
std::string mountInfoField(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + long(i) + 1, field.begin() + long(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            text += char(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace

MountEntry findMount(const std::string& point) {
    std::ifstream mounts("/proc/self/mountinfo");
    MountEntry found;
    for (std::string line; std::getline(mounts, line);) {
        // ID PARENT MAJOR:MINOR ROOT POINT OPTIONS [TAGS...] - TYPE SOURCE OPTIONS
        std::istringstream in(line);
        std::vector<std::string> fields;
        for (std::string field; in >> field;)
            fields.push_back(field);
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || fields.end() - dash < 3 || mountInfoField(fields[4]) != point)
            continue;
        found = {fields[2], mountInfoField(dash[1]), mountInfoField(dash[2])};
    }
    return found;
}

} // namespace vorpex
