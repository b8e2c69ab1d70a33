// Which manifest names may become names of files the elevated installer writes.
#include "config/FileNameRules.h"

#include <gtest/gtest.h>

#include <string>

TEST(FileNameRules, PlainNamesAreAccepted)
{
    for (const wchar_t* name : {L"varo_pro_70.msi", L"vc_redist.exe", L"a", L"VARO Pro.exe",
                                L" leading blank.exe", L"..hidden", L"CONSOLE.exe", L"COM10",
                                L"LPT0.txt", L"name.with.dots.msi", L"x\u00E9.exe"})
        EXPECT_TRUE(IsSafeFileName(name)) << std::wstring(name).size();
    EXPECT_TRUE(IsSafeFileName(std::wstring(kMaxFileNameChars, L'a')));
}

TEST(FileNameRules, NamesThatLeaveTheFolderOrChangeAreRefused)
{
    for (const wchar_t* name :
         {L"", L".", L"..", L"..\\evil.dll", L"a\\b.exe", L"a/b.exe", L"C:evil.exe",
          L"C:\\evil.exe", L"\\\\server\\share\\x.exe", L"x.exe:stream", L"a<b", L"a>b", L"a\"b",
          L"a|b", L"a?b", L"a*b", L"setup.exe.", L"setup.exe ", L"tab\there"})
        EXPECT_FALSE(IsSafeFileName(name)) << std::wstring(name).size();
    EXPECT_FALSE(IsSafeFileName(std::wstring(kMaxFileNameChars + 1, L'a')));
    std::wstring withNull = L"a.exe";
    withNull.insert(withNull.begin() + 1, L'\0');
    EXPECT_FALSE(IsSafeFileName(withNull));
    EXPECT_FALSE(IsSafeFileName(std::wstring(1, static_cast<wchar_t>(0x1F))));
}

TEST(FileNameRules, DeviceNamesAreRefusedWithAnyExtensionAndCase)
{
    for (const wchar_t* name :
         {L"CON", L"con", L"Con.exe", L"NUL", L"nul.txt", L"NUL .txt", L"AUX", L"PRN.msi",
          L"COM1", L"com9.exe", L"LPT1", L"lpt5.dll", L"COM\u00B9", L"LPT\u00B2.exe",
          L"CONIN$", L"conout$.txt"})
        EXPECT_FALSE(IsSafeFileName(name)) << std::wstring(name).size();
    // Close to a device name, but not one.
    for (const wchar_t* name : {L"COM", L"LPT", L"NULL", L"CON1", L"AUXILIARY.exe", L"COM\u2074"})
        EXPECT_TRUE(IsSafeFileName(name)) << std::wstring(name).size();
}

TEST(FileNameRules, RelativePathsStayBelowTheirFolder)
{
    EXPECT_TRUE(IsSafeRelativePath(L"VARO Pro Video Editor 7.exe"));
    EXPECT_TRUE(IsSafeRelativePath(L"bin\\x64\\VARO.exe"));
    for (const wchar_t* path : {L"", L"..\\x.exe", L"bin\\..\\..\\x.exe", L"\\x.exe",
                                L"C:\\x.exe", L"bin\\\\x.exe", L"bin\\", L"bin/x.exe",
                                L"bin\\NUL\\x.exe", L"\\\\?\\C:\\x.exe"})
        EXPECT_FALSE(IsSafeRelativePath(path)) << std::wstring(path).size();
}
