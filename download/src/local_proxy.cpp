#include "local_proxy.h"

#include "download/process_finder.h"
#include "platform/text/codepage.h"

namespace download {

void StartLocalProxyIfIdle(const std::string& commandLine) {
    auto slash = commandLine.find_last_of('/');
    if (slash == std::string::npos) return;
    std::wstring exe = platform::WideFromAnsi(commandLine.substr(slash + 1));
    CProcessFinder finder(FinderVariant::RequestLibrary);
    finder.Load();
    if (!finder.IsProcessRunning(exe.c_str())) StartHiddenProcess(commandLine.c_str());
}

}  // namespace download
