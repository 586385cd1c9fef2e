#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "common/error_log.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

std::wstring W(const std::filesystem::path& p) { return p.wstring(); }

int CountLines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

TEST(ErrorLog, KeepsOrDeletesTheFileByWhatWasLogged) {
    TempDir dir;
    struct Case {
        const char* name;
        int threshold;
        bool deleteIfClean;
        int infos, warnings, errors;
        bool kept;
        const char* summary;
    } cases[] = {
        {"info_only.log", 2, true, 3, 0, 0, false, nullptr},
        {"one_warning.log", 0, true, 1, 1, 0, true, "一共发生了0个致命错误，0个一般错误，1个警告！"},
        {"errors.log", 0, true, 0, 0, 2, true, "一共发生了0个致命错误，2个一般错误，0个警告！"},
        {"always.log", 0, false, 0, 0, 0, true, "一共发生了0个致命错误，0个一般错误，0个警告！"},
    };
    for (const auto& c : cases) {
        auto path = dir.path() / c.name;
        std::string content;
        {
            CErrorLog log(W(path), c.threshold, true);
            log.SetDeleteIfClean(c.deleteIfClean);
            for (int i = 0; i < c.infos; ++i) log.Info(L"info %d", i);
            for (int i = 0; i < c.warnings; ++i) log.Warning(L"warn %s", L"宽");
            for (int i = 0; i < c.errors; ++i) log.Error(L"err %S", "narrow");
            EXPECT_EQ(log.InfoCount(), c.threshold <= 1 ? c.infos : 0) << c.name;
            content = testsupport::ReadFile(path);
        }
        EXPECT_EQ(std::filesystem::exists(path), c.kept) << c.name;
        EXPECT_NE(content.find("Oskery日志 V1.0"), std::string::npos);
        if (c.threshold > 1) {
            EXPECT_EQ(CountLines(content), 1) << "only the title";
        }
        if (c.kept) {
            std::string after = testsupport::ReadFile(path);
            EXPECT_NE(after.find(std::string(c.summary) + "\n"), std::string::npos) << after;
        }
    }
}

TEST(ErrorLog, LineFormat) {
    TempDir dir;
    auto path = dir.path() / "f.log";
    {
        CErrorLog log(W(path), 0, true);
        log.Warning(L"盘 %s 满了 (%d)", L"/media", 3);
        log.Fatal(L"%s", std::wstring(5000, L'x').c_str());
        log.Log(LOG_LEVEL_PLAIN, L"plain");
        EXPECT_EQ(log.FatalCount(), 1);
        EXPECT_EQ(log.WarningCount(), 1);
    }
    std::string s = testsupport::ReadFile(path);
    std::regex stamp(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] 警告：盘 /media 满了 \(3\)\n)");
    EXPECT_TRUE(std::regex_search(s, stamp)) << s;
    EXPECT_NE(s.find("] 致命错误：" + std::string(4095, 'x') + "\n"), std::string::npos);
    EXPECT_NE(s.find("] plain\n"), std::string::npos);
}

TEST(ErrorLog, FailedOpenDropsEverything) {
    TempDir dir;
    CErrorLog log(W(dir.path() / "no" / "such" / "f.log"), 0, true);
    EXPECT_EQ(log.Threshold(), LOG_LEVEL_PLAIN);
    log.Error(L"x");
    EXPECT_EQ(log.ErrorCount(), 0);
    CErrorLog closed;  // the global kind: never opened, writes nothing
    closed.Warning(L"w");
    EXPECT_EQ(closed.WarningCount(), 1);
}

}  // namespace
