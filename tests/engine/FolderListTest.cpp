// The "/b" folder list against a real file system (under Wine in the test run).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "engine/EngineStartup.h"
#include "engine/PathList.h"

namespace {

std::string TempRoot()
{
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    std::string root = std::string(tmp) + "sendora-folderlist-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(root.c_str(), nullptr);
    return root;
}

void Touch(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    CloseHandle(h);
}

TEST(FolderList, ListsFilesAndSubfoldersOfTheNamedFolder)
{
    const std::string root = TempRoot();
    const std::string dir = root + "Incoming\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    Touch(dir + "a.txt");
    Touch(dir + "with space.bin");
    CreateDirectoryA((dir + "sub").c_str(), nullptr);

    std::string list;
    ASSERT_TRUE(BuildFolderPathList(root, "Incoming", list));
    std::set<std::string> got;
    for (size_t i = 0; i < CountPaths(list); ++i)
        got.insert(PathAt(list, i));
    EXPECT_EQ(got, (std::set<std::string>{dir + "a.txt", dir + "with space.bin", dir + "sub"}));
}

TEST(FolderList, MissingOrEmptyFolders)
{
    const std::string root = TempRoot();
    std::string list = "untouched";
    EXPECT_FALSE(BuildFolderPathList(root, "NoSuchFolder", list));
    CreateDirectoryA((root + "Empty").c_str(), nullptr);
    // An empty folder still lists "." and "..": an empty path list, not a failure.
    EXPECT_TRUE(BuildFolderPathList(root, "Empty", list));
    EXPECT_EQ(list, "");
}

TEST(FolderList, AFolderBeyondSixtyFourKilobytesIsListedWhole)
{
    const std::string root = TempRoot();
    const std::string dir = root + "Big\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    const int count = 700;
    const std::string pad(100, 'x');
    for (int i = 0; i < count; ++i)
        Touch(dir + pad + std::to_string(i) + ".dat");
    std::string list;
    ASSERT_TRUE(BuildFolderPathList(root, "Big", list));
    EXPECT_GT(list.size(), 65536u);
    EXPECT_EQ(CountPaths(list), static_cast<size_t>(count));
}

}  // namespace
