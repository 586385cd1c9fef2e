// Text and address helpers of the download stack. Text is 8-bit, in the "ANSI" code page
// unless a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "download/flavor.h"

namespace download {

// UTF-8 to the ANSI code page; characters the code page lacks become its default character.
std::string Utf8ToAnsi(std::string_view utf8);
// Converts in place; 1, or 0 for an empty string (left as it is).
int Utf8ToAnsiString(std::string& text);
// ANSI to UTF-8 in place; the output is sized by the converter, however much it grows.
void AnsiToUtf8(std::string& text);

// The first n bytes as a string, shorter when a NUL comes first.
void CStringFromBytes(std::string& out, const char* bytes, std::size_t n);

// An optional "-" then 1 to 14 decimal digits. No digits, or more than 14, give 0.
// *used (when given) receives the characters read, the sign included.
long long ParseSignedInt(std::string_view text, std::size_t* used);

// A-Z to a-z in place; other bytes are left alone.
void AsciiToLower(char* bytes, std::size_t count);

// Offset of the first occurrence of piece in the first count bytes, or -1. An empty piece
// gives 0. Unless caseSensitive, A-Z match a-z; every other byte must match exactly.
std::ptrdiff_t FindNoCase(const char* bytes, std::size_t count, std::string_view piece, bool caseSensitive);

// Finds openTag from start, then closeTag after it; content receives the text between and the
// result is its position. -1 (with an empty content) when either tag is missing or the
// content would be empty.
std::ptrdiff_t ExtractXmlTag(std::string_view text, std::string_view openTag, std::string_view closeTag,
                             std::string& content, std::size_t start);

// Every "<name>" and "</name>" of a text, found in one pass, so that an element with many
// children is read in time linear in its size. The text must outlive the index.
class XmlTagIndex {
public:
    explicit XmlTagIndex(std::string_view text);
    // What ExtractXmlTag(text, "<name>", "</name>", content, 0) gives as content.
    std::string Content(std::string_view name) const;

private:
    struct Span {
        std::size_t begin;                         // after the first "<name>"
        std::size_t end = std::string_view::npos;  // the first "</name>" after that
    };
    std::string_view text_;
    std::unordered_map<std::string_view, Span> spans_;
};

// Undoes the escapes that scraped web pages carry (\u00xx, entities, percent escapes), turns
// line breaks and tabs into spaces and trims the ends; with removeSpaces every space goes.
// The request library's flavour has no "&rsquo;" rule.
void UnescapeWebText(std::string& text, bool removeSpaces, Flavor flavor);

// Every byte of 0x80 or more becomes a percent sign and two upper-case hex digits.
std::string PercentEncodeHighBytes(std::string_view text);
// The ANSI text converted to UTF-8, then every byte of 0x80 or more percent-encoded on its own.
std::string UrlEncodeHighBytes(std::string_view text);

}  // namespace download
