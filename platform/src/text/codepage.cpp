#include "platform/text/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cwchar>

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsUtf8Name(const std::string& cs) {
    return strcasecmp(cs.c_str(), "UTF-8") == 0 || strcasecmp(cs.c_str(), "UTF8") == 0;
}

// Decodes UTF-8; ill-formed sequences (overlong forms, surrogates, values past U+10FFFF,
// truncated sequences) are replaced byte by byte or make the call fail.
bool DecodeUtf8(std::string_view s, bool strict, std::wstring& out) {
    out.clear();
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size(), i = 0;
    while (i < n) {
        unsigned c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        int len = 0;
        unsigned cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            if (strict) return false;
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return true;
}

// Appends the UTF-8 form; without `strict` what has none is replaced.
bool AppendEncodedUtf8(std::wstring_view w, bool strict, std::string& out) {
    for (size_t i = 0; i < w.size(); ++i) {
        // Runs of ASCII, the bulk of paths and settings, go in one piece.
        size_t run = i;
        while (run < w.size() && static_cast<std::uint32_t>(w[run]) < 0x80) ++run;
        if (run > i) {
            const size_t at = out.size();
            out.resize(at + (run - i));
            std::copy(w.begin() + static_cast<std::ptrdiff_t>(i), w.begin() + static_cast<std::ptrdiff_t>(run),
                      out.begin() + static_cast<std::ptrdiff_t>(at));
            i = run;
            if (i == w.size()) break;
        }
        auto cp = static_cast<std::uint32_t>(w[i]);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (strict) return false;
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

bool EncodeUtf8(std::wstring_view w, bool strict, std::string& out) {
    out.clear();
    out.reserve(w.size());
    return AppendEncodedUtf8(w, strict, out);
}

// iconv descriptors are not thread-safe, so each thread keeps its own pair for the charset
// it last used.
struct IconvPair {
    std::string charset;
    iconv_t toWide = reinterpret_cast<iconv_t>(-1);
    iconv_t fromWide = reinterpret_cast<iconv_t>(-1);
    void Close() {
        if (toWide != reinterpret_cast<iconv_t>(-1)) iconv_close(toWide);
        if (fromWide != reinterpret_cast<iconv_t>(-1)) iconv_close(fromWide);
        toWide = fromWide = reinterpret_cast<iconv_t>(-1);
    }
    ~IconvPair() { Close(); }
    bool Open(const std::string& cs) {
        if (cs == charset && toWide != reinterpret_cast<iconv_t>(-1)) return true;
        Close();
        charset = cs;
        toWide = iconv_open("WCHAR_T", cs.c_str());
        fromWide = iconv_open(cs.c_str(), "WCHAR_T");
        if (toWide == reinterpret_cast<iconv_t>(-1) || fromWide == reinterpret_cast<iconv_t>(-1)) {
            Close();
            charset.clear();
            return false;
        }
        return true;
    }
};

IconvPair& ThreadIconv() {
    thread_local IconvPair pair;
    return pair;
}

bool DecodeIconv(const std::string& cs, std::string_view s, bool strict, std::wstring& out) {
    IconvPair& ic = ThreadIconv();
    if (!ic.Open(cs)) return false;
    iconv(ic.toWide, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    // One input byte never gives more than one wide character.
    std::wstring buf(s.size() + 1, L'\0');
    char* in = const_cast<char*>(s.data());
    size_t inLeft = s.size();
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buf.data());
        size_t oLeft = buf.size() * sizeof(wchar_t);
        size_t r = iconv(ic.toWide, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), (buf.size() * sizeof(wchar_t) - oLeft) / sizeof(wchar_t));
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        if (strict) return false;
        out.push_back(kReplacement);  // EILSEQ or a truncated sequence at the end
        ++in;
        --inLeft;
        iconv(ic.toWide, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

bool EncodeIconv(const std::string& cs, std::wstring_view w, bool strict, const std::string& defChar,
                 std::string& out, bool& usedDefault) {
    IconvPair& ic = ThreadIconv();
    if (!ic.Open(cs)) return false;
    iconv(ic.fromWide, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    std::string buf(w.size() * 8 + 16, '\0');
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(w.data()));
    size_t inLeft = w.size() * sizeof(wchar_t);
    for (;;) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(ic.fromWide, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r != static_cast<size_t>(-1)) {
            if (inLeft == 0) {
                // Flush the shift state of stateful charsets.
                o = buf.data();
                oLeft = buf.size();
                iconv(ic.fromWide, nullptr, nullptr, &o, &oLeft);
                out.append(buf.data(), buf.size() - oLeft);
                break;
            }
            continue;
        }
        if (errno == E2BIG) continue;
        if (strict) return false;
        usedDefault = true;
        out += defChar;
        in += sizeof(wchar_t);
        inLeft -= sizeof(wchar_t);
        if (inLeft == 0) break;
    }
    return true;
}

bool Decode(UINT codePage, std::string_view s, bool strict, std::wstring& out) {
    if (codePage == CP_UTF8) return DecodeUtf8(s, strict, out);
    std::string cs = AnsiCharset();
    if (IsUtf8Name(cs)) return DecodeUtf8(s, strict, out);
    return DecodeIconv(cs, s, strict, out);
}

bool Encode(UINT codePage, std::wstring_view w, bool strict, LPCSTR defaultChar, std::string& out,
            bool& usedDefault) {
    if (codePage == CP_UTF8) return EncodeUtf8(w, strict, out);
    std::string cs = AnsiCharset();
    if (IsUtf8Name(cs)) return EncodeUtf8(w, strict, out);
    return EncodeIconv(cs, w, strict, defaultChar && *defaultChar ? defaultChar : "?", out, usedDefault);
}

bool KnownCodePage(UINT cp) {
    return cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP || cp == CP_UTF8;
}

}  // namespace

std::string AnsiCharset() {
    if (const char* e = std::getenv("MORVANE_ACP"); e && *e) return e;
    static const std::string fromLocale = [] {
        std::string cs;
        locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (loc) {
            if (const char* c = nl_langinfo_l(CODESET, loc)) cs = c;
            freelocale(loc);
        }
        // The plain C locale says ASCII; file names and texts on this system are UTF-8,
        // of which ASCII is a part.
        if (cs.empty() || cs == "ANSI_X3.4-1968" || strcasecmp(cs.c_str(), "ASCII") == 0) cs = "UTF-8";
        return cs;
    }();
    return fromLocale;
}

std::string Utf8FromWide(std::wstring_view w) {
    std::string out;
    EncodeUtf8(w, false, out);
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view w) { AppendEncodedUtf8(w, false, out); }

std::wstring WideFromUtf8(std::string_view s) {
    std::wstring out;
    DecodeUtf8(s, false, out);
    return out;
}

std::string AnsiFromWide(std::wstring_view w) {
    std::string out;
    bool usedDefault = false;
    if (!Encode(CP_ACP, w, false, nullptr, out, usedDefault)) out.clear();
    return out;
}

std::wstring WideFromAnsi(std::string_view s) {
    std::wstring out;
    if (!Decode(CP_ACP, s, false, out)) out.clear();
    return out;
}

}  // namespace platform

namespace platform {
namespace {

bool BadArguments(UINT codePage, const void* src, int srcLen, const void* dst, int dstLen, DWORD flags,
                  DWORD allowedFlags) {
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst) || !KnownCodePage(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return true;
    }
    if (flags & ~allowedFlags) {
        SetLastError(ERROR_INVALID_FLAGS);
        return true;
    }
    return false;
}

// The size answer, or the copy when it fits.
template <class S, class C>
int Deliver(const S& out, C* dst, int dstLen) {
    if (out.size() > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (dstLen == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(dstLen)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), dst);
    return static_cast<int>(out.size());
}

}  // namespace
}  // namespace platform

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
    if (platform::BadArguments(codePage, src, srcLen, dst, dstLen, flags, MB_ERR_INVALID_CHARS)) return 0;
    size_t n = srcLen == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
    std::wstring out;
    if (!platform::Decode(codePage, std::string_view(src, n), (flags & MB_ERR_INVALID_CHARS) != 0, out)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return platform::Deliver(out, dst, dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    if (platform::BadArguments(codePage, src, srcLen, dst, dstLen, flags, WC_ERR_INVALID_CHARS)) return 0;
    size_t n = srcLen == -1 ? std::wcslen(src) + 1 : static_cast<size_t>(srcLen);
    std::string out;
    bool usedDefault = false;
    if (!platform::Encode(codePage, std::wstring_view(src, n), (flags & WC_ERR_INVALID_CHARS) != 0, defaultChar, out,
                          usedDefault)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
    return platform::Deliver(out, dst, dstLen);
}
