#include "download/text_utils.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "acp_convert.h"

namespace download {

std::string Utf8ToAnsi(std::string_view utf8) { return detail::Utf8ToAcp(utf8); }

int Utf8ToAnsiString(std::string& text) {
    if (text.empty()) return 0;
    text = Utf8ToAnsi(text);
    return 1;
}

void AnsiToUtf8(std::string& text) {
    if (!text.empty()) text = detail::AcpToUtf8(text);
}

void CStringFromBytes(std::string& out, const char* bytes, std::size_t n) {
    if (!bytes) {
        out.clear();
        return;
    }
    const void* nul = std::memchr(bytes, '\0', n);
    out.assign(bytes, nul ? static_cast<const char*>(nul) - bytes : n);
}

long long ParseSignedInt(std::string_view text, std::size_t* used) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    std::size_t digits = 0;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (digits < 14) value = value * 10 + (text[i] - '0');
        ++digits;
        ++i;
    }
    if (used) *used = i;
    if (digits == 0 || digits > 14) return 0;
    return negative ? -value : value;
}

void AsciiToLower(char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (bytes[i] >= 'A' && bytes[i] <= 'Z') bytes[i] = static_cast<char>(bytes[i] - 'A' + 'a');
}

namespace {

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::ptrdiff_t FindNoCase(const char* bytes, std::size_t count, std::string_view piece, bool caseSensitive) {
    if (piece.empty()) return 0;
    if (!bytes || piece.size() > count) return -1;
    std::string_view hay(bytes, count);
    if (caseSensitive) {
        auto pos = hay.find(piece);
        return pos == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(pos);
    }
    const char first = Lower(piece[0]);
    const std::size_t last = count - piece.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (Lower(bytes[i]) != first) continue;
        std::size_t k = 1;
        while (k < piece.size() && Lower(bytes[i + k]) == Lower(piece[k])) ++k;
        if (k == piece.size()) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::ptrdiff_t ExtractXmlTag(std::string_view text, std::string_view openTag, std::string_view closeTag,
                             std::string& content, std::size_t start) {
    content.clear();
    if (start > text.size()) return -1;
    auto open = text.find(openTag, start);
    if (open == std::string_view::npos) return -1;
    auto begin = open + openTag.size();
    auto close = text.find(closeTag, begin);
    if (close == std::string_view::npos || close == begin) return -1;
    content.assign(text.substr(begin, close - begin));
    return static_cast<std::ptrdiff_t>(begin);
}

XmlTagIndex::XmlTagIndex(std::string_view text) : text_(text) {
    const std::size_t n = text.size();
    spans_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '<')) / 2 + 1);
    std::size_t i = text.find('<');
    while (i != std::string_view::npos) {
        const bool closing = i + 1 < n && text[i + 1] == '/';
        const std::size_t name = i + (closing ? 2 : 1);
        // No tag holds '<' or '>' in its name, so a tag ends at the first of either.
        const std::size_t end = std::min(text.find_first_of("<>", name), n);
        if (end < n && text[end] == '>') {
            const std::string_view key = text.substr(name, end - name);
            if (!closing) {
                spans_.try_emplace(key, Span{end + 1});
            } else if (auto it = spans_.find(key); it != spans_.end() && it->second.end == std::string_view::npos) {
                // Seen after the first open tag, so at or after its content's start.
                it->second.end = i;
            }
        }
        i = end < n && text[end] == '<' ? end : text.find('<', end);
    }
}

std::string XmlTagIndex::Content(std::string_view name) const {
    auto it = spans_.find(name);
    if (it == spans_.end() || it->second.end == std::string_view::npos) return {};
    return std::string(text_.substr(it->second.begin, it->second.end - it->second.begin));
}

namespace {

// Replaces every occurrence, left to right; inserted text is not searched again.
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
    if (from.empty()) return;
    std::size_t pos = s.find(from);
    if (pos == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    std::size_t done = 0;
    while (pos != std::string::npos) {
        out.append(s, done, pos - done);
        out.append(to);
        done = pos + from.size();
        pos = s.find(from, done);
    }
    out.append(s, done, std::string::npos);
    s = std::move(out);
}

using Rules = std::initializer_list<std::pair<std::string_view, std::string_view>>;

void ApplyRules(std::string& s, Rules rules) {
    for (const auto& [from, to] : rules) ReplaceAll(s, from, to);
}

bool IsTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

void UnescapeWebText(std::string& text, bool removeSpaces, Flavor flavor) {
    ApplyRules(text, {{"\\u003a", ":"}, {"\\u002e", "."}, {"\\u0026", "&"}, {"\\u003c", "<"}, {"\\u003e", ">"}});
    constexpr std::string_view kNoUnescape = "##NO_UNESCAPE##";
    if (text.find(kNoUnescape) != std::string::npos) {
        ReplaceAll(text, kNoUnescape, "");
        return;
    }
    ApplyRules(text, {{"&#46;", "."}, {"%25", "%"}, {"%3A", ":"}, {"%2F", "/"}, {"%3F", "?"}, {"%3D", "="},
                      {"%26", "&"}, {"%2E", "."}, {"%2D", "-"}, {"%5C", "\\"}, {"%5F", "_"}});
    ApplyRules(text, {{"&amp;", "&"}, {"&quot;", "\""}, {"&ldquo;", "\""}, {"&rdquo;", "\""}});
    if (flavor == Flavor::Installer) ReplaceAll(text, "&rsquo;", "'");
    ApplyRules(text, {{"&nbsp;", " "}, {"&nbsp", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&mdash;", "\xA1\xAA"}});
    ApplyRules(text, {{"%23", "#"}, {"%24", "$"}, {"%28", "("}, {"%29", ")"}, {"%2B", "+"}, {"%2C", ","}});
    ApplyRules(text, {{"\r", " "}, {"\n", " "}, {"\t", " "}});
    ApplyRules(text, {{"%3a", ":"}, {"%2f", "/"}, {"%3f", "?"}, {"%3d", "="}, {"%26", "&"}, {"%2e", "."},
                      {"%2d", "-"}, {"%5f", "_"}, {"\\x2F", "/"}});
    std::size_t b = 0, e = text.size();
    while (b < e && IsTrimSpace(text[b])) ++b;
    while (e > b && IsTrimSpace(text[e - 1])) --e;
    text = text.substr(b, e - b);
    ReplaceAll(text, "\\/", "/");
    if (removeSpaces) ReplaceAll(text, " ", "");
}

std::string PercentEncodeHighBytes(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
        }
    }
    return out;
}

std::string UrlEncodeHighBytes(std::string_view text) {
    std::string utf8(text);
    AnsiToUtf8(utf8);
    return PercentEncodeHighBytes(utf8);
}

}  // namespace download
