#include "player/dialogs/file_info.h"


#include "player/dialogs/mediainfo_dll.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring VideoBlock(CMediaInfoLib& lib, void* h, const std::wstring& resolution) {
    auto get = [&](const wchar_t* p) { return lib.Get(h, MediaInfo_Stream_Video, 0, p); };
    std::wstring s = L"视频流信息\n";
    s += L"    +编码格式: " + get(L"Format") + L"\n";
    s += L"    +视频码率: " + get(L"BitRate/String") + L"\n";
    s += L"    +视频帧率: " + get(L"FrameRate") + L" fps\n";
    s += L"    +分 辨 率: " + resolution + L"\n";
    s += L"    +显示比率: " + get(L"DisplayAspectRatio") + L"\n\n";
    return s;
}

std::wstring AudioBlock(CMediaInfoLib& lib, void* h) {
    auto get = [&](const wchar_t* p) { return lib.Get(h, MediaInfo_Stream_Audio, 0, p); };
    std::wstring s = L"音频流信息\n";
    s += L"    +编码格式: " + get(L"Format") + L"\n";
    s += L"    +音频码率: " + get(L"BitRate/String") + L"\n";
    s += L"    +声 道 数: " + get(L"Channel(s)") + L"\n";
    s += L"    +采 样 数: " + get(L"SamplingRate");
    return s;
}

FileInfoFields ErrorFields(const std::wstring& text) {
    FileInfoFields f;
    f.resolution = f.size = f.bitRate = f.duration = text;
    return f;
}

}  // namespace

FilePathParts SplitMediaPath(const std::wstring& path) {
    FilePathParts parts;
    // A backslash is an ordinary character of a Linux file name.
    size_t sep = path.rfind(L'/');
    if (sep == std::wstring::npos) {
        parts.name = path;
    } else {
        parts.name = path.substr(sep + 1);
        parts.folder = path.substr(0, sep);
        if (parts.folder.empty()) parts.folder = L"/";
    }
    size_t dot = parts.name.rfind(L'.');
    if (dot != std::wstring::npos) parts.type = parts.name.substr(dot + 1);
    return parts;
}

std::wstring SizeWithMB(std::wstring size) {
    for (size_t at = size.find(L"MiB"); at != std::wstring::npos; at = size.find(L"MiB", at + 2))
        size.replace(at, 3, L"MB");
    return size;
}

std::wstring CutTimeFraction(const std::wstring& time) {
    size_t dot = time.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0 || dot + 1 == time.size()) return time;
    for (size_t i = dot + 1; i < time.size(); ++i)
        if (!IsDigit(time[i])) return time;
    // A time of day or a duration: digits, then ":" and two digits before the fraction.
    if (dot < 3 || time[dot - 3] != L':' || !IsDigit(time[dot - 1]) || !IsDigit(time[dot - 2])) return time;
    return time.substr(0, dot);
}

FileInfoFields ReadFileInfo(CMediaInfoLib& lib, const std::wstring& path) {
    if (!lib.Load()) return ErrorFields(kMediaInfoLoadError);
    void* h = lib.New();
    if (!h) return ErrorFields(kMediaInfoLoadError);
    if (lib.Open(h, path) == 0) {
        lib.Delete(h);
        return ErrorFields(kFileInfoReadError);
    }
    FileInfoFields f;
    std::wstring width = lib.Get(h, MediaInfo_Stream_Video, 0, L"Width");
    std::wstring height = lib.Get(h, MediaInfo_Stream_Video, 0, L"Height");
    if (!width.empty() && !height.empty()) f.resolution = width + L"x" + height;
    f.size = SizeWithMB(lib.Get(h, MediaInfo_Stream_General, 0, L"FileSize/String2"));
    f.bitRate = lib.Get(h, MediaInfo_Stream_General, 0, L"BitRate/String");
    if (f.bitRate.empty()) f.bitRate = L"0 Kbps";
    f.duration = CutTimeFraction(lib.Get(h, MediaInfo_Stream_General, 0, L"Duration/String3"));
    if (lib.StreamCount(h, MediaInfo_Stream_Video) > 0) f.codecText += VideoBlock(lib, h, f.resolution);
    if (lib.StreamCount(h, MediaInfo_Stream_Audio) > 0) f.codecText += AudioBlock(lib, h);
    lib.Delete(h);
    return f;
}
