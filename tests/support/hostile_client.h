// A client of another process that hands a window the raw numbers of messages whose parameters
// are pointers, as a hostile peer of the same user could.
#pragma once

#include <vector>

#include "platform/base/wintypes.h"

namespace testsupport {

struct RawMessage {
    const char* name;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// System messages whose parameters are pointers, each given an address no process owns.
std::vector<RawMessage> PointerMessages();

// Sends each message to `target` from a process of its own, once by send and once by post.
// Returns how many of those the target's station took, or -1 when the client did not end well.
int SendRawFromAnotherProcess(HWND target, const std::vector<RawMessage>& messages);

}  // namespace testsupport
