// A minimal drag source speaking the X drop protocol from its own connection, as another program
// would: enter, position, drop, then hand over text/uri-list when asked.
#pragma once

#include <string>

namespace testsupport {

// Drops the URI list ("uri\r\n" per entry) on the X window at (x, y); true when the target
// accepted and finished the drop.
bool XdndDrop(unsigned long target, int x, int y, const std::string& uris);

}  // namespace testsupport
