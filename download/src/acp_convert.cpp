#include "acp_convert.h"

#include "platform/text/codepage.h"

namespace download::detail {

std::string AcpToUtf8(std::string_view ansi) { return platform::Utf8FromWide(platform::WideFromAnsi(ansi)); }

std::string Utf8ToAcp(std::string_view utf8) { return platform::AnsiFromWide(platform::WideFromUtf8(utf8)); }

}  // namespace download::detail
