// The start-up worker: plays the start file, sends the start reports, offers an update, makes
// the temporary folder and repairs the file associations, off the UI thread so that none of it
// delays the first paint.
#pragma once

#include <functional>
#include <stop_token>
#include <string>

class CUserData;

inline constexpr const wchar_t* kUpdaterProgram = L"WZUpdate.exe";
inline constexpr const wchar_t* kAutoUpdateArgs = L"auto_update=1 product=Morvane";

// The calls the worker makes into the rest of the player. The main window's part of them
// (adding and playing the start file) must run on the UI thread; the main window hands them
// over there and waits.
struct StartupCalls {
    std::function<void(const std::wstring& path)> addSimilarFiles;
    std::function<void(const std::wstring& path)> playFile;
    // Starts a program with arguments ("open"); by default ShellExecuteW.
    std::function<void(const std::wstring& program, const std::wstring& args)> launch;
    // By default RepairFileAssociations.
    std::function<void()> repairAssociations;
};

// Runs the worker's steps in order; returns 0. Once `stop` is asked for, a report under way is
// given up and no further step runs.
unsigned StartupThreadProc(const std::wstring& startPath, const std::wstring& commandLine, CUserData& userData,
                           const StartupCalls& calls, std::stop_token stop = {});
