#include "support/portable/program_path.h"

#include <gtest/gtest.h>

using namespace vl;

using Folders = std::vector<std::wstring>;

TEST(ProgramPath, FoldersLeadFromTheBaseDownToTheProgram)
{
    const std::wstring docs = L"C:\\Users\\me\\Documents";
    const struct {
        std::wstring base, path;
        std::optional<Folders> folders;
    } cases[] = {
        {docs, docs + L"\\My Vorlink\\VLWidgetKernel.exe", Folders{docs, docs + L"\\My Vorlink"}},
        {docs + L"\\", docs + L"\\My Vorlink\\VLWidgetKernel.exe", Folders{docs, docs + L"\\My Vorlink"}},
        // A drive's root stays the root, not the drive's current folder.
        {L"D:\\", L"D:\\My Vorlink\\x.exe", Folders{L"D:\\", L"D:\\My Vorlink"}},
        {L"\\\\server\\share", L"\\\\server\\share\\My Vorlink\\x.exe",
         Folders{L"\\\\server\\share", L"\\\\server\\share\\My Vorlink"}},
        // Not below the base, or leading elsewhere than the text says.
        {docs, L"C:\\Users\\me\\DocumentsX\\x.exe", std::nullopt},
        {docs, docs + L"\\", std::nullopt},
        {docs, docs + L"\\My Vorlink\\..\\..\\x.exe", std::nullopt},
        {docs, docs + L"\\.\\x.exe", std::nullopt},
        {docs, docs + L"\\My Vorlink/../x.exe", std::nullopt},
        {docs, docs + L"\\My Vorlink\\\\x.exe", std::nullopt},
        {L"", L"\\x.exe", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FoldersDownTo(c.base, c.path), c.folders) << c.base << L" | " << c.path;
}

TEST(ProgramPath, FinalPathsTakeTheFormProgramsAreStartedBy)
{
    const struct {
        const wchar_t* final;
        const wchar_t* dos;
    } cases[] = {
        {L"\\\\?\\C:\\Users\\me\\Documents\\My Vorlink\\x.exe", L"C:\\Users\\me\\Documents\\My Vorlink\\x.exe"},
        {L"\\\\?\\UNC\\server\\share\\x.exe", L"\\\\server\\share\\x.exe"},
        {L"C:\\x.exe", L"C:\\x.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(DosFormOfFinalPath(c.final), c.dos) << c.final;
}
