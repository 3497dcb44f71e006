#include "core/zip_archive.h"

#include <string>

#include <gtest/gtest.h>
#include <zip.h>

#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace zeph {
namespace {

// What the wrapper writes, libzip reads back; what libzip wrote, the wrapper reads in chunks, and a damaged
// entry gives libzip's error instead of its bytes.
TEST(ZipArchive, WritesReadsAndReportsDamage) {
    const test::TempDir temp;
    const std::string first(70000, 'a'), second = "second";
    {
        ZipArchive archive;
        ASSERT_TRUE(archive.create(temp / "w.zip"));
        ASSERT_TRUE(archive.addData("one.xml", first));
        ASSERT_TRUE(archive.addData("two.xml", second));
        ASSERT_EQ(archive.close(), 0);
    }
    ZipArchive reader;
    ASSERT_TRUE(reader.openRead(temp / "w.zip", true));
    const auto entries = reader.entries();
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[1].name, "two.xml");
    EXPECT_EQ(entries[0].size, first.size());
    std::string read;
    int chunks = 0;
    EXPECT_EQ(reader.readContent(entries[0].index, 4096,
                                 [&](std::span<const char> bytes) {
                                     read.append(bytes.data(), bytes.size());
                                     ++chunks;
                                     return true;
                                 }),
              0);
    EXPECT_EQ(read, first);
    EXPECT_GT(chunks, 1);
    EXPECT_EQ(reader.readContent(entries[1].index, 4096, [](std::span<const char>) { return false; }),
              ZIP_ER_WRITE);

    test::writeZip(temp / "d.zip", {{"x", "stored bytes that will be damaged"}});
    std::string bytes = test::readFileBytes(temp / "d.zip");
    bytes[30 + 1 + 2] = static_cast<char>(~bytes[30 + 1 + 2]);
    test::writeFileBytes(temp / "d.zip", bytes);
    ZipArchive damaged;
    ASSERT_TRUE(damaged.openRead(temp / "d.zip", true));
    EXPECT_NE(damaged.readContent(0, 4096, [](std::span<const char>) { return true; }), 0);
    EXPECT_FALSE(ZipArchive().openRead(temp / "missing.zip", false));
}

} // namespace
} // namespace zeph
