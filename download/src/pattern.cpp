#include "download/pattern.h"

#include <algorithm>
#include <utility>

#include "download/text_utils.h"

namespace download {

CPattern::CPattern(std::string pattern, std::string templ, int utf8, Flavor flavor)
    : pattern_(std::move(pattern)), template_(std::move(templ)), utf8_(utf8), flavor_(flavor) {
    Compile();
}

int CPattern::Compile() {
    compiled_ = false;
    pieces_.clear();
    captureCount_ = 0;
    const std::string& p = pattern_;
    std::size_t pos = 0;
    for (;;) {
        std::size_t tick = p.find('`', pos);
        if (tick == std::string::npos) {
            pieces_.push_back(p.substr(pos));
            compiled_ = true;
            return 1;
        }
        if (tick - pos > kMaxPiece) return 0;
        pieces_.push_back(p.substr(pos, tick - pos));
        std::size_t i = tick + 1;
        bool negative = false;
        if (i < p.size() && p[i] == '-') {
            negative = true;
            ++i;
        }
        int digits = 0;
        int length = 0;
        while (i < p.size() && p[i] >= '0' && p[i] <= '9') {
            if (++digits > kMaxLengthDigits) return 0;
            length = length * 10 + (p[i] - '0');
            ++i;
        }
        // A marker needs its letter, and the letters run out after z.
        if (i >= p.size() || captureCount_ == kMaxCaptures) return 0;
        captureLengths_[captureCount_++] = negative ? -length : length;
        pos = i + 1;
    }
}

int CPattern::Match(const char* text, std::size_t length, std::vector<std::string>& captures,
                    std::size_t& endPos) const {
    captures.clear();
    if (!compiled_ || !text) return 0;
    std::ptrdiff_t first = FindNoCase(text, length, pieces_[0], false);
    if (first < 0) return 0;
    std::size_t p = static_cast<std::size_t>(first);
    if (captureCount_ == 0) {
        endPos = p + pieces_[0].size();
        return 1;
    }
    for (int i = 0; i < captureCount_; ++i) {
        const std::string& piece = pieces_[i];
        if (FindNoCase(text + p, length - p, piece, false) != 0) return 0;
        p += piece.size();
        const int n = captureLengths_[i];
        if (n > 0) {
            std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), length - p);
            captures.emplace_back(text + p, take);
            p += take;
        } else {
            const std::string& next = pieces_[i + 1];
            std::size_t span;
            if (next.empty()) {
                span = length - p;
            } else {
                std::ptrdiff_t at = FindNoCase(text + p, length - p, next, false);
                if (at <= 0) return 0;
                span = static_cast<std::size_t>(at);
            }
            std::size_t keep = span;
            if (n < 0) keep = std::min<std::size_t>(span, static_cast<std::size_t>(-static_cast<long long>(n)));
            captures.emplace_back(text + p + (span - keep), keep);
            // Continue behind everything the capture spanned, so the next piece is found where
            // it was looked for.
            p += span;
        }
        endPos = p;
    }
    return 1;
}

std::string CPattern::Expand(const std::vector<std::string>& captures) const {
    // One pass over the template: references are only read from the template, never from text
    // that an earlier reference inserted.
    const std::string& t = template_;
    static const std::string kNone;
    auto capture = [&](char letter) -> const std::string* {
        int idx = letter - 'a';
        if (idx < 0 || idx >= static_cast<int>(captures.size())) return nullptr;
        return &captures[static_cast<std::size_t>(idx)];
    };
    std::string out;
    out.reserve(t.size());
    std::size_t i = 0;
    while (i < t.size()) {
        if (t[i] != '`') {
            out.push_back(t[i++]);
            continue;
        }
        if (i + 2 < t.size()) {
            std::size_t used = 0;
            long long n = ParseSignedInt(std::string_view(t).substr(i + 2), &used);
            std::size_t letterAt = i + 2 + used;
            if (n != 0 && letterAt < t.size()) {
                const std::string* cap = capture(t[letterAt]);
                if (!cap) cap = &kNone;
                const long long len = static_cast<long long>(cap->size());
                if (n < 0) n += len;
                std::size_t keep = static_cast<std::size_t>(std::clamp(n, 0LL, len));
                out += t[i + 1] == '-' ? cap->substr(cap->size() - keep) : cap->substr(0, keep);
                i = letterAt + 1;
                continue;
            }
        }
        if (i + 1 < t.size()) {
            if (const std::string* cap = capture(t[i + 1])) {
                out += *cap;
                i += 2;
                continue;
            }
        }
        out.push_back(t[i++]);
    }
    return out;
}

int CPattern::Apply(const std::string& page, std::string& output) const {
    output.clear();
    std::vector<std::string> captures;
    std::size_t end = 0;
    if (!Match(page.data(), page.size(), captures, end)) return 1;
    output = Expand(captures);
    if (!output.empty() && utf8_) Utf8ToAnsiString(output);
    UnescapeWebText(output, false, flavor_);
    return 1;
}

}  // namespace download
