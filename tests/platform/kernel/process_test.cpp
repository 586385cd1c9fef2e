#include "platform/kernel/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/child.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

namespace {

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class ProcessTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    testsupport::ScopedEnv env{"MORVANE_RUNTIME_DIR", (tmp.path() / "run").string()};

    // The peer under a name of its own, so parallel tests never see each other's processes.
    std::string NamedPeer(const std::string& name) {
        auto p = tmp.path() / name;
        std::filesystem::copy_file(testsupport::PeerProgram(), p);
        return p.string();
    }

    PROCESS_INFORMATION Start(const std::wstring& commandLine) {
        std::wstring line = commandLine;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        return pi;
    }
};

TEST_F(ProcessTest, StartWaitExitCodeAndTerminate) {
    std::string peer = NamedPeer("peer with space");
    auto out = tmp.path() / "args";
    PROCESS_INFORMATION pi = Start(L"\"" + W(peer) + L"\" record \"" + W(out.string()) +
                                   L"\" plain \"two words\" back\\\\slash \\\"quoted\\\" \"end\\\\\"");
    ASSERT_NE(pi.hProcess, nullptr);
    EXPECT_EQ(GetProcessId(pi.hProcess), pi.dwProcessId);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(testsupport::ReadFile(out), "plain\ntwo words\nback\\\\slash\n\"quoted\"\nend\\\n");
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    pi = Start(L"\"" + W(peer) + L"\" exit 7");
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    pi = Start(L"\"" + W(peer) + L"\" sleep");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 50), WAIT_TIMEOUT);
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    // A second handle to the same child sees the same end.
    HANDLE other = OpenProcess(SYNCHRONIZE, FALSE, pi.dwProcessId);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
    ASSERT_EQ(WaitForSingleObject(other, 20000), WAIT_OBJECT_0);
    GetExitCodeProcess(other, &code);
    EXPECT_EQ(code, 9u);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(TerminateProcess(other, 1)) << "opened without PROCESS_TERMINATE";
    for (HANDLE h : {pi.hProcess, pi.hThread, other}) EXPECT_TRUE(CloseHandle(h));
}

TEST_F(ProcessTest, StartFailuresAreReported) {
    std::wstring missing = L"\"" + W((tmp.path() / "no-such-program").string()) + L"\" x";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_FALSE(CreateProcessW(nullptr, missing.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(pi.hProcess, nullptr);
    std::wstring empty;
    EXPECT_FALSE(CreateProcessW(nullptr, empty.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(OpenProcess(SYNCHRONIZE, FALSE, 0x7FFFFFF0u), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessTest, ToolhelpAndSystemQueryListTheChild) {
    std::string peer = NamedPeer("MvListedPeer");
    PROCESS_INFORMATION pi = Start(L"\"" + W(peer) + L"\" sleep");
    ASSERT_NE(pi.hProcess, nullptr);

    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snap, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    bool seen = false, self = false;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
        if (e.th32ProcessID == pi.dwProcessId) {
            seen = true;
            EXPECT_STREQ(e.szExeFile, L"MvListedPeer");
            EXPECT_EQ(e.th32ParentProcessID, GetCurrentProcessId());
        }
        self = self || e.th32ProcessID == GetCurrentProcessId();
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(self);
    PROCESSENTRY32 narrow{};
    narrow.dwSize = sizeof narrow - 1;
    EXPECT_FALSE(Process32First(snap, &narrow)) << "a short entry size is refused";
    CloseHandle(snap);

    ULONG need = 0;
    EXPECT_EQ(ZwQuerySystemInformation(SystemProcessInformation, nullptr, 0, &need), STATUS_INFO_LENGTH_MISMATCH);
    std::vector<unsigned char> buf(need + 64 * 1024);
    ASSERT_EQ(ZwQuerySystemInformation(SystemProcessInformation, buf.data(), static_cast<ULONG>(buf.size()), &need),
              STATUS_SUCCESS);
    auto* spi = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buf.data());
    EXPECT_EQ(spi->UniqueProcessId, nullptr);
    EXPECT_EQ(spi->ImageName.Buffer, nullptr);
    seen = false;
    for (const unsigned char* p = buf.data();; p += spi->NextEntryOffset) {
        spi = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(p);
        if (reinterpret_cast<ULONG_PTR>(spi->UniqueProcessId) == pi.dwProcessId) {
            seen = true;
            EXPECT_EQ(std::wstring(spi->ImageName.Buffer, spi->ImageName.Length / sizeof(wchar_t)), L"MvListedPeer");
        }
        if (!spi->NextEntryOffset) break;
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(ZwQuerySystemInformation(1234, buf.data(), 16, &need), STATUS_INVALID_INFO_CLASS);

    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

TEST_F(ProcessTest, StartedProgramsDoNotKeepTheInstanceMarker) {
    HANDLE marker = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    ASSERT_NE(marker, nullptr);
    PROCESS_INFORMATION pi = Start(L"\"" + W(testsupport::PeerProgram()) + L"\" sleep");
    ASSERT_NE(pi.hProcess, nullptr);
    CloseHandle(marker);
    HANDLE again = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the child inherited the lock";
    CloseHandle(again);
    TerminateProcess(pi.hProcess, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

TEST_F(ProcessTest, ShellStartsProgramsAndRefusesUnknownVerbs) {
    std::string peer = NamedPeer("MvShellPeer");
    auto out = tmp.path() / "shell-args";
    std::wstring params = L"record \"" + W(out.string()) + L"\" \"a b\"";
    for (const wchar_t* verb : {L"runas", L"open"}) {
        std::filesystem::remove(out);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = verb;
        std::wstring file = W(peer);
        info.lpFile = file.c_str();
        info.lpParameters = params.c_str();
        info.nShow = SW_HIDE;
        ASSERT_TRUE(ShellExecuteExW(&info)) << verb;
        EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
        ASSERT_NE(info.hProcess, nullptr);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
        CloseHandle(info.hProcess);
        EXPECT_EQ(testsupport::ReadFile(out), "a b\n");
    }
    std::wstring file = W(peer);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"print", file.c_str(), nullptr, nullptr, SW_SHOW)),
              SE_ERR_NOASSOC);
    std::wstring missing = W((tmp.path() / "missing.mkv").string());
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", missing.c_str(), nullptr, nullptr, SW_SHOW)),
              SE_ERR_FNF);
}

// The desktop's default handlers, pointed at the peer so that what GIO launches can be seen.
TEST_F(ProcessTest, AddressesFoldersAndRevealUseTheDefaultHandler) {
    auto out = tmp.path() / "launched";
    tmp.write("data/applications/mv-record.desktop",
              "[Desktop Entry]\nType=Application\nName=Record\nExec=" + testsupport::PeerProgram() + " record " +
                  out.string() + " %u\nMimeType=inode/directory;x-scheme-handler/mvtest;\n");
    tmp.write("config/mimeapps.list",
              "[Default Applications]\ninode/directory=mv-record.desktop\nx-scheme-handler/mvtest=mv-record.desktop\n");
    testsupport::ScopedEnv data("XDG_DATA_HOME", (tmp.path() / "data").string());
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (tmp.path() / "config").string());
    testsupport::ScopedEnv dirs("XDG_DATA_DIRS", (tmp.path() / "none").string());
    testsupport::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (tmp.path() / "no-bus").string());

    auto launched = [&](const std::string& expected) {
        bool ok = testsupport::WaitFor([&] { return std::filesystem::exists(out); });
        std::string got = ok ? testsupport::ReadFile(out) : "";
        std::filesystem::remove(out);
        return got == expected + "\n" ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << got;
    };
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"mvtest://clip/1?x=2", nullptr, nullptr, SW_SHOW)), 32);
    EXPECT_TRUE(launched("mvtest://clip/1?x=2"));

    auto folder = tmp.path() / "media";
    tmp.write("media/a.mkv", "x");
    std::wstring select = L"/select," + W((folder / "a.mkv").string());
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"explorer.exe", select.c_str(), nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_TRUE(launched(folder.string()));

    std::wstring folderArg = W(folder.string());
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", folderArg.c_str(), nullptr, nullptr, SW_SHOW)), 32);
    EXPECT_TRUE(launched(folder.string()));

    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"nohandler://x", nullptr, nullptr, SW_SHOW)),
              SE_ERR_NOASSOC);
}

}  // namespace
