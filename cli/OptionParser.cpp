#include "cli/OptionParser.h"

#include <getopt.h>

#include "catalogue/NameCodec.h"
#include "cli/Command.h"

namespace vorpex {

namespace {

enum { kJson = 256, kOverwrite, kExclude, kSlash, kSkipUnfit, kConvert, kTo, kDelete };

struct OptionRow {
    OptionId m_id;
    option m_longOption;
};

const OptionRow kOptions[] = {
    {OptionId::Help, {"help", no_argument, nullptr, 'h'}},
    {OptionId::Encoding, {"encoding", required_argument, nullptr, 'e'}},
    {OptionId::Long, {"long", no_argument, nullptr, 'l'}},
    {OptionId::Null, {"null", no_argument, nullptr, '0'}},
    {OptionId::Json, {"json", no_argument, nullptr, kJson}},
    {OptionId::Directory, {"directory", required_argument, nullptr, 'C'}},
    {OptionId::Quiet, {"quiet", no_argument, nullptr, 'q'}},
    {OptionId::FullPaths, {"full-paths", no_argument, nullptr, 'p'}},
    {OptionId::KeepOld, {"keep-old-files", no_argument, nullptr, 'k'}},
    {OptionId::Overwrite, {"overwrite", no_argument, nullptr, kOverwrite}},
    {OptionId::ToStdout, {"to-stdout", no_argument, nullptr, 'O'}},
    {OptionId::Exclude, {"exclude", required_argument, nullptr, kExclude}},
    {OptionId::NoWildcardsMatchSlash, {"no-wildcards-match-slash", no_argument, nullptr, kSlash}},
    {OptionId::Verbose, {"verbose", no_argument, nullptr, 'v'}},
    {OptionId::SkipUnfit, {"skip-unfit", no_argument, nullptr, kSkipUnfit}},
    {OptionId::Foreground, {"foreground", no_argument, nullptr, 'f'}},
    {OptionId::Convert, {"convert", no_argument, nullptr, kConvert}},
    {OptionId::DryRun, {"dry-run", no_argument, nullptr, 'n'}},
    {OptionId::To, {"to", required_argument, nullptr, kTo}},
    {OptionId::Delete, {"delete", no_argument, nullptr, kDelete}},
};

// The long options and the short-option string getopt_long takes for the options in `set`.
void optionsOf(unsigned set, std::vector<option>& longs, std::string& shorts) {
    shorts = ":"; // a missing value is told apart from an unknown option
    for (const OptionRow& row : kOptions) {
        if (!(set & optionSet({row.m_id})))
            continue;
        longs.push_back(row.m_longOption);
        if (row.m_longOption.val < 256) {
            shorts += static_cast<char>(row.m_longOption.val);
            if (row.m_longOption.has_arg == required_argument)
                shorts += ':';
        }
    }
    longs.push_back({});
}

// Stores what getopt_long returned as `code` (with `value`, its optarg); false after a usage error.
bool take(const std::string& command, int code, const char* value, CommandLine& line) {
    switch (code) {
    case 'h':
        line.m_help = true;
        break;
    case 'e':
        if (!*value) {
            usageError(command, "option --encoding needs a code page name");
            return false;
        }
        line.m_encoding = value;
        break;
    case 'l':
        line.m_longForm = true;
        break;
    case '0':
        line.m_null = true;
        break;
    case kJson:
        line.m_json = true;
        break;
    case 'C':
        line.m_directory = value;
        break;
    case 'q':
        line.m_quiet = true;
        break;
    case 'p':
        line.m_fullPaths = true;
        break;
    case 'k':
        line.m_existing = CommandLine::Existing::Keep;
        break;
    case kOverwrite:
        line.m_existing = CommandLine::Existing::Overwrite;
        break;
    case 'O':
        line.m_toStdout = true;
        break;
    case kExclude:
        line.m_excludes.push_back(value);
        break;
    case kSlash:
        line.m_slashLiteral = true;
        break;
    case 'v':
        line.m_verbose = true;
        break;
    case kSkipUnfit:
        line.m_skipUnfit = true;
        break;
    case 'f':
        line.m_foreground = true;
        break;
    case kConvert:
        line.m_convert = true;
        break;
    case 'n':
        line.m_dryRun = true;
        break;
    case kTo:
        line.m_toFolder = value;
        break;
    case kDelete:
        line.m_deleteMissing = true;
        break;
    }
    return true;
}

} // namespace

bool parseOptions(const Command& command, std::vector<std::string> args, CommandLine& line) {
    std::vector<option> longs;
    std::string shorts;
    optionsOf(command.m_options, longs, shorts);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());
    line.m_encoding = NameCodec::kDefault;
    opterr = 0;
    optind = 0; // from the start, on the command's own arguments (argv[0] is the command)
    for (int code; (code = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), nullptr)) != -1;) {
        // getopt_long reorders argv (options first), so the argument just read is looked up there.
        const std::string arg = optind >= 1 && optind <= argc ? argv[static_cast<size_t>(optind - 1)] : "";
        const bool isLong = arg.rfind("--", 0) == 0;
        const std::string name = isLong ? arg.substr(0, arg.find('=')) : "-" + std::string(1, char(optopt));
        if (code == ':') {
            usageError(command.m_name, "option '" + name + "' needs a value");
            return false;
        }
        if (code == '?') {
            // A known long option given a value it does not take keeps its code in optopt.
            usageError(command.m_name, isLong && optopt
                                           ? "option '" + name + "' takes no value"
                                           : std::string(command.m_name) + " takes no option '" + name + "'");
            return false;
        }
        if (!take(command.m_name, code, optarg, line))
            return false;
    }
    for (int i = optind; i < argc; ++i)
        line.m_operands.push_back(argv[static_cast<size_t>(i)]);
    if (line.m_null + line.m_json + line.m_longForm > 1) {
        usageError(command.m_name, "--long, --null and --json go one at a time");
        return false;
    }
    return true;
}

} // namespace vorpex
