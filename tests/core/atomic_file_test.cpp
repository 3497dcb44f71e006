#include "core/atomic_file.h"

#include <stdexcept>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/text_files.h"
#include "core/xml_meta.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool writeText(std::ostream& out, const std::string& text) {
    out << text;
    return static_cast<bool>(out);
}

TEST(AtomicFile, WritesThroughATempFileBesideTheTarget) {
    test::TempDir dir;
    auto target = dir / "data.xml";
    const std::string tempPrefix = "data.xml.tmp-" + std::to_string(::getpid()) + "-";
    struct Case {
        const char* name;
        bool targetExists;
    };
    for (const Case& item : {Case{"new target", false}, Case{"existing target", true}}) {
        SCOPED_TRACE(item.name);
        std::filesystem::remove(target);
        if (item.targetExists) {
            test::writeFileBytes(target, "old bytes that are longer than the new ones");
        }
        std::vector<std::string> seenWhileWriting;
        bool ok = writeFileAtomically(target, [&](std::ostream& out) {
            seenWhileWriting = folderNames(dir.path());
            return writeText(out, "new");
        });
        EXPECT_TRUE(ok);
        EXPECT_EQ(test::readFileBytes(target), "new");
        EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"data.xml"});
        const std::size_t expectedEntries = item.targetExists ? 2 : 1;
        ASSERT_EQ(seenWhileWriting.size(), expectedEntries);
        const std::string& tempName = seenWhileWriting.back();
        EXPECT_EQ(tempName.rfind(tempPrefix, 0), 0u) << tempName;
        EXPECT_NE(tempName.find_first_of("0123456789", tempPrefix.size()), std::string::npos) << tempName;
    }
}

TEST(AtomicFile, FailuresLeaveTheOldBytesAndNoTempFile) {
    test::TempDir dir;
    const std::string oldBytes = "old\r\ncontent\n";
    struct Case {
        const char* name;
        std::function<bool(std::ostream&)> write;
    };
    const std::vector<Case> cases = {
        {"writer fails halfway", [](std::ostream& out) { return writeText(out, "half of it") && false; }},
        {"writer puts the stream into a failed state",
         [](std::ostream& out) {
             out.setstate(std::ios::failbit);
             return true;
         }},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        auto target = dir / "keep.txt";
        test::writeFileBytes(target, oldBytes);
        EXPECT_FALSE(writeFileAtomically(target, item.write));
        EXPECT_EQ(test::readFileBytes(target), oldBytes);
        EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"keep.txt"});
    }
}

TEST(AtomicFile, WriterExceptionPassesOnAndCleansUp) {
    test::TempDir dir;
    auto target = dir / "keep.txt";
    test::writeFileBytes(target, "old");
    EXPECT_THROW(writeFileAtomically(target,
                                     [](std::ostream& out) -> bool {
                                         out << "partial";
                                         throw std::runtime_error("writer broke");
                                     }),
                 std::runtime_error);
    EXPECT_EQ(test::readFileBytes(target), "old");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"keep.txt"});
}

TEST(AtomicFile, TargetsThatCannotBeWritten) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    test::writeFileBytes(dir / "folder" / "inside.txt", "x");
    struct Case {
        const char* name;
        std::filesystem::path target;
    };
    const std::vector<Case> cases = {
        {"target in a missing folder", dir / "missing" / "out.txt"},
        {"target is a folder that holds a file", dir / "folder"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        EXPECT_FALSE(writeFileAtomically(item.target, [](std::ostream& out) { return writeText(out, "x"); }));
        EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"folder"});
        EXPECT_EQ(folderNames(dir / "folder"), std::vector<std::string>{"inside.txt"});
    }
}

// Temp files a killed writer left: those of the target whose process no longer runs go at the next write.
TEST(AtomicFile, LeftoverTempFilesOfEndedWritersAreRemoved) {
    test::TempDir dir;
    const std::string ended = std::to_string(test::endedProcessId());
    struct Case {
        std::string name;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"parameters.xml.tmp-" + ended + "-1", false},
        {"parameters.xml.tmp-" + ended + "-27", false},
        {"parameters.xml.tmp-" + std::to_string(::getpid()) + "-1", true}, // this process's own
        {"parameters.xml.tmp-1-1", true},                                  // a process that runs
        {"other.xml.tmp-" + ended + "-1", true},
        {"parameters.xml.tmp-" + ended + "-x", true},
        {"parameters.xml.tmp-" + ended, true},
        {"parameters.xml.tmp--1", true},
    };
    for (const Case& c : cases) {
        test::writeFileBytes(dir / c.name, "left");
    }
    EXPECT_TRUE(
        writeFileAtomically(dir / "parameters.xml", [](std::ostream& out) { return writeText(out, "new"); }));
    EXPECT_EQ(test::readFileBytes(dir / "parameters.xml"), "new");
    for (const Case& c : cases) {
        EXPECT_EQ(std::filesystem::exists(dir / c.name), c.kept) << c.name;
    }
}

// Two processes write the same target at once: the second's write leaves the first one's temp file alone,
// and the first one's rename still succeeds.
TEST(AtomicFile, TwoWritersOfOneTarget) {
    test::TempDir dir;
    const auto target = dir / "parameters.xml";
    int started[2];
    int go[2];
    ASSERT_EQ(::pipe(started), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool ok = writeFileAtomically(target, [&](std::ostream& out) {
            char byte = 's';
            bool told = ::write(started[1], &byte, 1) == 1 && ::read(go[0], &byte, 1) == 1;
            return told && writeText(out, "first");
        });
        ::_exit(ok ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(::read(started[0], &byte, 1), 1);
    const std::vector<std::string> whileWriting = folderNames(dir.path());
    ASSERT_EQ(whileWriting.size(), 1U);
    const std::string childTemp = whileWriting.front();
    EXPECT_TRUE(childTemp.starts_with("parameters.xml.tmp-" + std::to_string(child) + "-")) << childTemp;
    EXPECT_TRUE(writeFileAtomically(target, [](std::ostream& out) { return writeText(out, "second"); }));
    EXPECT_TRUE(std::filesystem::exists(dir / childTemp)) << "a running writer's temp file was removed";
    ASSERT_EQ(::write(go[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(test::readFileBytes(target), "first");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"parameters.xml"});
    for (int fd : {started[0], started[1], go[0], go[1]}) {
        ::close(fd);
    }
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissionBits) {
    test::TempDir dir;
    auto target = dir / "private.txt";
    test::writeFileBytes(target, "old");
    std::filesystem::permissions(target,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(writeFileAtomically(target, [](std::ostream& out) { return writeText(out, "new"); }));
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A full disk, made real with a file-size limit in a child process: root ignores permission bits, not
// RLIMIT_FSIZE. Every writer of the program must say false and keep the old file.
TEST(AtomicFile, FullDiskThroughEveryWriter) {
    const std::string big(4096, 'x');
    struct Case {
        const char* name;
        std::function<bool(const std::filesystem::path&)> write;
    };
    const std::vector<Case> cases = {
        {"writeFileAtomically",
         [&](auto& f) { return writeFileAtomically(f, [&](std::ostream& o) { return writeText(o, big); }); }},
        {"gf_writeFile", [&](auto& f) { return gf_writeFile(big, f); }},
        {"gf_writeLinesToFile",
         [&](auto& f) {
             return gf_writeLinesToFile({big, big}, f);
         }},
        {"gf_addXmlDeclaration",
         [&](auto& f) {
             pugi::xml_document document;
             document.append_child("root").append_child(pugi::node_pcdata).set_value(big.c_str());
             return gf_addXmlDeclaration(document, f);
         }},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        test::TempDir dir;
        auto target = dir / "old.txt";
        const std::string oldBytes = "old bytes\n";
        test::writeFileBytes(target, oldBytes);
        EXPECT_EQ(test::runWithFileSizeLimit(1024, [&] { return item.write(target); }), false)
            << "the writer reported success";
        EXPECT_EQ(test::readFileBytes(target), oldBytes);
        EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"old.txt"});
    }
}

} // namespace
} // namespace zeph
