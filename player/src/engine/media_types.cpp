#include "player/engine/media_types.h"

#include <cwchar>
#include <string>

namespace {

enum class MediaKind { Video, Audio };

struct MediaType {
    const wchar_t* ext;
    MediaKind kind;
};

// Every type the player offers in its open dialogs and takes into its play list: the filters and
// the media tests are made from this one table.
constexpr MediaType kMediaTypes[] = {
    {L".asf", MediaKind::Video},   {L".avi", MediaKind::Video},   {L".wm", MediaKind::Video},
    {L".wmp", MediaKind::Video},   {L".wmv", MediaKind::Video},   {L".ram", MediaKind::Video},
    {L".rm", MediaKind::Video},    {L".rmvb", MediaKind::Video},  {L".rp", MediaKind::Video},
    {L".rpm", MediaKind::Video},   {L".rt", MediaKind::Video},    {L".smil", MediaKind::Video},
    {L".scm", MediaKind::Video},   {L".dat", MediaKind::Video},   {L".m1v", MediaKind::Video},
    {L".m2v", MediaKind::Video},   {L".m2p", MediaKind::Video},   {L".m2ts", MediaKind::Video},
    {L".mp2v", MediaKind::Video},  {L".mpe", MediaKind::Video},   {L".mpeg", MediaKind::Video},
    {L".mpeg1", MediaKind::Video}, {L".mpeg2", MediaKind::Video}, {L".mpg", MediaKind::Video},
    {L".mpv", MediaKind::Video},   {L".pss", MediaKind::Video},   {L".pva", MediaKind::Video},
    {L".tp", MediaKind::Video},    {L".td", MediaKind::Video},    {L".tpr", MediaKind::Video},
    {L".ts", MediaKind::Video},    {L".m4b", MediaKind::Video},   {L".m4p", MediaKind::Video},
    {L".m4v", MediaKind::Video},   {L".mp4", MediaKind::Video},   {L".mpeg4", MediaKind::Video},
    {L".3g2", MediaKind::Video},   {L".3gp", MediaKind::Video},   {L".3gp2", MediaKind::Video},
    {L".3gpp", MediaKind::Video},  {L".mov", MediaKind::Video},   {L".qt", MediaKind::Video},
    {L".f4v", MediaKind::Video},   {L".flv", MediaKind::Video},   {L".hlv", MediaKind::Video},
    {L".swf", MediaKind::Video},   {L".ifo", MediaKind::Video},   {L".vob", MediaKind::Video},
    {L".amv", MediaKind::Video},   {L".bik", MediaKind::Video},   {L".csf", MediaKind::Video},
    {L".divx", MediaKind::Video},  {L".evo", MediaKind::Video},   {L".ivm", MediaKind::Video},
    {L".mkv", MediaKind::Video},   {L".mod", MediaKind::Video},   {L".mts", MediaKind::Video},
    {L".ogm", MediaKind::Video},   {L".pmp", MediaKind::Video},   {L".tod", MediaKind::Video},
    {L".vp6", MediaKind::Video},   {L".webm", MediaKind::Video},  {L".xlmv", MediaKind::Video},
    {L".dv", MediaKind::Video},    {L".trp", MediaKind::Video},   {L".xv", MediaKind::Video},
    {L".dpg", MediaKind::Video},
    {L".aac", MediaKind::Audio},   {L".ac3", MediaKind::Audio},   {L".amr", MediaKind::Audio},
    {L".ape", MediaKind::Audio},   {L".cda", MediaKind::Audio},   {L".dts", MediaKind::Audio},
    {L".flac", MediaKind::Audio},  {L".m1a", MediaKind::Audio},   {L".m2a", MediaKind::Audio},
    {L".m4a", MediaKind::Audio},   {L".mid", MediaKind::Audio},   {L".midi", MediaKind::Audio},
    {L".mka", MediaKind::Audio},   {L".mp2", MediaKind::Audio},   {L".mp3", MediaKind::Audio},
    {L".mpa", MediaKind::Audio},   {L".ogg", MediaKind::Audio},   {L".ra", MediaKind::Audio},
    {L".tak", MediaKind::Audio},   {L".tta", MediaKind::Audio},   {L".wav", MediaKind::Audio},
    {L".wma", MediaKind::Audio},   {L".wv", MediaKind::Audio},    {L".mpga", MediaKind::Audio},
    {L".rmi", MediaKind::Audio},   {L".aiff", MediaKind::Audio},  {L".au", MediaKind::Audio},
};

std::wstring Patterns(bool video, bool audio) {
    std::wstring out;
    for (const MediaType& t : kMediaTypes)
        if ((t.kind == MediaKind::Video && video) || (t.kind == MediaKind::Audio && audio)) {
            out += L'*';
            out += t.ext;
            out += L';';
        }
    return out;
}

// Descriptions and patterns, each ended by a NUL (the string's own terminator ends the list).
std::wstring DialogFilter(const wchar_t* media, const wchar_t* movies, const wchar_t* music, const wchar_t* all) {
    std::wstring f;
    auto add = [&f](const wchar_t* desc, const std::wstring& patterns) {
        f += desc;
        f += L'\0';
        f += patterns;
        f += L'\0';
    };
    add(media, Patterns(true, true));
    add(movies, Patterns(true, false));
    add(music, Patterns(false, true));
    add(all, L"*.*");
    return f;
}

}  // namespace

const std::wstring& MusicFilterText() {
    static const std::wstring text = L"Music Files(*.mp3,*.wma,etc)|" + Patterns(false, true) + L"|";
    return text;
}

const std::wstring& MediaFilterText() {
    static const std::wstring text = L"Media Files(*.rmvb,*.mpeg,etc)|" + Patterns(true, true) + L"|";
    return text;
}

std::wstring OpenFileDialogFilter() {
    return DialogFilter(L"媒体文件（*.rmvb,*.mpeg,*.mp3,*.mp4,*.flv）", L"Movie Files(*.rmvb,*.mpeg,etc) ",
                        L"Music Files(*.mp3,*.wma,etc) ", L"All Files(*.*) ");
}

std::wstring AddFilesDialogFilter() {
    return DialogFilter(L"媒体文件（*.rmvb,*.mpeg,*.mp3,*.wma,etc）", L"Movie Files(*.rmvb,*.mpeg,etc)",
                        L"Music Files(*.mp3,*.wma,etc)", L"All Files(*.*)");
}

bool IsExtInFilter(const wchar_t* path, const wchar_t* filter) {
    if (!path || !filter) return false;
    std::wstring_view p(path);
    auto slash = p.rfind(L'/');
    std::wstring_view name = slash == std::wstring_view::npos ? p : p.substr(slash + 1);
    auto dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) return false;
    std::wstring ext(name.substr(dot));
    if (ext.size() >= 256) return false;  // longer than any pattern
    for (auto& c : ext)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    ext += L';';
    return std::wcsstr(filter, ext.c_str()) != nullptr;
}

bool IsMusicFile(const wchar_t* path) { return IsExtInFilter(path, MusicFilterText().c_str()); }

bool IsVideoFile(const wchar_t* path) { return IsExtInFilter(path, MediaFilterText().c_str()); }
