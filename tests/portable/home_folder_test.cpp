#include "support/portable/home_folder.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(HomeFolder, JoinsTheDocumentsFolderWithExactlyOneBackslash)
{
    EXPECT_EQ(HomeFolderOf(L"C:\\Users\\me\\Documents"), L"C:\\Users\\me\\Documents\\My Vorlink");
    EXPECT_EQ(HomeFolderOf(L"C:\\Users\\me\\Documents\\"), L"C:\\Users\\me\\Documents\\My Vorlink");
    EXPECT_EQ(HomeFolderOf(L"D:\\"), L"D:\\My Vorlink");
}

TEST(HomeFolder, IsUnknownWithoutADocumentsFolder)
{
    EXPECT_EQ(HomeFolderOf(L""), L"");
}
