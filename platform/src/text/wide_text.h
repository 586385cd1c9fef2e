// UTF-8 <-> wide text for the layer's own files, sockets and the names it hands to Linux.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {

std::string ToUtf8(std::wstring_view text);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

}  // namespace platform::detail
