// The test root that issued the maker's test certificate is trusted; a self-signed
// certificate with the maker's serial and name is not, under the very same trust.
// ctest-trust: test root
#include "support/publisher_check.h"

#include <gtest/gtest.h>

#include "fixtures/scoped_platform.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/platform_calls.h"
#include "support/program_check.h"
#include "support/win_handles.h"

using namespace vl;
using vl::test::BuildFile;
using vl::test::ReadFileBytes;
using vl::test::TempFolder;
using vl::test::WriteFileBytes;

namespace {

// The check of a file opened here, as the control opens what it starts: for reading,
// shared for reading only.
bool Verify(const std::wstring& path)
{
    const vl::UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return VerifyPublisherSignature(file.get(), path);
}

LONG WINAPI DigestAlwaysMatches(HWND, GUID*, LPVOID)
{
    return ERROR_SUCCESS;
}

} // namespace

TEST(PublisherCheck, AcceptsOnlyTheMakersCertificateChainedToATrustedRoot)
{
    const struct {
        const wchar_t* file;
        bool accepted;
    } cases[] = {
        {L"sign_sample_maker.exe", true},
        // Older releases keep starting after their certificate has expired.
        {L"sign_sample_maker_expired.exe", true},
        // The maker's serial and name in a certificate of one's own.
        {L"sign_sample_forged.exe", false},
        // ... or in one issued by an authority of one's own, which nobody trusts.
        {L"sign_sample_forged_issued.exe", false},
        // A signer record naming the maker's certificate, over a signature another key made.
        {L"sign_sample_substituted.exe", false},
        {L"sign_sample_other_serial.exe", false},
        {L"sign_sample_other_name.exe", false},
        {L"sign_sample.exe", false},
    };
    for (const auto& c : cases) EXPECT_EQ(Verify(BuildFile(c.file)), c.accepted) << c.file;
}

TEST(PublisherCheck, RejectsAnEmptyPathAMissingFileAndAFileThatIsNoProgram)
{
    TempFolder folder;
    EXPECT_FALSE(Verify(L""));
    EXPECT_FALSE(Verify(folder.File(L"missing.exe")));
    EXPECT_FALSE(Verify(folder.Path()));
}

TEST(PublisherCheck, RejectsASignedFileWithOneChangedByte)
{
    TempFolder folder;
    std::string bytes = ReadFileBytes(BuildFile(L"sign_sample_maker.exe"));
    ASSERT_GT(bytes.size(), 4096u);
    // The middle of the program's code, far from the signature appended at its end.
    bytes[bytes.size() / 2] ^= 0x01;
    const std::wstring tampered = folder.File(L"VLUpdate.exe");
    ASSERT_TRUE(WriteFileBytes(tampered, bytes));
    EXPECT_FALSE(Verify(tampered));

    // The same bytes restored pass again: only the changed byte made the difference.
    bytes[bytes.size() / 2] ^= 0x01;
    const std::wstring restored = folder.File(L"restored.exe");
    ASSERT_TRUE(WriteFileBytes(restored, bytes));
    EXPECT_TRUE(Verify(restored));
}

TEST(PublisherCheck, ReadsTheOpenFileNeverItsPath)
{
    const std::wstring signedFile = BuildFile(L"sign_sample_maker.exe"), unsignedFile = BuildFile(L"sign_sample.exe");
    const struct {
        const std::wstring& opened;
        const std::wstring& named;
        bool accepted;
    } cases[] = {{signedFile, unsignedFile, true}, {unsignedFile, signedFile, false}};
    for (const auto& c : cases) {
        const vl::UniqueHandle file(
            ::CreateFileW(c.opened.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(VerifyPublisherSignature(file.get(), c.named), c.accepted) << c.opened;
    }
}

// Wine's digest check also verifies the signer's signature, and so refuses a substituted
// signer on its own: with that step stubbed to pass everything (a changed byte now passes),
// the comparison of the signer's key with the certificate must still refuse it.
TEST(PublisherCheck, TheSignersKeyIsCheckedEvenWhereTheDigestCheckPassesEverything)
{
    const vl::test::ScopedPlatform restored;
    Platform().winVerifyTrust = DigestAlwaysMatches;
    TempFolder folder;
    std::string bytes = ReadFileBytes(BuildFile(L"sign_sample_maker.exe"));
    bytes[bytes.size() / 2] ^= 0x01;
    ASSERT_TRUE(WriteFileBytes(folder.File(L"tampered.exe"), bytes));
    EXPECT_TRUE(Verify(folder.File(L"tampered.exe"))) << "the digest check is stubbed";
    EXPECT_FALSE(Verify(BuildFile(L"sign_sample_substituted.exe")));
}

// What a program must pass before it starts, as far as its file goes: held and signed
// (development mode skips both), never missing.
TEST(PublisherCheck, AProgramStartsOnlyHeldAndSigned)
{
    TempFolder folder;
    const std::wstring signedFile = BuildFile(L"sign_sample_maker.exe"), unsignedFile = BuildFile(L"sign_sample.exe");
    const struct {
        std::wstring path;
        ProgramCheck checked, inDevelopmentMode;
    } cases[] = {
        {signedFile, ProgramCheck::Passed, ProgramCheck::Passed},
        {unsignedFile, ProgramCheck::SignatureFails, ProgramCheck::Passed},
        {folder.File(L"missing.exe"), ProgramCheck::Missing, ProgramCheck::Missing},
    };
    for (const auto& c : cases) {
        const HeldProgramFile program(folder.Path(), c.path);
        EXPECT_EQ(CheckProgram(program, true), c.checked) << c.path;
        EXPECT_EQ(CheckProgram(program, false), c.inDevelopmentMode) << c.path;
    }
}
