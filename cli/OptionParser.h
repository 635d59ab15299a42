#pragma once

#include <string>
#include <vector>

namespace vorpex {

struct Command;
struct CommandLine;

// Reads a command's arguments with getopt_long, against the one table of every command's options: short
// options bundle (-le CP437), long ones take --name=value, '--' ends the options, and an option the command
// does not take is a usage error naming it. `args` start with the command's name. False after the usage
// error is reported.
bool parseOptions(const Command& command, std::vector<std::string> args, CommandLine& line);

} // namespace vorpex
