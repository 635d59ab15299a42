#pragma once

#include "cli/Command.h"

namespace vorpex {

// The rows of vorpex-cli's commands, each defined in its own file beside this one.
extern const Command kListCommand;
extern const Command kExtractCommand;
extern const Command kCheckCommand;
extern const Command kPackCommand;
extern const Command kAddCommand;
extern const Command kRemoveCommand;
extern const Command kRenameCommand;
extern const Command kUpdateCommand;
extern const Command kMountCommand;
extern const Command kUnmountCommand;

} // namespace vorpex
