// Development mode, from the two "envver" values and whether the process's registry is
// virtualized.
#include "support/portable/development_mode_decision.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(DevelopmentMode, NeedsBothValuesExactlyAndARegistryOfItsOwn)
{
    using enum DevelopmentModeDecision;
    struct Case {
        bool virtualized;
        const wchar_t* machine;
        const wchar_t* user;
        DevelopmentModeDecision decision;
    };
    const Case cases[] = {
        {false, L"Develop", L"Develop", On},
        {false, L"", L"Develop", UserValueOnly},
        {false, L"develop", L"Develop", UserValueOnly},
        {false, L"Develop", L"", Off},
        {false, L"Develop", L"Develop2.0", Off},
        {false, L"", L"", Off},
        // The machine's value may be the user's VirtualStore copy: never taken then.
        {true, L"Develop", L"Develop", VirtualizedRegistry},
        {true, L"", L"Develop", VirtualizedRegistry},
        {true, L"Develop", L"", Off},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideDevelopmentMode(c.virtualized, c.machine, c.user), c.decision)
            << c.virtualized << " [" << std::wstring(c.machine).size() << "] [" << std::wstring(c.user).size() << "]";
}
