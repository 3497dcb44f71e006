#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gen/livery_tree.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zeph::test::readFileBytes;
using zeph::test::TempDir;
using zeph::test::writeFileBytes;

const std::string kGood =
    R"({"folder": "Sample A320 KLM", "type": "A320", "airline": "KLM", "title": "Sample A320 KLM"})";

TEST(LiveryList, BadListsNameTheItemAndWriteNothing) {
    struct Case {
        std::string list;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"[]", "list.json: not a JSON object with a \"liveries\" list"},
        {R"({"liveries": [)" + kGood + R"(, {"folder": "B", "type": "B738", "airline": "KLM"}]})",
         "list.json: item 2: no \"title\""},
        {R"({"liveries": [{"folder": "../up", "type": "B738", "airline": "KLM", "title": "T"}]})",
         "list.json: item 1: folder \"../up\" is not one new plain name"},
        {R"({"liveries": [)" + kGood + "," + kGood + "]}",
         "list.json: item 2: folder \"Sample A320 KLM\" is not one new plain name"},
        {R"({"liveries": [{"folder": "C", "type": 7, "airline": "KLM", "title": "T"}]})",
         "list.json: item 1: \"type\" is not a text"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeFileBytes(dir / "list.json", c.list);
        try {
            zeph::gen::writeLiveryList(dir / "list.json", dir / "tree");
            ADD_FAILURE() << c.list << ": no error";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(e.what(), c.message) << c.list;
        }
        EXPECT_FALSE(fs::exists(dir / "tree")) << c.list;
    }
}

TEST(LiveryList, SampleListGivesOneCompleteFolderPerLivery) {
    TempDir dir;
    zeph::gen::writeLiveryList(fs::path(CORVANE_SOURCE_DIR) / "data/liveries/sample.json", dir / "tree");
    int folders = 0;
    for (const auto& entry : fs::directory_iterator(dir / "tree")) {
        ++folders;
        EXPECT_TRUE(fs::is_regular_file(entry.path() / "aircraft.cfg")) << entry.path();
        EXPECT_TRUE(fs::is_directory(entry.path() / "model")) << entry.path();
    }
    EXPECT_EQ(folders, 12);
    const std::string ups = readFileBytes(dir / "tree" / "Sample B763 UPS" / "aircraft.cfg");
    EXPECT_NE(ups.find("title=Sample B763 UPS\r\n"), std::string::npos);
    EXPECT_NE(ups.find("atc_parking_types=CARGO\r\n"), std::string::npos);
}

} // namespace
