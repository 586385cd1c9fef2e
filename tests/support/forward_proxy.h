// A real forward proxy (tinyproxy) on a free loopback port, with its configuration in a
// temporary folder; stopped with the object. Forwarded requests carry a "Via" header.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace testsupport {

class ForwardProxy {
public:
    // With a user name, the proxy asks for these Basic credentials.
    explicit ForwardProxy(const std::string& user = "", const std::string& password = "");
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    int port() const { return port_; }
    bool running() const { return pid_ > 0; }

private:
    TempDir dir_;
    int port_ = 0;
    int pid_ = -1;
};

}  // namespace testsupport
