// The facts the file-information dialog shows about one media file: the name parts of its
// path and the values the media-information library reads from it.
#pragma once

#include <string>

class CMediaInfoLib;

// Shown in the media fields when the library cannot read the file.
inline constexpr const wchar_t* kFileInfoReadError = L"无法读取该文件的信息";

struct FilePathParts {
    std::wstring name;    // after the last "/", or the whole path
    std::wstring folder;  // before the last "/"; the root stays "/"
    std::wstring type;    // the name's text after its last "."; empty without one
};
FilePathParts SplitMediaPath(const std::wstring& path);

struct FileInfoFields {
    std::wstring resolution;  // "320x240", empty unless both sides are known
    std::wstring size;
    std::wstring bitRate;     // "0 Kbps" when the library knows none
    std::wstring duration;    // without the fraction of a second
    std::wstring codecText;   // the blocks of the first video and the first audio stream
};

// Reads the file through the library. Without the library every media field is
// kMediaInfoLoadError, for a file it cannot read kFileInfoReadError; the codec text is then empty.
FileInfoFields ReadFileInfo(CMediaInfoLib& lib, const std::wstring& path);

// "700 MiB" -> "700 MB"; other units stay.
std::wstring SizeWithMB(std::wstring size);
// "01:23:06.123" -> "01:23:06"; a text that does not end in a fraction of a time stays whole.
std::wstring CutTimeFraction(const std::wstring& time);
