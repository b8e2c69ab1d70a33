// The destination folder rules of the settings panel against a pretend file system.
#include "panels/InstallFolderRules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Folders and files by exact path; records what was created.
struct FakeFileSystem
{
    std::set<std::wstring> folders;
    std::set<std::wstring> files;
    std::set<std::wstring> refused; // creation of these fails
    std::vector<std::wstring> created;

    FolderSystem Ops()
    {
        FolderSystem ops;
        ops.exists = [this](const std::wstring& p) { return folders.count(p) || files.count(p); };
        ops.isFolder = [this](const std::wstring& p) { return folders.count(p) != 0; };
        ops.createFolder = [this](const std::wstring& p) {
            if (refused.count(p))
                return false;
            created.push_back(p);
            folders.insert(p);
            return true;
        };
        return ops;
    }
};

using Paths = std::vector<std::wstring>;

TEST(InstallFolderRules, BackslashRules)
{
    EXPECT_EQ(L"D:\\Apps\\New", DropFinalBackslash(L"D:\\Apps\\New\\"));
    EXPECT_EQ(L"C:", DropFinalBackslash(L"C:\\"));
    EXPECT_EQ(L"D:\\Apps\\", DropFinalBackslash(L"D:\\Apps\\\\")); // only one is dropped
    EXPECT_EQ(L"", DropFinalBackslash(L""));

    EXPECT_EQ(L"C:\\", TrimBrowseBackslash(L"C:\\"));       // a drive root keeps it
    EXPECT_EQ(L"\\", TrimBrowseBackslash(L"\\"));           // one character stays
    EXPECT_EQ(L"D:\\Apps", TrimBrowseBackslash(L"D:\\Apps\\"));
    EXPECT_EQ(L"D:\\Apps", TrimBrowseBackslash(L"D:\\Apps"));

    // A slash is a separator as a backslash is.
    EXPECT_EQ(L"D:/Apps", DropFinalBackslash(L"D:/Apps/"));
    EXPECT_EQ(L"C:/", TrimBrowseBackslash(L"C:/"));
    EXPECT_EQ(L"D:/Apps", TrimBrowseBackslash(L"D:/Apps/"));
    EXPECT_EQ(L"C:\\Apps\\New\\", WithBackslashes(L"C:/Apps\\New/"));
}

TEST(InstallFolderRules, FixedAndRelativeTexts)
{
    EXPECT_TRUE(IsFixedFolderPath(L"C:"));
    EXPECT_TRUE(IsFixedFolderPath(L"d:\\Apps"));
    EXPECT_TRUE(IsFixedFolderPath(L"\\\\server\\share"));
    EXPECT_TRUE(IsFixedFolderPath(L"\\Apps"));
    EXPECT_FALSE(IsFixedFolderPath(L""));
    EXPECT_FALSE(IsFixedFolderPath(L"Apps\\New"));
    EXPECT_FALSE(IsFixedFolderPath(L"..\\Apps"));
    EXPECT_FALSE(IsFixedFolderPath(L"C:Apps"));   // relative to C:'s current folder
    EXPECT_FALSE(IsFixedFolderPath(L"1:\\Apps")); // no drive letter
    EXPECT_TRUE(IsDriveRelativePath(L"C:Apps"));
    EXPECT_FALSE(IsDriveRelativePath(L"C:\\Apps"));
    EXPECT_FALSE(IsDriveRelativePath(L"C:"));
    // Slashes: absolute as Windows takes them.
    EXPECT_TRUE(IsFixedFolderPath(L"C:/Apps"));
    EXPECT_TRUE(IsFixedFolderPath(L"//server/share"));
    EXPECT_TRUE(IsFixedFolderPath(L"/Apps"));
    EXPECT_FALSE(IsDriveRelativePath(L"C:/Apps"));
    EXPECT_FALSE(IsFixedFolderPath(L"Apps/New"));
}

TEST(InstallFolderRules, LocalCreationSteps)
{
    EXPECT_EQ((Paths{L"D:\\Apps", L"D:\\Apps\\New"}), FolderCreationSteps(L"D:\\Apps\\New"));
    // Empty components (doubled backslashes) are skipped.
    EXPECT_EQ((Paths{L"D:\\Apps", L"D:\\Apps\\New"}), FolderCreationSteps(L"D:\\\\Apps\\New"));
    // A drive is never created.
    EXPECT_TRUE(FolderCreationSteps(L"C:").empty());
    // A leading backslash is kept on the first component.
    EXPECT_EQ((Paths{L"\\Apps", L"\\Apps\\New"}), FolderCreationSteps(L"\\Apps\\New"));
    // Slashes separate too; the steps are written with backslashes.
    EXPECT_EQ((Paths{L"D:\\Apps", L"D:\\Apps\\New"}), FolderCreationSteps(L"D:/Apps/New"));
    EXPECT_EQ((Paths{L"D:\\Apps", L"D:\\Apps\\New"}), FolderCreationSteps(L"D:\\Apps/New"));
}

TEST(InstallFolderRules, NetworkCreationStepsStartAtTheShare)
{
    EXPECT_EQ((Paths{L"\\\\server\\share", L"\\\\server\\share\\folder"}),
              FolderCreationSteps(L"\\\\server\\share\\folder"));
    EXPECT_EQ((Paths{L"\\\\server\\share", L"\\\\server\\share\\folder"}),
              FolderCreationSteps(L"//server/share/folder"));
    // Only the server: nothing can be created.
    EXPECT_TRUE(FolderCreationSteps(L"\\\\server").empty());
    EXPECT_TRUE(FolderCreationSteps(L"\\\\").empty());
}

TEST(InstallFolderRules, PrepareCreatesOnlyMissingComponents)
{
    FakeFileSystem fs;
    fs.folders = {L"D:\\", L"D:\\Apps"};
    EXPECT_TRUE(PrepareInstallFolder(L"D:\\Apps\\New", fs.Ops()));
    EXPECT_EQ((Paths{L"D:\\Apps\\New"}), fs.created);

    FakeFileSystem net;
    net.folders = {L"\\\\server\\share"};
    EXPECT_TRUE(PrepareInstallFolder(L"\\\\server\\share\\folder", net.Ops()));
    EXPECT_EQ((Paths{L"\\\\server\\share\\folder"}), net.created);

    FakeFileSystem bare;
    EXPECT_TRUE(PrepareInstallFolder(L"\\\\server\\share\\folder", bare.Ops()));
    EXPECT_EQ((Paths{L"\\\\server\\share", L"\\\\server\\share\\folder"}), bare.created);

    // Typed with slashes, the same folder is made and found.
    FakeFileSystem slashes;
    slashes.folders = {L"C:\\"};
    EXPECT_TRUE(PrepareInstallFolder(L"C:/Apps", slashes.Ops()));
    EXPECT_EQ((Paths{L"C:\\Apps"}), slashes.created);
}

TEST(InstallFolderRules, PrepareAcceptsADriveWithoutCreating)
{
    FakeFileSystem fs;
    fs.folders = {L"C:\\"};
    EXPECT_TRUE(PrepareInstallFolder(DropFinalBackslash(L"C:\\"), fs.Ops()));
    EXPECT_TRUE(fs.created.empty());
    // A drive that is not there is no usable folder.
    EXPECT_FALSE(PrepareInstallFolder(L"Q:", fs.Ops()));
    EXPECT_TRUE(fs.created.empty());
}

TEST(InstallFolderRules, PrepareRefusesWhatCannotBeAFolder)
{
    FakeFileSystem fs;
    fs.folders = {L"C:\\", L"C:\\Data"};
    fs.files = {L"C:\\Data\\notes.txt"};
    fs.refused = {L"C:\\Locked"};
    EXPECT_FALSE(PrepareInstallFolder(L"Apps\\New", fs.Ops()));
    EXPECT_FALSE(PrepareInstallFolder(L"C:Apps", fs.Ops()));
    EXPECT_FALSE(PrepareInstallFolder(L"C:\\Locked\\Sub", fs.Ops()));
    // An existing file is not created over and is not taken as the folder.
    EXPECT_FALSE(PrepareInstallFolder(L"C:\\Data\\notes.txt", fs.Ops()));
    // The server alone cannot be made into a folder.
    EXPECT_FALSE(PrepareInstallFolder(L"\\\\server", fs.Ops()));
    EXPECT_TRUE(fs.created.empty());
}

TEST(InstallFolderRules, TooLongTextIsRefusedWhole)
{
    FakeFileSystem fs;
    fs.folders = {L"C:\\"};
    std::wstring longest = L"C:\\" + std::wstring(kInstallFolderChars - 4, L'a');
    ASSERT_EQ(kInstallFolderChars - 1, longest.size());
    EXPECT_TRUE(PrepareInstallFolder(longest, fs.Ops()));
    ASSERT_EQ(1u, fs.created.size());
    EXPECT_EQ(longest, fs.created[0]); // created whole, not cut

    FakeFileSystem other;
    other.folders = {L"C:\\"};
    EXPECT_FALSE(PrepareInstallFolder(longest + L"b", other.Ops()));
    EXPECT_TRUE(other.created.empty());

    EXPECT_TRUE(FitsFolderBuffer(std::wstring(519, L'x'), kBrowseTextChars));
    EXPECT_FALSE(FitsFolderBuffer(std::wstring(520, L'x'), kBrowseTextChars));
    EXPECT_TRUE(FitsFolderBuffer(std::wstring(260, L'x'), kBrowseFullPathChars));
    EXPECT_FALSE(FitsFolderBuffer(std::wstring(261, L'x'), kBrowseFullPathChars));
    EXPECT_FALSE(FitsFolderBuffer(L"", 0));
}

TEST(InstallFolderRules, BrowseStartsAtTheNearestExistingParent)
{
    std::set<std::wstring> present = {L"D:", L"D:\\Apps"};
    auto exists = [&](const std::wstring& p) { return present.count(p) != 0; };
    EXPECT_EQ(L"D:\\Apps", BrowseStartFolder(L"D:\\Apps\\New\\Deeper", exists));
    EXPECT_EQ(L"D:\\Apps", BrowseStartFolder(L"D:\\Apps", exists));
    EXPECT_EQ(L"D:", BrowseStartFolder(L"D:\\Other", exists));
    // Nothing exists: what is left when no backslash remains.
    EXPECT_EQ(L"Q:", BrowseStartFolder(L"Q:\\x\\y", exists));
    EXPECT_EQ(L"", BrowseStartFolder(L"\\\\server\\share", exists));
    present.insert(L"D:/Apps");
    EXPECT_EQ(L"D:/Apps", BrowseStartFolder(L"D:/Apps/New/Deeper", exists));
}

TEST(InstallFolderRules, SentenceOrder)
{
    EXPECT_TRUE(SentenceStartsWith(L"I accept the License Terms", L"I accept the"));
    EXPECT_FALSE(SentenceStartsWith(L"License Terms I accept", L"I accept the"));
    EXPECT_FALSE(SentenceStartsWith(L"I accept", L"I accept the")); // shorter sentence
    EXPECT_TRUE(SentenceStartsWith(L"anything", L""));
}

} // namespace
