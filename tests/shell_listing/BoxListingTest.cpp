// Short names from the directory fill, against a real folder (under Wine in
// the test run); the rest of the listing is seen through the programs.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "shell/BoxListing.h"

namespace {

namespace fs = std::filesystem;

TEST(BoxListing, ShortNamesLeadToTheLongFileName)
{
    const fs::path root = fs::temp_directory_path() / ("box listing " + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root / "Boxes" / "folder.exe");
    const std::string box = (root / "Boxes" / "my long site name.exe").string();
    CloseHandle(CreateFileA(box.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::string folder = root.string() + "\\";

    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(box.c_str(), shortPath, sizeof shortPath), 0u);
    const std::string shortName = fs::path(shortPath).filename().string();
    EXPECT_NE(shortName, "my long site name.exe") << "no 8.3 name here";
    // An engine started by the short name would take that for its box name.
    EXPECT_EQ(BoxLongFileName(folder, shortName), "my long site name.exe");
    EXPECT_EQ(BoxLongFileName(folder, "[folder.exe]"), "");
    EXPECT_EQ(BoxLongFileName(folder, "folder.exe"), "");
    EXPECT_EQ(BoxLongFileName(folder, "gone.exe"), "");

    std::error_code ignored;
    fs::remove_all(root, ignored);
}

}  // namespace
