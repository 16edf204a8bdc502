// Holding a program below the documents folder from its check until its start, and
// writing a downloaded one: only a plain path below the base is held, a failed program is
// deleted, and a link in the program's place is replaced, never followed. What the hold
// keeps out, and links on the way, are tried through the control: program_start_test.
#include "support/held_program_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fixtures/planted_link.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"

using namespace vl;
using vl::test::PlantedLink;
using vl::test::ReadFileBytes;
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

TEST_F(HeldProgramFileTest, HoldsOnlyAPlainFileOnAPlainPathBelowTheBase)
{
    TempFolder other;
    ASSERT_TRUE(WriteFileBytes(other.File(L"program.exe"), "outside"));
    const struct {
        const wchar_t* what;
        std::wstring path;
        bool held;
    } cases[] = {
        {L"plain", program, true},
        {L"missing", home + L"\\missing.exe", false},
        {L"not below the base", other.File(L"program.exe"), false},
        {L"a way back up", home + L"\\..\\home\\program.exe", false},
    };
    for (const auto& c : cases) EXPECT_EQ(HeldProgramFile(base.Path(), c.path).Held(), c.held) << c.what;
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

    // Never into a folder's place, nor through a linked folder.
    ::DeleteFileW(program.c_str());
    ASSERT_TRUE(::CreateDirectoryW(program.c_str(), nullptr));
    DWORD error = 0;
    EXPECT_FALSE(WriteProgramFile(base.Path(), program, bytes, error));
    const PlantedLink linkedHome(base.File(L"linked"), elsewhere);
    ASSERT_TRUE(linkedHome.Planted());
    EXPECT_FALSE(WriteProgramFile(base.Path(), base.File(L"linked\\program.exe"), bytes, error));
    EXPECT_EQ(ReadFileBytes(victim), "other");
}
