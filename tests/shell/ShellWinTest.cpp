// Shell folders and shortcut files against Wine's registry and shell links.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/shell/LinkReader.h"
#include "shell/ShellFolders.h"

namespace {

const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string RawShellFolder(const char* name)
{
    char buf[MAX_PATH] = "";
    DWORD size = sizeof buf;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return buf;
}

// Files of a folder as the file system spells them.
std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*.LNK").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return names;
}

// A fresh folder for the links and another one as current directory, so
// that the working directory a link records is known.
class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        root = std::string(temp) + "shell_win_test_" + std::to_string(GetCurrentProcessId());
        folder = root + "\\links";
        suite = root + "\\suite dir";
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA(suite.c_str(), nullptr);
        previous = CurrentDirectory();
        SetCurrentDirectoryA(suite.c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous.c_str());
        for (const std::string& name : FileNames(folder))
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
        RemoveDirectoryA(suite.c_str());
        RemoveDirectoryA(root.c_str());
    }
    ComScope com;
    std::string root, folder, suite, previous;
};

}  // namespace

TEST(ShellFolders, ValuesComeFromTheShellFoldersKeyAndMissingOnesAreNotFound)
{
    for (const char* name : {"Desktop", "SendTo", "Start Menu"}) {
        const std::string raw = RawShellFolder(name);
        ASSERT_FALSE(raw.empty()) << name;
        EXPECT_EQ(GetShellFolderPath(name), raw) << name;
    }
    EXPECT_EQ(GetShellFolderPath("No Such Suite Folder"), "Not Found");
}

TEST_F(Shortcuts, TheWholeNameUpperCasedRecordsTargetCurrentDirectoryAndNameAndIsReplaced)
{
    const std::string target = suite + "\\Boxes\\site.one.exe";
    EXPECT_EQ(CreateShortcut("C:\\old.exe", folder, "site.one", "Shell Test"), S_OK);
    EXPECT_EQ(CreateShortcut(target, folder, "site.one", "Shell Test"), S_OK);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"SITE.ONE.LNK"});
    LinkContents link;
    ASSERT_EQ(ReadShortcut(folder + "\\SITE.ONE.LNK", link), S_OK);
    EXPECT_EQ(link.path, target);
    EXPECT_EQ(link.workingDirectory, suite);
    EXPECT_EQ(link.description, "site.one");
    // Delete looks for "<alias>.lnk" as typed; the file system finds the link.
    EXPECT_TRUE(DeleteFileA((folder + "\\site.one.lnk").c_str()));
}

TEST(ShortcutsWithoutCom, AreSkippedWithTheFailureOfTheLinkObject)
{
    // No ComScope on this thread: nothing is written and nothing is shown
    // (a message box here would hang the test).
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const HRESULT hr = CreateShortcut("C:\\x.exe", temp, "shell_win_test no com", "Shell Test");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(GetFileAttributesA((std::string(temp) + "\\SHELL_WIN_TEST NO COM.LNK").c_str()), INVALID_FILE_ATTRIBUTES);
}
