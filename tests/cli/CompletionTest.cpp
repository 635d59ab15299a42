// Tab completion of vorpex-cli in a real bash, with bash-completion's helpers and the built program, on an
// archive whose names are hostile to a shell: what completion offers is read back by the shell as exactly
// the path `list` prints, and nothing named in the archive ever runs or is globbed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/CliRunner.h"

namespace vorpex {

namespace {

using Paths = std::set<std::string>;

// One Tab: the line without the text completion replaces (with the quote that opens it, if any), that text
// (the rest of the line up to the cursor), what closes it (readline closes an open quote after the one
// candidate), and what the shell passes as the completed word for each candidate.
struct Tab {
    std::string m_before, m_word, m_after;
    Paths m_expected;
};

const char* const kDriver = R"(source /usr/share/bash-completion/bash_completion
source "$1"
compopt() { :; } # only works inside a real completion
while IFS=$'\t' read -r line before after; do
    COMP_LINE=$line COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line != *" " ]] || COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vorpex_cli vorpex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "-- $line"
    for reply in "${COMPREPLY[@]}"; do
        # Readline adds the closing quote unless the text ends in that character.
        close=$after
        [[ $reply != *"$after" ]] || close=""
        eval "set -- $before$reply$close" # the line as Enter hands it to the shell
        printf '%s\n' "${@: -1}"
    done
done <cases
)";

TEST(CompletionTest, CandidatesAreQuotedSoThatTheShellReadsBackExactlyThePath) {
    if (access("/usr/share/bash-completion/bash_completion", R_OK) != 0)
        GTEST_SKIP() << "bash-completion is not installed";
    TempDir dir;
    const std::vector<std::string> hostile = {
        "$(touch pwned)", "`touch pwned`", "*",     "[ab]",  "a b",    "it's", "say \"hi\"", "!x",
        "~root",          "back\\slash",   "a=b:c", "$HOME", "caf\xE9"};
    std::vector<Node> files;
    for (const std::string& name : hostile)
        files.push_back(fileNode(name, "x"));
    files.push_back(folderNode("sub dir", {fileNode("f")}));
    const std::string archive = buildArchive({folderNode("D", files)});
    writeFileBytes(dir / "a b.dir", archive);
    mkdir((dir / "home").c_str(), 0755);
    writeFileBytes(dir / "home/x.dir", archive);
    // What an unquoted pattern would match instead.
    mkdir((dir / "D").c_str(), 0755);
    for (const char* name : {"D/a", "D/b", "D/mine"})
        writeFileBytes(dir / name, "");

    Paths level; // what `list` prints one level below D/
    for (const std::string& line : runCli({"list", dir / "a b.dir"}).m_outLines)
        if (line.rfind("D/", 0) == 0 && line != "D/" && line.find('/', 2) >= line.size() - 1)
            level.insert(line);
    ASSERT_EQ(level.size(), hostile.size() + 1);
    EXPECT_TRUE(level.count("D/back\\x5Cslash") && level.count("D/caf\xC3\xA9") && level.count("D/sub dir/"));

    const std::string ex = "vorpex-cli extract ", plain = ex + dir / "home/x.dir" + " ";
    const std::vector<Tab> tabs = {
        {plain, "D/", "", level},
        {ex + "'a b.dir' ", "D/", "", level},
        {ex + "a\\ b.dir ", "D/\\$", "", {"D/$(touch pwned)", "D/$HOME"}},
        {ex + "~/x.dir '", "D/it", "'", {"D/it's"}},
        {ex + "\"a b.dir\" \"", "D/s", "\"", {"D/say \"hi\"", "D/sub dir/"}},
        {ex + "-e CP1252 a\\ b.dir \"", "D/!", "\"", {"D/!x"}},
        // Readline replaces only what follows an unquoted '=' or ':'.
        {ex + "a\\ b.dir D/a=", "", "", {"D/a=b:c"}},
        {"vorpex-cli ", "unm", "", {"unmount"}},
    };
    std::string cases;
    for (const Tab& tab : tabs)
        cases += tab.m_before + tab.m_word + "\t" + tab.m_before + "\t" + tab.m_after + "\n";
    writeFileBytes(dir / "cases", cases);
    writeFileBytes(dir / "driver.sh", kDriver);
    const std::string cli = VORPEX_CLI_PATH, bin = cli.substr(0, cli.rfind('/'));
    const std::string command = "cd '" + dir.path() + "' && HOME='" + dir / "home" + "' PATH='" + bin +
                                "':\"$PATH\" bash driver.sh '" VORPEX_COMPLETION_PATH "' >out 2>err";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFileBytes(dir / "err");

    std::vector<Paths> got;
    for (const std::string& line : splitLines(readFileBytes(dir / "out"))) {
        if (line.rfind("-- ", 0) == 0)
            got.emplace_back();
        else if (!got.empty())
            got.back().insert(line);
    }
    ASSERT_EQ(got.size(), tabs.size());
    for (size_t i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(got[i], tabs[i].m_expected) << tabs[i].m_before + tabs[i].m_word;
    EXPECT_EQ(listTree(dir.path()),
              (std::vector<std::string>{"D/", "D/a", "D/b", "D/mine", "a b.dir", "cases", "driver.sh", "err",
                                        "home/", "home/x.dir", "out"}));
}

} // namespace

} // namespace vorpex
