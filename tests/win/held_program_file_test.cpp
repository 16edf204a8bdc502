// Holding a program from its check until its start, and writing a downloaded one: the file
// a path leads to is held by its resolved name, links on the way followed; a failed program
// is deleted, and a link in the program's place is replaced, never followed. What the hold
// keeps out is tried through the control: program_start_test.
#include "support/held_program_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fixtures/planted_link.h"
#include "fixtures/product_state.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"

using namespace vl;
using vl::test::PlantedLink;
using vl::test::ReadFileBytes;
using vl::test::ResolvedPath;
using vl::test::TempFolder;
using vl::test::WriteFileBytes;

namespace {

// "<base>\home\program.exe", and "<base>\elsewhere" beside it with a program of its own.
class HeldProgramFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::wstring& folder : {home, elsewhere}) ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(program, "checked"));
        ASSERT_TRUE(WriteFileBytes(elsewhere + L"\\program.exe", "other"));
    }

    TempFolder base;
    const std::wstring home = base.File(L"home");
    const std::wstring elsewhere = base.File(L"elsewhere");
    const std::wstring program = home + L"\\program.exe";
};

} // namespace

TEST_F(HeldProgramFileTest, HoldsTheFileAPathLeadsToByItsResolvedName)
{
    ASSERT_TRUE(::CreateDirectoryW(base.File(L"folder.exe").c_str(), nullptr));
    const std::wstring written = elsewhere + L"\\written.exe";
    ASSERT_TRUE(WriteFileBytes(written, "written"));
    const vl::UniqueHandle writer(::CreateFileW(written.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    // Links at the base (a documents folder reached through a link), below it, and in the
    // program's place.
    TempFolder linkedBase;
    const PlantedLink documents(linkedBase.File(L"Documents"), base.Path());
    const PlantedLink folder(base.File(L"linked"), elsewhere);
    const PlantedLink file(home + L"\\linked.exe", elsewhere + L"\\program.exe");
    ASSERT_TRUE(documents.Planted() && folder.Planted() && file.Planted());
    const std::wstring plain = ResolvedPath(program), linkedTarget = ResolvedPath(elsewhere + L"\\program.exe");
    const struct {
        const wchar_t* what;
        std::wstring documents, path;
        HoldResult result;
        std::wstring resolved; // once held
    } cases[] = {
        {L"plain", base.Path(), program, HoldResult::Held, plain},
        {L"a way back up", base.Path(), home + L"\\..\\home\\program.exe", HoldResult::Held, plain},
        {L"through a linked documents folder", linkedBase.File(L"Documents"),
         linkedBase.File(L"Documents\\home\\program.exe"), HoldResult::Held, plain},
        {L"through a linked folder", base.Path(), base.File(L"linked\\program.exe"), HoldResult::Held, linkedTarget},
        {L"a linked program", base.Path(), home + L"\\linked.exe", HoldResult::Held, linkedTarget},
        // Elsewhere than below the documents folder: held from the root of its name.
        {L"not below the documents folder", home, elsewhere + L"\\program.exe", HoldResult::Held, linkedTarget},
        {L"missing", base.Path(), home + L"\\missing.exe", HoldResult::Missing, L""},
        {L"in a missing folder", base.Path(), base.File(L"none\\program.exe"), HoldResult::Missing, L""},
        {L"a folder", base.Path(), base.File(L"folder.exe"), HoldResult::CannotHold, L""},
        {L"open for writing", base.Path(), written, HoldResult::CannotHold, L""},
    };
    for (const auto& c : cases) {
        const HeldProgramFile held(c.documents, c.path);
        EXPECT_EQ(held.Result(), c.result) << c.what;
        EXPECT_EQ(held.Path(), c.result == HoldResult::Held ? c.resolved : c.path) << c.what;
    }
}

TEST_F(HeldProgramFileTest, DiscardDeletesTheHeldFileAndLetsGo)
{
    HeldProgramFile held(base.Path(), program);
    ASSERT_TRUE(held.Held());
    EXPECT_TRUE(held.Discard());
    EXPECT_FALSE(held.Held());
    EXPECT_EQ(::GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(::RemoveDirectoryW(home.c_str())) << "the folder is let go";
    EXPECT_FALSE(HeldProgramFile().Discard());
}

TEST_F(HeldProgramFileTest, AWrittenProgramReplacesAFileOrALinkNeverWhatTheLinkPointsTo)
{
    const std::vector<std::uint8_t> bytes = {'n', 'e', 'w'};
    const std::wstring victim = elsewhere + L"\\program.exe";
    for (const bool existing : {false, true}) {
        ::DeleteFileW(program.c_str());
        if (existing) {
            ASSERT_TRUE(WriteFileBytes(program, "old"));
        }
        DWORD error = 0;
        EXPECT_TRUE(WriteProgramFile(base.Path(), program, bytes, error)) << error;
        EXPECT_EQ(ReadFileBytes(program), "new");
        EXPECT_TRUE(HeldProgramFile(base.Path(), program).Held()) << "a plain file";
    }

    // A link in the program's place: replaced where the platform opens a link itself
    // (Windows), left alone and nothing written where it cannot (Wine); what it points to
    // is never touched.
    ASSERT_TRUE(::DeleteFileW(program.c_str()));
    {
        const PlantedLink link(program, victim);
        ASSERT_TRUE(link.Planted());
        DWORD error = 0;
        if (WriteProgramFile(base.Path(), program, bytes, error)) {
            EXPECT_EQ(ReadFileBytes(program), "new");
        }
        EXPECT_EQ(ReadFileBytes(victim), "other");
    }

    // Never into a folder's place.
    ::DeleteFileW(program.c_str());
    ASSERT_TRUE(::CreateDirectoryW(program.c_str(), nullptr));
    DWORD error = 0;
    EXPECT_FALSE(WriteProgramFile(base.Path(), program, bytes, error));
    // A linked folder is followed, as it is when the program starts: the file is written
    // into the folder the link leads to, under the program's name.
    const PlantedLink linkedHome(base.File(L"linked"), elsewhere);
    ASSERT_TRUE(linkedHome.Planted());
    EXPECT_TRUE(WriteProgramFile(base.Path(), base.File(L"linked\\program.exe"), bytes, error)) << error;
    EXPECT_EQ(ReadFileBytes(victim), "new");
    EXPECT_EQ(HeldProgramFile(base.Path(), base.File(L"linked\\program.exe")).Path(), ResolvedPath(victim));
}
