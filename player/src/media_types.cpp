#include "player/media_types.h"

#include <cwchar>
#include <string>

const wchar_t* const kMusicFilter =
    L"Music Files(*.mp3,*.wma,etc)|*.aac;*.ac3;*.amr;*.ape;*.cda;*.dts;*.flac;*.m1a;*.m2a;*.m4a;*.mid;*.midi;*.mka;"
    L"*.mp2;*.mp3;*.mpa;*.ogg;*.ra;*.tak;*.tta;*.wav;*.wma;*.wv;|";

// The video patterns, then the audio ones. ".asf", ".m2p", ".mpv" and ".ifo" are here as in
// the association list.
const wchar_t* const kMediaFilter =
    L"Media Files(*.rmvb,*.mpeg,etc)|*.adf;*.avi;*.wm;*.wmp;*.wmv;*.ram;*.rm;*.rmvb;*.rp;*.rpm;*.rt;*.smil;*.scm;"
    L"*.dat;*.m1v;*.m2v;*.n2p;*.m2ts;*.mp2v;*.mpe;*.mpeg;*.mpeg1;*.mpeg2;*.mpg;*.mpv2;*.pss;*.pva;*.tp;*.td;*.tpr;"
    L"*.ts;*.m4b;*.m4p;*.m4v;*.mp4;*.mpeg4;*.3g2;*.3gp;*.3gp2;*.3gpp;*.mov;*.qt;*.f4v;*.flv;*.hlv;*.swf;*.iof;*.vob;"
    L"*.amv;*.bik;*.csf;*.divx;*.evo;*.ivm;*.mkv;*.mod;*.mts;*.ogm;*.pmp;*.scm;*.tod;*.vp6;*.webm;*.xlmv;"
    L"*.asf;*.m2p;*.mpv;*.ifo;"
    L"*.aac;*.ac3;*.amr;*.ape;*.cda;*.dts;*.flac;*.m1a;*.m2a;*.m4a;*.mid;*.midi;*.mka;*.mp2;*.mp3;*.mpa;*.ogg;*.ra;"
    L"*.tak;*.tta;*.wav;*.wma;*.wv;|";

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

bool IsMusicFile(const wchar_t* path) { return IsExtInFilter(path, kMusicFilter); }

bool IsVideoFile(const wchar_t* path) { return IsExtInFilter(path, kMediaFilter); }
