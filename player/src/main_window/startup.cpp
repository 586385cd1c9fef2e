#include "player/main_window/startup.h"

#include <filesystem>
#include <system_error>

#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"
#include "platform/profile/profile.h"
#include "player/settings/file_assoc_client.h"
#include "player/main_window/overlay_logic.h"
#include "player/settings/sys_config.h"
#include "player/app/user_data.h"

unsigned StartupThreadProc(const std::wstring& startPath, const std::wstring& commandLine, CUserData& userData,
                           const StartupCalls& calls, std::stop_token stop) {
    if (!startPath.empty()) {
        if (g_SysConfig.bAddSimilarFile && calls.addSimilarFiles) calls.addSimilarFiles(startPath);
        if (calls.playFile) calls.playFile(startPath);
    }
    const std::wstring folder = platform::ModuleFolder();
    userData.SetStartMethod(ParsePlaySource(commandLine));

    userData.Register(stop);
    userData.ReportStart(stop);
    if (stop.stop_requested()) return 0;
    const std::wstring announced = userData.GetNewVersion();

    wchar_t skip[33] = L"";
    GetPrivateProfileStringW(L"General", L"skip_version", L"", skip, 33, (folder + L"config.ini").c_str());
    if (overlay::ShouldOfferUpdate(announced, skip, CUserData::GetVersionString())) {
        const std::wstring updater = folder + kUpdaterProgram;
        if (calls.launch)
            calls.launch(updater, kAutoUpdateArgs);
        else
            ShellExecuteW(nullptr, L"open", updater.c_str(), kAutoUpdateArgs, nullptr, SW_SHOWNORMAL);
    }

    std::error_code ec;
    std::filesystem::create_directory(platform::FsPath(folder + L"Tmp"), ec);

    if (g_SysConfig.bAlwaysFileAssoc) {
        if (calls.repairAssociations)
            calls.repairAssociations();
        else
            RepairFileAssociations();
    }
    return 0;
}
