#include "ExtensionTable.h"
#include "OV2Tools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string FourCC(DWORD n)
{
    return {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
}

TEST(FileMapping, TypeAndCreatorFromTheNamesExtension)
{
    struct Case {
        const char* pszName;
        const char* pszType;
        const char* pszCreator;
    };
    const Case cases[] = {
        {"readme.txt", "TEXT", "ttxt"},
        {"README.TXT", "TEXT", "ttxt"},
        {"C:\\docs\\logo.Gif", "GIFf", "ogle"},
        {"manual.pdf", "PDF ", "CARO"},
        {"bundle.zip", "ZIP ", "SITx"},
        {"backup.tar.gz", "Gzip", "SITx"},
        {"song.mp3", "MPG3", "TVOD"},
        {"noextension", "????", "????"},
        {".txt", "????", "????"},             // a hidden name, not an extension
        {"C:\\dir.txt\\plain", "????", "????"}, // a dot in a folder name is no extension
        {"trailing.", "????", "????"},
        {"strange.qqq", "????", "????"},
        {"", "????", "????"},
    };
    for (const Case& c : cases) {
        DWORD type = 0;
        DWORD creator = 0;
        SetTypeCreator(c.pszName, &type, &creator);
        EXPECT_EQ(FourCC(type), c.pszType) << c.pszName;
        EXPECT_EQ(FourCC(creator), c.pszCreator) << c.pszName;
    }
}

TEST(FileMapping, ExtensionForTypeAndCreator)
{
    struct Case {
        const char* pszName;
        DWORD type;
        DWORD creator;
        const char* pszExpected;
    };
    const Case cases[] = {
        {"photo", MakeFourCC("JPEG"), MakeFourCC("ogle"), "photo.jpg"},
        {"photo.JPEG", MakeFourCC("JPEG"), MakeFourCC("ogle"), "photo.JPEG"}, // already right
        {"notes.log", kTypeText, MakeFourCC("ttxt"), "notes.log"},             // any text extension will do
        {"report.v2", kTypeText, MakeFourCC("ttxt"), "report.v2.txt"},         // nothing of the name is lost
        {"page", kTypeText, MakeFourCC("MOSS"), "page.html"},
        {"C:\\in\\memo", kTypeText, MakeFourCC("zzzz"), "C:\\in\\memo.txt"},     // unknown creator: by type
        {"picture.txt", MakeFourCC("GIFf"), MakeFourCC("ogle"), "picture.txt.gif"},
        {"mystery", kTypeUnknown, kCreatorUnknown, "mystery"},
        {"mystery", MakeFourCC("abcd"), MakeFourCC("efgh"), "mystery"},
    };
    for (const Case& c : cases) {
        char szName[MAX_PATH] = {};
        std::strcpy(szName, c.pszName);
        SetFileNameExtension(szName, c.type, c.creator);
        EXPECT_STREQ(szName, c.pszExpected) << c.pszName;
    }
}

TEST(FileMapping, ExtensionThatWouldOverflowTheBufferIsNotAdded)
{
    char szName[MAX_PATH] = {};
    std::memset(szName, 'a', MAX_PATH - 4); // 256 characters: ".txt" would need 261 bytes
    const std::string before = szName;
    SetFileNameExtension(szName, kTypeText, MakeFourCC("ttxt"));
    EXPECT_EQ(szName, before);

    szName[MAX_PATH - 5] = '\0'; // 255 characters: ".txt" fits exactly
    SetFileNameExtension(szName, kTypeText, MakeFourCC("ttxt"));
    EXPECT_EQ(std::strlen(szName), MAX_PATH - 1);
}

TEST(FileMapping, EveryRowRoundTrips)
{
    InitFileMapping();
    for (const TExtensionMapping& row : ExtensionTable()) {
        char szName[MAX_PATH] = "file";
        SetFileNameExtension(szName, row.type, row.creator);
        DWORD type = 0;
        DWORD creator = 0;
        SetTypeCreator(szName, &type, &creator);
        EXPECT_EQ(FourCC(type), FourCC(row.type)) << row.pszExtension << " -> " << szName;
        EXPECT_EQ(FourCC(creator), FourCC(row.creator)) << row.pszExtension << " -> " << szName;
    }
}

} // namespace
