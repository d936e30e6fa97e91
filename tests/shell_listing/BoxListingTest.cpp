// The box listing against a real Boxes folder (under Wine in the test run).
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/BoxListing.h"

namespace {

namespace fs = std::filesystem;

// A program folder of our own with a Boxes folder, and a hidden window
// to own the lists.
class BoxListing : public testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("box listing " + std::to_string(GetCurrentProcessId()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Boxes");
        m_owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        m_visible = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 0, 0, m_owner, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_owner);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    std::string Folder() const { return m_root.string() + "\\"; }
    void Touch(const std::string& name) const
    {
        const std::string path = (m_root / "Boxes" / name).string();
        CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    static std::vector<std::string> Items(HWND list)
    {
        std::vector<std::string> items;
        for (int i = 0; i < static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); ++i)
            items.push_back(ListBoxText(list, i));
        return items;
    }

    fs::path m_root;
    HWND m_owner = nullptr;
    HWND m_visible = nullptr;
};

TEST_F(BoxListing, ScratchEntriesStayAlignedWithTheDisplayNames)
{
    Touch("my site.exe");
    Touch("PAGES.EXE");
    Touch("notes.txt");
    fs::create_directories(m_root / "Boxes" / "folder.exe");

    HWND scratch = EnumerateBoxesIn(m_owner, m_visible, Folder());
    ASSERT_NE(scratch, nullptr);
    EXPECT_FALSE(IsWindowVisible(scratch));
    const std::vector<std::string> shown = Items(m_visible);
    const std::vector<std::string> files = Items(scratch);
    // The folder is no box: gone from both lists, so the count is the boxes'.
    ASSERT_EQ(shown.size(), 2u);
    ASSERT_EQ(files.size(), 2u);
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(BoxLongFileName(Folder(), files[i]).substr(0, shown[i].size()), shown[i]) << i;
    EXPECT_EQ(shown, (std::vector<std::string>{"my site", "PAGES"}));
}

TEST_F(BoxListing, ShortNamesLeadToTheLongFileName)
{
    Touch("my long site name.exe");
    char shortPath[MAX_PATH] = "";
    const std::string longPath = (m_root / "Boxes" / "my long site name.exe").string();
    ASSERT_GT(GetShortPathNameA(longPath.c_str(), shortPath, sizeof shortPath), 0u);
    const std::string shortName = fs::path(shortPath).filename().string();
    ASSERT_NE(shortName, "my long site name.exe") << "no 8.3 name here";
    // An engine started by the short name would take that for its box name.
    EXPECT_EQ(BoxLongFileName(Folder(), shortName), "my long site name.exe");
    EXPECT_EQ(BoxLongFileName(Folder(), "[folder.exe]"), "");
    EXPECT_EQ(BoxLongFileName(Folder(), "gone.exe"), "");
}

TEST_F(BoxListing, NoBoxesFolderListsNothingAndKeepsTheCurrentDirectory)
{
    fs::remove_all(m_root / "Boxes");
    char before[MAX_PATH] = "", after[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof before, before);
    HWND scratch = EnumerateBoxesIn(m_owner, m_visible, Folder());
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(SendMessageA(scratch, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(m_visible, LB_GETCOUNT, 0, 0), 0);
    // Programs the launcher starts inherit its current directory.
    fs::create_directories(m_root / "Boxes");
    Touch("x.exe");
    DestroyWindow(EnumerateBoxesIn(m_owner, m_visible, Folder()));
    GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(before, after);
}

}  // namespace
