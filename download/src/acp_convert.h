// The one place where the download stack meets the code-page layer.
#pragma once

#include <string>
#include <string_view>

namespace download::detail {

// ANSI bytes to UTF-8; bytes the code page cannot read become U+FFFD.
std::string AcpToUtf8(std::string_view ansi);
// UTF-8 to ANSI; characters the code page lacks become its default character.
std::string Utf8ToAcp(std::string_view utf8);

// The stack's paths are ANSI text; the file system's names are UTF-8, as everywhere in the layers.
inline std::string FsPath(std::string_view ansiPath) { return AcpToUtf8(ansiPath); }
inline std::string AnsiPath(std::string_view fsPath) { return Utf8ToAcp(fsPath); }

}  // namespace download::detail
