// Without the test root the maker's test signatures fail like any other: the check wants
// a chain to a root the machine trusts. Run with a wineserver that never trusted the test
// root, so that no trusting test run before can make this pass or fail.
// ctest-trust: none
#include "support/publisher_check.h"

#include <gtest/gtest.h>

#include "fixtures/test_paths.h"
#include "support/win_handles.h"

using vl::test::BuildFile;

TEST(UntrustedRoot, TheMakersTestSignaturesFailWithoutTheTestRoot)
{
    for (const wchar_t* name : {L"sign_sample_maker.exe", L"sign_sample_maker_expired.exe", L"signed/VLWidgetKernel.exe"}) {
        const std::wstring path = BuildFile(name);
        const vl::UniqueHandle file(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.valid()) << name;
        EXPECT_FALSE(vl::VerifyPublisherSignature(file.get(), path)) << name;
    }
}
