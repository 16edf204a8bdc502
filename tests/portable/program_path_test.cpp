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
        // ... and a share's root is opened as "\\server\share\".
        {L"\\\\server\\share", L"\\\\server\\share\\My Vorlink\\x.exe",
         Folders{L"\\\\server\\share\\", L"\\\\server\\share\\My Vorlink"}},
        {L"\\\\server\\share\\docs", L"\\\\server\\share\\docs\\x.exe", Folders{L"\\\\server\\share\\docs"}},
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

// Resolved paths: the documents folder a link at or above it leads to, and a program that
// a link below it may have led out of it.
TEST(ProgramPath, FoldersAreHeldFromTheDocumentsFolderOrElseFromTheRoot)
{
    const std::wstring docs = L"Z:\\home\\me\\Documents", unc = L"\\\\server\\share\\me\\Documents";
    const struct {
        std::wstring documents, program;
        std::wstring_view root, base;
    } cases[] = {
        {docs, docs + L"\\My Vorlink\\VLWidgetKernel.exe", L"Z:", docs},
        {docs, L"Z:\\elsewhere\\VLWidgetKernel.exe", L"Z:", L"Z:"},
        {docs, L"C:\\home\\me\\Documents\\My Vorlink\\x.exe", L"C:", L"C:"},
        // A look-alike sibling is not below the documents folder.
        {docs, docs + L"2\\x.exe", L"Z:", L"Z:"},
        {unc, unc + L"\\My Vorlink\\x.exe", L"\\\\server\\share", unc},
        {docs, L"\\\\server\\share\\x.exe", L"\\\\server\\share", L"\\\\server\\share"},
        {L"", L"D:\\x.exe", L"D:", L"D:"},
        // No root that a folder could be held from.
        {docs, L"\\\\?\\C:\\x.exe", L"", L""},
        {docs, L"\\\\server", L"", L""},
        {docs, L"relative\\x.exe", L"", L""},
        {docs, L"", L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathRoot(c.program), c.root) << c.program;
        EXPECT_EQ(HoldingBase(c.documents, c.program), c.base) << c.documents << L" | " << c.program;
    }
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

TEST(ProgramPath, APathSplitsIntoItsFolderAndName)
{
    const struct {
        const wchar_t* path;
        const wchar_t* folder; // null for no split
        const wchar_t* name;
    } cases[] = {
        {L"C:\\Users\\me\\x.exe", L"C:\\Users\\me", L"x.exe"},
        {L"C:\\x.exe", L"C:\\", L"x.exe"},
        {L"\\\\server\\share\\x.exe", L"\\\\server\\share\\", L"x.exe"},
        {L"C:\\Users\\", L"C:\\Users", L""},
        {L"x.exe", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto split = SplitFolderAndName(c.path);
        ASSERT_EQ(split.has_value(), c.folder != nullptr) << c.path;
        if (!split) continue;
        EXPECT_EQ(split->folder, c.folder) << c.path;
        EXPECT_EQ(split->name, c.name) << c.path;
    }
}
