// The pattern language that pulls values out of fetched pages: a pattern of literal pieces and
// capture markers, and a template that builds the output from the captures.
//
// Pattern: literal text with markers "`" [ "-" ] [ 0-7 digits ] <one character>. The number N
// says what the capture takes: N > 0 exactly N bytes, N = 0 everything up to the next piece
// (the rest of the text when that piece is empty), N < 0 as for 0, then only the last -N bytes.
// Template: "`" <sign> <number> <letter> keeps the left (or, with a "-" sign, the right) number
// bytes of a capture, a negative number counting from its length; "`" <letter> is the whole
// capture. Letters a..z name the captures in order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "download/flavor.h"

namespace download {

class CPattern {
public:
    static constexpr int kMaxCaptures = 26;
    static constexpr std::size_t kMaxPiece = 127;
    static constexpr int kMaxLengthDigits = 7;

    CPattern(std::string pattern, std::string templ, int utf8, Flavor flavor = Flavor::Installer);
    virtual ~CPattern() = default;

    // 1 when the pattern is well formed, 0 when it is rejected (then nothing matches).
    int Compile();
    // Matches the text once, from the first occurrence of the first piece. 1/0.
    int Match(const char* text, std::size_t length, std::vector<std::string>& captures, std::size_t& endPos) const;
    std::string Expand(const std::vector<std::string>& captures) const;
    // Output = the expanded template of the match, cleaned of web escapes; empty when nothing
    // matched. Always 1.
    int Apply(const std::string& page, std::string& output) const;

private:
    std::string pattern_;
    std::string template_;
    int utf8_;
    Flavor flavor_;
    bool compiled_ = false;
    std::vector<std::string> pieces_;
    int captureCount_ = 0;
    int captureLengths_[kMaxCaptures] = {};
};

}  // namespace download
