#include "support/forward_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool Accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

ForwardProxy::ForwardProxy(const std::string& user, const std::string& password) {
    port_ = FreePort();
    std::string conf = "Port " + std::to_string(port_) + "\nListen 127.0.0.1\nTimeout 60\nMaxClients 50\n" +
                       "LogLevel Critical\nLogFile \"" + (dir_ / "proxy.log").string() + "\"\n" +
                       "Allow 127.0.0.1\n";
    if (!user.empty()) conf += "BasicAuth " + user + " " + password + "\n";
    auto confPath = dir_.write("tinyproxy.conf", conf).string();
    const char* argv[] = {"tinyproxy", "-d", "-c", confPath.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;
    pid_ = pid;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Accepts(port_) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

ForwardProxy::~ForwardProxy() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

}  // namespace testsupport
