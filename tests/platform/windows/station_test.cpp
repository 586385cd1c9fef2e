#include "platform/windows/station.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/child.h"
#include "support/hostile_client.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

namespace st = platform::station;
using testsupport::Child;
using testsupport::WaitFor;

namespace {

std::uint32_t Fnv(const std::string& data) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : data) h = (h ^ c) * 16777619u;
    return h;
}

HWND PeerWindow(const Child& c) { return MakeWindowHandle(static_cast<std::uint32_t>(c.pid()), 1); }

class StationTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    testsupport::ScopedEnv env{"MORVANE_RUNTIME_DIR", (tmp.path() / "run").string()};

    std::unique_ptr<Child> StartPeer(std::vector<std::string> args) {
        args.insert(args.begin(), {testsupport::PeerProgram(), "window"});
        auto child = std::make_unique<Child>(args);
        HWND h = PeerWindow(*child);
        EXPECT_TRUE(WaitFor([&] { return st::IsAlive(h); })) << "peer never announced its window";
        return child;
    }
    std::filesystem::path StationDir() const { return tmp.path() / "run" / "station"; }
};

TEST_F(StationTest, CopyDataRoundTripsBetweenProcesses) {
    auto peer = StartPeer({"PeerClass", "Peer title"});
    std::string big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + 7);
    std::wstring line = L"\"/opt/m/morvane\" \"/视频/片.mkv\"";
    std::string wide(reinterpret_cast<const char*>(line.c_str()), (line.size() + 1) * sizeof(wchar_t));
    for (const std::string& payload : {std::string(), std::string("hello\0world", 11), wide, big}) {
        COPYDATASTRUCT cds{0, static_cast<DWORD>(payload.size()), const_cast<char*>(payload.data())};
        LRESULT result = -1;
        ASSERT_TRUE(st::SendCopyData(PeerWindow(*peer), nullptr, cds, 20000, &result)) << payload.size();
        EXPECT_EQ(static_cast<std::uint32_t>(result), Fnv(payload)) << payload.size();
    }
    LRESULT sum = 0;
    ASSERT_TRUE(st::SendRemote(PeerWindow(*peer), WM_USER + 1, 40, -2, 5000, &sum));
    EXPECT_EQ(sum, 38);
}

TEST_F(StationTest, WalkAndPropertiesAcrossProcesses) {
    auto player = StartPeer({"WZBaseGui", "Morvane", "Morvane=1"});
    auto agent = StartPeer({"074265CC", "MorvaneUAC-074265CC", "MorvaneUAC.exe=1", "other=77"});
    st::WindowEntry own;
    own.hwnd = MakeWindowHandle(static_cast<std::uint32_t>(getpid()), 9);
    own.className = L"Own";
    own.title = L"文件信息 – ü";
    st::Publish(own);

    auto all = st::Windows();
    std::vector<HWND> order;
    for (const auto& w : all) order.push_back(w.hwnd);
    ASSERT_EQ(order, (std::vector<HWND>{PeerWindow(*player), PeerWindow(*agent), own.hwnd}));
    EXPECT_EQ(all[0].title, L"Morvane");
    EXPECT_EQ(all[0].className, L"WZBaseGui");
    EXPECT_EQ(all[1].props,
              (std::vector<std::pair<std::wstring, HANDLE>>{{L"MorvaneUAC.exe", reinterpret_cast<HANDLE>(1)},
                                                           {L"other", reinterpret_cast<HANDLE>(77)}}));
    EXPECT_EQ(all[2].title, own.title);

    st::WindowEntry found;
    ASSERT_TRUE(st::Lookup(PeerWindow(*player), &found));
    EXPECT_EQ(found.props.at(0).first, L"Morvane");
    EXPECT_FALSE(st::Lookup(MakeWindowHandle(static_cast<std::uint32_t>(player->pid()), 2), &found));

    // A change re-announces without losing the window's place.
    own.props.emplace_back(L"Morvane", reinterpret_cast<HANDLE>(1));
    st::Publish(own);
    all = st::Windows();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].props.size(), 1u);

    st::Withdraw(own.hwnd);
    EXPECT_FALSE(st::IsAlive(own.hwnd));
    EXPECT_EQ(st::Windows().size(), 2u);
}

TEST_F(StationTest, DeadProcessEntriesArePruned) {
    auto peer = StartPeer({"C", "Doomed"});
    HWND h = PeerWindow(*peer);
    ASSERT_TRUE(std::filesystem::exists(StationDir() / (std::to_string(peer->pid()) + ".win")));
    peer->kill(SIGKILL);
    peer->wait();
    EXPECT_FALSE(st::IsAlive(h));
    EXPECT_TRUE(st::Windows().empty());
    EXPECT_FALSE(std::filesystem::exists(StationDir() / (std::to_string(peer->pid()) + ".win")));
    COPYDATASTRUCT cds{0, 0, nullptr};
    EXPECT_FALSE(st::SendCopyData(h, nullptr, cds, 1000, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(StationTest, EntryOfAReusedProcessIdIsPruned) {
    // An announcement left by an earlier process whose id now belongs to another (here: init).
    auto peer = StartPeer({"C", "Template"});
    std::string data = testsupport::ReadFile(StationDir() / (std::to_string(peer->pid()) + ".win"));
    std::uint32_t one = 1;
    std::memcpy(data.data() + 4, &one, sizeof one);
    std::ofstream(StationDir() / "1.win", std::ios::binary) << data;
    auto all = st::Windows();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].hwnd, PeerWindow(*peer));
    EXPECT_FALSE(std::filesystem::exists(StationDir() / "1.win"));
}

TEST_F(StationTest, HungReceiverCannotHangTheSender) {
    auto peer = StartPeer({"C", "Hangs"});
    char byte = 'x';
    COPYDATASTRUCT hang{0xDEAD, 1, &byte};
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(st::SendCopyData(PeerWindow(*peer), nullptr, hang, 300, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // The stuck handler holds only its own message: the window still answers others.
    COPYDATASTRUCT ok{0, 1, &byte};
    LRESULT result = 0;
    EXPECT_TRUE(st::SendCopyData(PeerWindow(*peer), nullptr, ok, 20000, &result));
    EXPECT_EQ(static_cast<std::uint32_t>(result), Fnv("x"));
}

TEST_F(StationTest, PostsArriveInOrderAndCloseEndsThePeer) {
    auto log = tmp.path() / "posts.log";
    auto stubborn = StartPeer({"C", "Stubborn", "--ignore-close", "--log", log.string()});
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(st::PostRemote(PeerWindow(*stubborn), WM_USER + 5, i, -i));
    ASSERT_TRUE(st::PostRemote(PeerWindow(*stubborn), WM_CLOSE, 0, 0));
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += std::to_string(WM_USER + 5) + " " + std::to_string(i) + " " + std::to_string(-i) + "\n";
    expected += "16 0 0\n";
    EXPECT_TRUE(WaitFor([&] { return testsupport::ReadFile(log) == expected; })) << testsupport::ReadFile(log);
    EXPECT_TRUE(st::IsAlive(PeerWindow(*stubborn)));

    auto willing = StartPeer({"C", "Willing"});
    ASSERT_TRUE(st::PostRemote(PeerWindow(*willing), WM_CLOSE, 0, 0));
    int status = willing->wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(StationTest, ABurstOfSendsHeldByTheirWindowIsAnsweredWhole) {
    auto peer = StartPeer({"C", "Busy"});
    // Many more sends than are handed to windows at once, each held 300 ms by the window.
    constexpr int kSends = 80;
    std::atomic<int> answered{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < kSends; ++i) {
        senders.emplace_back([&, i] {
            std::string data = "send " + std::to_string(i);
            COPYDATASTRUCT cds{0x5000 + 300, static_cast<DWORD>(data.size()), data.data()};
            LRESULT result = 0;
            if (st::SendCopyData(PeerWindow(*peer), nullptr, cds, 60000, &result) &&
                static_cast<std::uint32_t>(result) == Fnv(data)) {
                ++answered;
            }
        });
    }
    for (auto& t : senders) t.join();
    EXPECT_EQ(answered.load(), kSends);
}

TEST_F(StationTest, IdleAndSlowConnectionsDelayNoOther) {
    auto peer = StartPeer({"C", "Patient"});
    const std::string socketPath = (StationDir() / (std::to_string(peer->pid()) + ".sock")).string();
    std::vector<int> idle;
    for (int i = 0; i < 40; ++i) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
        std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        idle.push_back(fd);
        if (i % 2 == 0) continue;
        ASSERT_EQ(::send(fd, "MSW", 3, MSG_NOSIGNAL), 3);  // a header begun, never finished
    }
    char byte = 'x';
    COPYDATASTRUCT cds{0, 1, &byte};
    LRESULT result = 0;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(st::SendCopyData(PeerWindow(*peer), nullptr, cds, 20000, &result));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(static_cast<std::uint32_t>(result), Fnv("x"));
    // Each idle one ends when its own time is up.
    for (int fd : idle) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 20000), 1);
        char c;
        EXPECT_EQ(::recv(fd, &c, 1, 0), 0);
        ::close(fd);
    }
}

// A kB figure of /proc/<pid>/status, in bytes; 0 when it cannot be read.
std::uint64_t StatusBytes(int pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::stoull(line.substr(key.size() + 1)) * 1024;
    return 0;
}

TEST_F(StationTest, StalledHalfSentCopiesHoldBoundedMemoryAndAHandOverStillGoesThrough) {
    auto peer = StartPeer({"C", "Besieged"});
    const std::uint64_t before = StatusBytes(peer->pid(), "VmRSS");
    ASSERT_GT(before, 0u);
    const std::string socketPath = (StationDir() / (std::to_string(peer->pid()) + ".sock")).string();
    ASSERT_LT(socketPath.size(), sizeof(sockaddr_un{}.sun_path));
    // The station's wire header, as any sender of the same user can write it.
    struct Header {
        std::uint32_t magic = 0x3157534D;
        std::uint32_t kind = 3;  // WM_COPYDATA
        std::uint64_t target;
        std::uint32_t msg = WM_COPYDATA;
        std::uint32_t cbData = st::kMaxCopyDataBytes - 1;
        std::uint64_t wParam = 0;
        std::int64_t lParam = 0;
        std::uint64_t dwData = 0;
    };
    const std::string chunk(1 << 20, 'z');
    constexpr int kSenders = 6;
    constexpr int kMegabytesEach = 60;  // of 64: each stalls short of its end
    std::vector<int> fds(kSenders, -1);
    std::vector<std::thread> senders;
    for (int i = 0; i < kSenders; ++i) {
        senders.emplace_back([&, i] {
            int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return;
            fds[i] = fd;
            timeval bound{30, 0};  // a station that stopped reading without a word fails the test, not hangs it
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
            Header h;
            h.target = reinterpret_cast<std::uint64_t>(PeerWindow(*peer));
            if (::send(fd, &h, sizeof h, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof h)) return;
            for (int mb = 0; mb < kMegabytesEach; ++mb) {
                size_t done = 0;
                while (done < chunk.size()) {
                    ssize_t n = ::send(fd, chunk.data() + done, chunk.size() - done, MSG_NOSIGNAL);
                    if (n <= 0) return;  // dropped by the station
                    done += static_cast<size_t>(n);
                }
            }
        });
    }
    for (auto& t : senders) t.join();

    char byte = 'x';
    COPYDATASTRUCT cds{0, 1, &byte};
    LRESULT result = 0;
    ASSERT_TRUE(st::SendCopyData(PeerWindow(*peer), nullptr, cds, 20000, &result));
    EXPECT_EQ(static_cast<std::uint32_t>(result), Fnv("x"));
    // Held together, six would be 384 MiB; the station keeps two of the largest at most. (Under
    // AddressSanitizer freed blocks stay in its quarantine, so the peak says nothing there.)
#ifndef __SANITIZE_ADDRESS__
    const std::uint64_t peak = StatusBytes(peer->pid(), "VmHWM");
    EXPECT_LT(peak - before, std::uint64_t{200} << 20) << "peak " << (peak >> 20) << " MiB";
#endif
    for (int fd : fds)
        if (fd >= 0) ::close(fd);
}

TEST_F(StationTest, TextCrossesAsACopyAndRawPointersAreRefused) {
    auto log = tmp.path() / "messages.log";
    auto peer = StartPeer({"C", "Target", "--log", log.string()});
    LRESULT length = 0;
    ASSERT_TRUE(st::SendSetText(PeerWindow(*peer), 0, L"新しい title", 5000, &length));
    EXPECT_EQ(length, 9);
    EXPECT_FALSE(st::SendSetText(PeerWindow(*peer), 0, std::wstring(st::kMaxSetTextBytes + 1, L'a'), 5000, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // From another process, as the numbers a hostile client gives: not one is taken...
    EXPECT_EQ(testsupport::SendRawFromAnotherProcess(PeerWindow(*peer), testsupport::PointerMessages()), 0);
    // ...while numbers that are only numbers still pass, by send and by post.
    EXPECT_EQ(testsupport::SendRawFromAnotherProcess(PeerWindow(*peer), {{"private", WM_USER + 1, 2, 3}}), 2);
    std::string expected = std::to_string(WM_USER + 1) + " 2 3\n";
    EXPECT_TRUE(WaitFor([&] {
        std::string got = testsupport::ReadFile(log);
        return got.size() > 2 * expected.size() && got.compare(got.size() - 2 * expected.size(), std::string::npos,
                                                               expected + expected) == 0;
    })) << testsupport::ReadFile(log);
    // The text, and then those two: nothing else reached the window.
    std::string lines = testsupport::ReadFile(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3) << lines;
    EXPECT_EQ(lines.rfind(std::to_string(WM_SETTEXT) + " 0 ", 0), 0u) << lines;
}

std::atomic<int> g_delivered{0};
LRESULT CountingHook(HWND, UINT msg, WPARAM, LPARAM lParam, bool wait) {
    ++g_delivered;
    if (msg == WM_COPYDATA && wait) return static_cast<LRESULT>(reinterpret_cast<COPYDATASTRUCT*>(lParam)->cbData);
    return -1;
}

TEST_F(StationTest, OwnWindowsAreServedThroughTheHook) {
    st::SetDeliveryHook(&CountingHook);
    st::WindowEntry own;
    own.hwnd = MakeWindowHandle(static_cast<std::uint32_t>(getpid()), 3);
    own.title = L"Served";
    st::Publish(own);
    char data[5] = "abcd";
    COPYDATASTRUCT cds{1, 5, data};
    LRESULT result = 0;
    ASSERT_TRUE(st::SendCopyData(own.hwnd, nullptr, cds, 5000, &result));
    EXPECT_EQ(result, 5);
    EXPECT_EQ(g_delivered.load(), 1);

    // Pointer-carrying data of a bad size is refused before anything is sent.
    COPYDATASTRUCT bad{0, 10, nullptr};
    EXPECT_FALSE(st::SendCopyData(own.hwnd, nullptr, bad, 5000, &result));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    st::Withdraw(own.hwnd);
    EXPECT_FALSE(st::SendCopyData(own.hwnd, nullptr, cds, 5000, &result));
    EXPECT_EQ(g_delivered.load(), 1);
    st::SetDeliveryHook(nullptr);
}

TEST_F(StationTest, RuntimeFolderIsPrivate) {
    auto peer = StartPeer({"C", "Any"});
    auto perms = std::filesystem::status(tmp.path() / "run").permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

}  // namespace
