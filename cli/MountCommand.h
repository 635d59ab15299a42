#pragma once

#include <string>
#include <vector>

// `vorpex-cli mount [--encoding NAME] [-f] ARCHIVE DIR` and `vorpex-cli unmount DIR`, and their help.
// `args` are the command line's arguments from the command on ("mount", ...; "help", "mount"). Returns the
// exit status: 0 mounted (or unmounted), 1 mounted with problems reported or not unmounted, 2 for a usage
// error, an archive that cannot be opened or a folder that cannot be mounted on.
int MountCommand(const std::vector<std::string>& args);
