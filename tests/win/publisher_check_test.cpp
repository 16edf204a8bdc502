// The test root that issued the maker's test certificate is trusted; a self-signed
// certificate with the maker's serial and name is not, under the very same trust.
// ctest-trust: test root
#include "support/publisher_check.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "support/test_paths.h"

using namespace vl;
using vl::test::BuildFile;
using vl::test::ReadFileBytes;
using vl::test::TempFolder;
using vl::test::WriteFileBytes;

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
        {L"sign_sample_other_serial.exe", false},
        {L"sign_sample_other_name.exe", false},
        {L"sign_sample.exe", false},
    };
    for (const auto& c : cases) EXPECT_EQ(VerifyPublisherSignature(BuildFile(c.file)), c.accepted) << c.file;
}

TEST(PublisherCheck, RejectsAnEmptyPathAMissingFileAndAFileThatIsNoProgram)
{
    TempFolder folder;
    EXPECT_FALSE(VerifyPublisherSignature(L""));
    EXPECT_FALSE(VerifyPublisherSignature(folder.File(L"missing.exe")));
    EXPECT_FALSE(VerifyPublisherSignature(folder.Path()));
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
    EXPECT_FALSE(VerifyPublisherSignature(tampered));

    // The same bytes restored pass again: only the changed byte made the difference.
    bytes[bytes.size() / 2] ^= 0x01;
    const std::wstring restored = folder.File(L"restored.exe");
    ASSERT_TRUE(WriteFileBytes(restored, bytes));
    EXPECT_TRUE(VerifyPublisherSignature(restored));
}
