#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveWriter.h"
#include "writer/ReplacingFile.h"

namespace vorpex {

namespace {

using Lines = std::vector<std::string>;
using Status = ArchiveWriter::Status;

ArchiveNode bytes(std::string name, std::string_view bytes) {
    return ArchiveNode::file(std::move(name), bytes.size(), DataSource::bytes(bytes));
}

std::string written(ArchiveNode& root, const LayoutOptions& options = {}) {
    const ArchiveLayout layout(root, options);
    std::string out;
    EXPECT_TRUE(ArchiveWriter().write(layout, out).ok());
    EXPECT_EQ(out.size(), layout.size());
    return out;
}

// The format's example, placed record by record, is what the test builder lays out through the writer;
// with pack's alignment a file of a block or more starts on a block boundary, zeros before it, and a smaller
// one follows the last without a gap.
TEST(ArchiveLayout, ListsComeFirstThenTheDataInWalkOrderAlignedAsAsked) {
    const std::string example = RawArchive()
                                    .folder(0, "DATA", 88)
                                    .end(44)
                                    .file(88, "README.TXT", 5, 308)
                                    .folder(132, "MAPS", 220)
                                    .end(176)
                                    .file(220, "M1.MAP", 3, 313)
                                    .end(264)
                                    .bytes(308, "hello")
                                    .bytes(313, "abc")
                                    .str();
    EXPECT_EQ(buildArchive({folderNode("DATA", {fileNode("README.TXT", "hello"),
                                                folderNode("MAPS", {fileNode("M1.MAP", "abc")})})}),
              example);

    const std::string a(10, 'a'), b(4096, 'b'), c(4095, 'c'), d(5000, 'd');
    ArchiveNode root = ArchiveNode::folder(
        {}, {ArchiveNode::folder("F", {bytes("a", a), ArchiveNode::folder("S", {bytes("d", d)}),
                                       bytes("b", b), bytes("e", b), bytes("c", c)})});
    const std::string out = written(root, {.m_alignment = 4096});
    const std::vector<ArchiveNode>& f = root.m_children[0].m_children;
    // The lists: the top-level one (2 records), F's (6), S's (2). "e" starts where "b" ends, on a boundary.
    EXPECT_EQ(root.m_children[0].m_offset, 88u);
    EXPECT_EQ(f[1].m_offset, 352u);
    const std::vector<const ArchiveNode*> files = {&f[0], &f[1].m_children[0], &f[2], &f[3], &f[4]};
    std::vector<uint64_t> offsets;
    for (const ArchiveNode* file : files) {
        offsets.push_back(file->m_offset);
        EXPECT_EQ(out.substr(file->m_offset, file->m_size), file->m_source.bytes()) << file->m_name;
    }
    EXPECT_EQ(offsets, std::vector<uint64_t>({440, 4096, 12288, 16384, 20480}));
    EXPECT_EQ(out.size(), 20480u + 4095);
    EXPECT_EQ(out.substr(450, 4096 - 450), std::string(4096 - 450, '\0'));
    EXPECT_EQ(out.substr(9096, 12288 - 9096), std::string(12288 - 9096, '\0'));
}

// Data with a place to keep stays there while the lists end before it, and moves by whole blocks when they
// grow into it; new data follows the kept.
TEST(ArchiveLayout, KeptDataStaysWithinItsBlocks) {
    for (const size_t added : {0, 100}) {
        std::vector<ArchiveNode> files(added, bytes("NEW", ""));
        files.push_back(ArchiveNode::file("LATE", 100, DataSource::range(-1, 0)));
        files.back().m_keepAt = 8192 + 7;
        files.push_back(ArchiveNode::file("EARLY", 50, DataSource::range(-1, 0)));
        files.back().m_keepAt = 4096;
        files.push_back(bytes("ADDED", "x"));
        ArchiveNode root = ArchiveNode::folder({}, {ArchiveNode::folder("D", std::move(files))});
        const ArchiveLayout layout(root);
        const uint64_t shift = added ? 4096 : 0; // the lists end at 4,664 bytes with the hundred
        const std::vector<ArchiveNode>& d = root.m_children[0].m_children;
        EXPECT_EQ(d[added].m_offset, 8192 + 7 + shift);
        EXPECT_EQ(d[added + 1].m_offset, 4096 + shift);
        EXPECT_EQ(d[added + 2].m_offset, 8192 + 7 + 100 + shift);
        EXPECT_EQ(layout.files().front(), &d[added + 1]);
    }
}

// Every limit is found before anything is written: a name past 32 bytes, a folder past 10 levels, data
// ending past 4 GiB (the first such file only); 32 bytes and 10 levels fit. The writer then writes nothing.
TEST(ArchiveLayout, EveryRefusalIsFoundBeforeWriting) {
    auto nest = [](int levels) {
        ArchiveNode deep = ArchiveNode::folder("L" + std::to_string(levels), {bytes("F", "f")});
        for (int level = levels - 1; level >= 1; --level)
            deep = ArchiveNode::folder("L" + std::to_string(level), {std::move(deep)});
        return deep;
    };
    const uint64_t gib = uint64_t(1) << 30;
    ArchiveNode root = ArchiveNode::folder(
        {}, {ArchiveNode::folder("A", {bytes(std::string(33, 'n'), ""), bytes(std::string(32, 'k'), "")}),
             nest(11), nest(10), ArchiveNode::file("BIG", 3 * gib, DataSource::range(-1, 0)),
             ArchiveNode::file("PAST", gib, DataSource::range(-1, 0)), bytes("AFTER", "a")});
    const ArchiveLayout layout(root);
    std::vector<std::pair<LayoutProblem::Kind, Lines>> found;
    for (const LayoutProblem& p : layout.problems())
        found.emplace_back(p.m_kind, Lines(p.m_path.begin(), p.m_path.end()));
    using K = LayoutProblem::Kind;
    EXPECT_EQ(found, (std::vector<std::pair<K, Lines>>{
                         {K::NameTooLong, {"A", std::string(33, 'n')}},
                         {K::TooDeep, {"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10", "L11"}},
                         {K::DataPast4GiB, {"PAST"}}}));

    TempDir dir;
    const FileDescriptor out(open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    EXPECT_EQ(ArchiveWriter().write(layout, out.get()).m_status, Status::DoesNotFit);
    EXPECT_EQ(std::filesystem::file_size(dir / "out"), 0u);
}

// Each source gives its bytes: a file below the source folder, bytes in memory, a range of an existing
// archive's descriptor. A link on the way to a file, or a file that is no longer the size described, stops
// the writing and says which.
TEST(ArchiveWriter, TakesBytesFromDiskMemoryAndAnArchive) {
    TempDir dir;
    std::filesystem::create_directories(dir / "src/sub");
    writeFileBytes(dir / "src/sub/f", "disk bytes");
    writeFileBytes(dir / "old.dir", buildArchive({folderNode("D", {fileNode("X", "old data")})}));
    const FileDescriptor source(open((dir / "src").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const FileDescriptor old(open((dir / "old.dir").c_str(), O_RDONLY | O_CLOEXEC));
    auto tree = [&](std::string path, uint64_t size) {
        return ArchiveNode::folder(
            {}, {ArchiveNode::folder("N", {ArchiveNode::file("DISK", size, DataSource::file(std::move(path))),
                                           bytes("MEM", "memory"),
                                           ArchiveNode::file("OLD", 8, DataSource::range(old.get(), 176))})});
    };
    auto write = [&](ArchiveNode root, std::string* out = nullptr) {
        ArchiveWriter writer;
        writer.setSourceFolder(source.get());
        std::string bytes;
        const ArchiveWriter::Result result = writer.write(ArchiveLayout(root), out ? *out : bytes);
        return std::make_tuple(result.m_status, result.m_error, result.m_folder);
    };
    std::string out;
    EXPECT_EQ(write(tree("sub/f", 10), &out), std::make_tuple(Status::Written, 0, std::string()));
    EXPECT_EQ(out, buildArchive({folderNode("N", {fileNode("DISK", "disk bytes"), fileNode("MEM", "memory"),
                                                  fileNode("OLD", "old data")})}));

    EXPECT_EQ(write(tree("sub/f", 11)), std::make_tuple(Status::SourceChanged, 0, std::string()));
    ASSERT_EQ(symlink("sub/f", (dir / "src/link").c_str()) + symlink("sub", (dir / "src/sublink").c_str()),
              0);
    EXPECT_EQ(write(tree("link", 10)), std::make_tuple(Status::FileNotOpened, ELOOP, std::string()));
    EXPECT_EQ(write(tree("sublink/f", 10)),
              std::make_tuple(Status::FolderNotOpened, ENOTDIR, std::string("sublink")));
}

// A failure or a cancel midway leaves the old archive as it was and nothing beside it, with unnamed files
// and with named temporaries; a commit replaces it whole, with its permission bits.
TEST(ReplacingFile, FailureOrCancelLeavesTheTargetAndACommitKeepsItsMode) {
    TempDir src;
    const std::string big(3 * FileCopy::kPiece, 'b');
    writeFileBytes(src / "big", big);
    const FileDescriptor in(open((src / "big").c_str(), O_RDONLY | O_CLOEXEC));
    for (const bool unnamed : {true, false}) {
        TempDir dir;
        const std::string target = dir / "game.dir";
        writeFileBytes(target, "old");
        ASSERT_EQ(chmod(target.c_str(), 0640), 0);
        // A source that ends early, a cancel after the first piece, then the whole.
        for (const auto& [size, cancel] : std::vector<std::pair<uint64_t, bool>>{
                 {big.size() + 1, false}, {big.size(), true}, {big.size(), false}}) {
            ArchiveNode root =
                ArchiveNode::folder({}, {ArchiveNode::file("BIG", size, DataSource::range(in.get(), 0))});
            ReplacingFile out(target);
            out.setUnnamedFiles(unnamed);
            ASSERT_EQ(out.open(), ReplacingFile::Status::Ok);
            int asked = 0;
            ArchiveWriter writer;
            writer.setCancelCheck([&] { return cancel && ++asked > 2; }); // before the file, then each piece
            const Status written = writer.write(ArchiveLayout(root), out.fd()).m_status;
            if (written == Status::Written) {
                ASSERT_EQ(out.commit(), ReplacingFile::Status::Ok);
                EXPECT_EQ(readFileBytes(target).substr(88), big);
                EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
            } else {
                EXPECT_EQ(written, cancel ? Status::Cancelled : Status::SourceChanged);
                out.discard();
                EXPECT_EQ(readFileBytes(target), "old");
            }
            EXPECT_EQ(listTree(dir.path()), Lines{"game.dir"}) << unnamed;
        }
    }
}

// Only a regular file the user may write to is replaced; a link is refused, or followed on request (the
// link stays a link); a file changed since it was read is not replaced; a new file gets 0666 less the umask.
TEST(ReplacingFile, TargetRules) {
    TempDir dir;
    const std::string real = dir / "real.dir", link = dir / "link.dir", fresh = dir / "new.dir";
    writeFileBytes(real, "old");
    ASSERT_EQ(symlink("real.dir", link.c_str()), 0);
    auto replace = [](const std::string& target, bool follow, const struct stat* expected = nullptr) {
        ReplacingFile out(target);
        out.setFollowLink(follow);
        if (expected)
            out.setExpected(*expected);
        ReplacingFile::Status status = out.open();
        if (status == ReplacingFile::Status::Ok && writeAll(out.fd(), "new", 3))
            status = out.commit();
        return status;
    };
    EXPECT_EQ(replace(link, false), ReplacingFile::Status::Refused);
    EXPECT_EQ(replace(dir.path(), false), ReplacingFile::Status::Refused);
    EXPECT_EQ(replace(link, true), ReplacingFile::Status::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFileBytes(real), "new");

    struct stat before {};
    ASSERT_EQ(stat(real.c_str(), &before), 0);
    writeFileBytes(real, "changed");
    EXPECT_EQ(replace(real, false, &before), ReplacingFile::Status::Changed);
    EXPECT_EQ(readFileBytes(real), "changed");

    const mode_t mask = umask(022);
    EXPECT_EQ(replace(fresh, false), ReplacingFile::Status::Ok);
    umask(mask);
    EXPECT_EQ(std::filesystem::status(fresh).permissions(), std::filesystem::perms(0644));
    EXPECT_EQ(listTree(dir.path()), (Lines{"link.dir", "new.dir", "real.dir"}));
}

} // namespace

} // namespace vorpex
