#include "base/StringTable.h"
#include "app/LanguageList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace app;
namespace fs = std::filesystem;

namespace {

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/zv-strings-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { fs::remove_all(path); }
    fs::path path;
};

TEST(StringTableTest, LanguageFileOverridesEnglishAndFallsBack)
{
    TempFolder dir;
    fs::create_directories(dir.path / "1044");
    std::ofstream(dir.path / "1044" / "Resource.dll") << "45124=Om\n"
                                                         "57690=Ingen posisjon\\n linje to\n"
                                                         "menu.57664=Om ekkoloddet...\n"
                                                         "not a line\n"
                                                         "99x=skipped\n";
    CStringTable table;
    EXPECT_EQ(table.Load(45124), "About");
    ASSERT_TRUE(table.LoadFile((dir.path / "1044" / "Resource.dll").string(), 1044));
    EXPECT_EQ(table.LanguageId(), 1044u);
    EXPECT_EQ(table.Load(45124), "Om");
    EXPECT_EQ(table.Load(57690), "Ingen posisjon\n linje to");
    EXPECT_EQ(table.Load(45142), "File not found");  // not translated: English
    EXPECT_EQ(table.MenuText(57664), "Om ekkoloddet...");
    EXPECT_FALSE(table.Find(12345));

    EXPECT_FALSE(table.LoadFile((dir.path / "1031" / "Resource.dll").string(), 1031));
    EXPECT_EQ(table.LanguageId(), 1044u);  // a failed load keeps the language
    table.UseEnglish();
    EXPECT_EQ(table.Load(45124), "About");
}

TEST(StringTableTest, EnglishIdsNeverNeedAFile)
{
    EXPECT_TRUE(CStringTable::IsEnglish(1033));
    EXPECT_TRUE(CStringTable::IsEnglish(2057));  // English (UK)
    EXPECT_FALSE(CStringTable::IsEnglish(1044));
}

TEST(LanguageListTest, OnlyNumberedFoldersAreLanguages)
{
    TempFolder dir;
    for (const char* name : {"1044", "1033", "help", "0", "12a"})
        fs::create_directories(dir.path / name);
    const auto ids = ListLanguageIds(dir.path.string());
    ASSERT_TRUE(ids);
    EXPECT_EQ(*ids, (std::vector<unsigned>{1033, 1044}));
    EXPECT_FALSE(ListLanguageIds((dir.path / "missing").string()));
    EXPECT_EQ(LocaleNameForLanguageId(1044), "nb_NO");
}

}  // namespace
