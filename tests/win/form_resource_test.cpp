// The built module carries the form definition as the resource the framework loads.
#include "com_server/portable/form_definition.h"
#include "fixtures/module_resource.h"
#include "fixtures/test_paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(FormResource, TheModuleHoldsTheFormDefinitionBytes)
{
    const std::string bytes =
        vl::test::ModuleResource(vl::test::BuildFile(L"VLServiceAdapter.ocx"), vl::kFormDefinitionResource, RT_RCDATA);
    const std::vector<std::uint8_t> stored(bytes.begin(), bytes.end());

    EXPECT_EQ(stored.size(), 684u);
    const auto expected = vl::WriteComponentStream(vl::BuildFormDefinition());
    ASSERT_TRUE(expected);
    EXPECT_EQ(stored, *expected);
    const auto parsed = vl::ReadComponentStream(stored);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->root.className, vl::kFormClassName);
}
