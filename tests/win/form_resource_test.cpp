// The built module carries the form definition as the resource the framework loads.
#include "com_server/portable/form_definition.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(FormResource, TheModuleHoldsTheFormDefinitionBytes)
{
    const vl::UniqueModule module(
        ::LoadLibraryExW(vl::test::BuildFile(L"VLServiceAdapter.ocx").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << ::GetLastError();
    HRSRC resource = ::FindResourceW(module.get(), vl::kFormDefinitionResource, RT_RCDATA);
    ASSERT_NE(resource, nullptr) << ::GetLastError();
    const DWORD size = ::SizeofResource(module.get(), resource);
    HGLOBAL loaded = ::LoadResource(module.get(), resource);
    ASSERT_NE(loaded, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(::LockResource(loaded));
    ASSERT_NE(data, nullptr);
    const std::vector<std::uint8_t> stored(data, data + size);

    EXPECT_EQ(size, 684u);
    const auto expected = vl::WriteComponentStream(vl::BuildFormDefinition());
    ASSERT_TRUE(expected);
    EXPECT_EQ(stored, *expected);
    const auto parsed = vl::ReadComponentStream(stored);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->root.className, vl::kFormClassName);
}
