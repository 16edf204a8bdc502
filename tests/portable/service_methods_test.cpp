// The contract's method table: the control's methods, as the service host serves them and
// the page APIs check them.
#include "contract/portable/service_methods.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vl;

TEST(ServiceMethods, AreTheControlsMethodsWithTheirParameterTypes)
{
    std::vector<std::string> methods;
    for (const ServiceMethod& method : ServiceMethods()) {
        std::string signature = std::string(method.name) + "(";
        for (const ContractParameter& parameter : method.Parameters())
            signature += parameter.type == ContractType::Text ? "T" : "U";
        signature += method.result == ContractType::None ? ")" : method.result == ContractType::Text ? ")T" : ")U";
        methods.push_back(signature);
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"Initialize(TTTU)U", "SaveData(TT)U", "LoadData(T)T", "SendCommand(UUT)U",
                                                 "ClearData(T)U", "GetActivexObjID()U", "CheckRegionInfo()U",
                                                 "Uninitialize()", "SetUpdatorVersion(T)", "Initialize2(TTTUT)U",
                                                 "GetVersion()T"}));
    EXPECT_TRUE(FindServiceMethod(L"GetVersion"));
    EXPECT_FALSE(FindServiceMethod(L"getversion"));
    EXPECT_FALSE(FindServiceMethod(L"Visible")); // properties are the control's, not the service's
}
