#include "player/mediainfo_dll.h"

namespace {

std::wstring Copy(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

CMediaInfoLib& CMediaInfoLib::Default() {
    static CMediaInfoLib lib;
    return lib;
}

bool CMediaInfoLib::Load() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (module_) return true;
    HMODULE module = LoadLibraryW(fileName_.c_str());
    if (!module) return false;
    auto bind = [module](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(GetProcAddress(module, name));
        return fn != nullptr;
    };
    bool all = bind(new_, "MediaInfo_New");
    all = bind(open_, "MediaInfo_Open") && all;
    all = bind(get_, "MediaInfo_Get") && all;
    all = bind(countGet_, "MediaInfo_Count_Get") && all;
    all = bind(delete_, "MediaInfo_Delete") && all;
    if (!all) {
        FreeLibrary(module);
        return false;
    }
    module_ = module;
    return true;
}

void* CMediaInfoLib::New() { return Load() ? new_() : nullptr; }

std::size_t CMediaInfoLib::Open(void* handle, const std::wstring& path) {
    if (!Load() || !handle) return 0;
    return open_(handle, path.c_str());
}

std::wstring CMediaInfoLib::Get(void* handle, MediaInfo_stream_C kind, std::size_t number, const std::wstring& parameter,
                                MediaInfo_info_C info, MediaInfo_info_C search) {
    if (!Load()) return kMediaInfoLoadError;
    if (!handle) return L"";
    return Copy(get_(handle, kind, number, parameter.c_str(), info, search));
}

std::size_t CMediaInfoLib::StreamCount(void* handle, MediaInfo_stream_C kind) {
    if (!Load() || !handle) return 0;
    // Stream number -1 asks for the count of streams of the kind.
    return countGet_(handle, kind, static_cast<std::size_t>(-1));
}

void CMediaInfoLib::Delete(void* handle) {
    if (!handle || !Load()) return;
    delete_(handle);
}
