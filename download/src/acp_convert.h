// The one place where the download stack meets the code-page layer.
#pragma once

#include <string>
#include <string_view>

namespace download::detail {

// ANSI bytes to UTF-8; bytes the code page cannot read are dropped.
std::string AcpToUtf8(std::string_view ansi);
// UTF-8 to ANSI; characters the code page lacks become its default character.
std::string Utf8ToAcp(std::string_view utf8);

}  // namespace download::detail
