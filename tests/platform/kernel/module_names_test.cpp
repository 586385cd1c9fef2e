#include <gtest/gtest.h>

#include "platform/kernel/module_names.h"

TEST(ModuleNames, MapsTheProgramsModulesAndPassesOthers) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"WZUpdate.dll", "WZUpdate.so"},
        {"wzupdate.DLL", "WZUpdate.so"},
        {"MorvaneUAC.exe", "MorvaneUAC"},
        {"MediaInfo.dll", "libmediainfo.so.0"},
        {"WZUpdate.exe", "WZUpdate"},
        {"other.dll", "other.dll"},
        {"/opt/m/WZUpdate.dll", "/opt/m/WZUpdate.so"},
        {"/opt/WZUpdate.dll/x.txt", "/opt/WZUpdate.dll/x.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::MapModulePath(std::string(c.in)), c.out) << c.in;
    EXPECT_EQ(platform::MapModulePath(std::wstring(L"/p/MorvaneUAC.exe")), L"/p/MorvaneUAC");
}
