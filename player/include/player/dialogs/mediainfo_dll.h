// The media-information library, reached at run time through its C interface: loaded by the
// name "MediaInfo.dll" on first use and kept until the process ends. While it cannot be
// loaded every call tries again; text calls then give kMediaInfoLoadError.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "platform/kernel/library.h"

inline constexpr const wchar_t* kMediaInfoLoadError = L"Unable to load MediaInfo.dll";

enum MediaInfo_stream_C {
    MediaInfo_Stream_General = 0,
    MediaInfo_Stream_Video = 1,
    MediaInfo_Stream_Audio = 2,
};

enum MediaInfo_info_C {
    MediaInfo_Info_Name = 0,
    MediaInfo_Info_Text = 1,
};

class CMediaInfoLib {
public:
    explicit CMediaInfoLib(std::wstring fileName = L"MediaInfo.dll") : fileName_(std::move(fileName)) {}
    CMediaInfoLib(const CMediaInfoLib&) = delete;
    CMediaInfoLib& operator=(const CMediaInfoLib&) = delete;

    // The one the program uses.
    static CMediaInfoLib& Default();

    // Loads the library when it is not loaded yet; false while it or an entry point is missing.
    bool Load();

    // Null without the library.
    void* New();
    // 0 without the library or when the file cannot be read.
    std::size_t Open(void* handle, const std::wstring& path);
    // Texts are copied out of the library's buffer at once.
    std::wstring Get(void* handle, MediaInfo_stream_C kind, std::size_t number, const std::wstring& parameter,
                     MediaInfo_info_C info = MediaInfo_Info_Text, MediaInfo_info_C search = MediaInfo_Info_Name);
    // Number of streams of a kind; 0 without the library.
    std::size_t StreamCount(void* handle, MediaInfo_stream_C kind);
    void Delete(void* handle);

private:
    using NewFn = void* (*)();
    using OpenFn = std::size_t (*)(void*, const wchar_t*);
    using GetFn = const wchar_t* (*)(void*, int, std::size_t, const wchar_t*, int, int);
    using CountGetFn = std::size_t (*)(void*, int, std::size_t);
    using DeleteFn = void (*)(void*);

    std::wstring fileName_;
    std::mutex mutex_;
    HMODULE module_ = nullptr;
    NewFn new_ = nullptr;
    OpenFn open_ = nullptr;
    GetFn get_ = nullptr;
    CountGetFn countGet_ = nullptr;
    DeleteFn delete_ = nullptr;
};
