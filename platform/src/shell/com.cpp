#include "platform/shell/com.h"

#include <atomic>

#include "platform/shell/shelllink.h"
#include "shelllink_object.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {
std::atomic<int> g_comInits{0};
}

HRESULT CoInitialize(LPVOID) { return g_comInits.fetch_add(1) == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    int n = g_comInits.load();
    while (n > 0 && !g_comInits.compare_exchange_weak(n, n - 1)) {
    }
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown*, DWORD, const IID& iid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (g_comInits.load() <= 0) return CO_E_NOTINITIALIZED;
    if (!(clsid == CLSID_ShellLink)) return REGDB_E_CLASSNOTREG;
    IUnknown* object = platform::NewShellLinkObject();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}
