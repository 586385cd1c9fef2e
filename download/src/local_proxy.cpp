#include "local_proxy.h"
namespace download {
void StartLocalProxyIfIdle(const std::string&) {}  // PENDING-PROCESS-FINDER
}  // namespace download
