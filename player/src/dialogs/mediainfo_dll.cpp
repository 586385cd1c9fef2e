#include "player/dialogs/mediainfo_dll.h"

#include <locale.h>

namespace {

std::wstring Copy(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// The library turns a wide file name into the bytes it opens by the C library's conversion, which
// follows the thread's LC_CTYPE: under the C locale a name outside ASCII has no bytes at all. Our
// file names are UTF-8 on disk, so while the library opens one this thread (and only this thread)
// converts as UTF-8; every other category stays as it was.
class ScopedUtf8Ctype {
public:
    ScopedUtf8Ctype() {
        locale_t base = duplocale(uselocale(static_cast<locale_t>(0)));
        if (!base) return;
        utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        if (!utf8_) {
            freelocale(base);
            return;
        }
        previous_ = uselocale(utf8_);
    }
    ~ScopedUtf8Ctype() {
        if (!utf8_) return;
        uselocale(previous_);
        freelocale(utf8_);
    }
    ScopedUtf8Ctype(const ScopedUtf8Ctype&) = delete;
    ScopedUtf8Ctype& operator=(const ScopedUtf8Ctype&) = delete;

private:
    locale_t utf8_ = static_cast<locale_t>(0);
    locale_t previous_ = static_cast<locale_t>(0);
};

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
    ScopedUtf8Ctype utf8Names;
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
