// The local proxy program of proxy type 3.
#pragma once

#include <string>

namespace download {

// Starts the command line hidden unless a process of its executable's name (the text after
// its last '/') already runs; a command line without a folder is not started.
void StartLocalProxyIfIdle(const std::string& commandLine);

}  // namespace download
