#include "acp_convert.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdlib>

namespace download::detail {

namespace {

const char* AcpCharset() {
    const char* env = std::getenv("MORVANE_ACP");
    if (env && *env) return env;
    const char* cs = nl_langinfo(CODESET);
    return (cs && *cs) ? cs : "UTF-8";
}

// Converts with iconv; an input sequence that cannot be converted is replaced by `fallback`
// (nothing when empty) and skipped, one input byte (or one UTF-8 character) at a time.
std::string Convert(std::string_view in, const char* to, const char* from, std::string_view fallback,
                    bool utf8Input) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip one character of input.
        size_t skip = 1;
        if (utf8Input) {
            auto b = static_cast<unsigned char>(*src);
            size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            while (skip < len && skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
        }
        src += skip;
        srcLeft -= skip;
        out.append(fallback);
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string AcpToUtf8(std::string_view ansi) { return Convert(ansi, "UTF-8", AcpCharset(), "", false); }

std::string Utf8ToAcp(std::string_view utf8) { return Convert(utf8, AcpCharset(), "UTF-8", "?", true); }

}  // namespace download::detail
