// Shell links (.lnk files) through the small object interface the installer code expects:
// CoCreateInstance(CLSID_ShellLink, ..., IID_IShellLinkA) and IPersistFile for load and save.
// The file format is the published binary one; everything we do not change is kept byte for byte.
#pragma once

#include "platform/wintypes.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

extern const CLSID CLSID_ShellLink;
extern const IID IID_IUnknown;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;

#define CLSCTX_INPROC_SERVER 0x1
#define STGM_READ 0x00000000L
#define STGM_READWRITE 0x00000002L
#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057u))
#define E_OUTOFMEMORY (static_cast<HRESULT>(0x8007000Eu))
#define REGDB_E_CLASSNOTREG (static_cast<HRESULT>(0x80040154u))
#define CO_E_NOTINITIALIZED (static_cast<HRESULT>(0x800401F0u))
#define STG_E_FILENOTFOUND (static_cast<HRESULT>(0x80030002u))
#define STG_E_WRITEFAULT (static_cast<HRESULT>(0x8003001Du))
#define STG_E_INVALIDHEADER (static_cast<HRESULT>(0x800300FBu))

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IShellLinkA : IUnknown {
    virtual HRESULT GetPath(LPSTR file, int size) = 0;
    virtual HRESULT SetPath(LPCSTR file) = 0;
    virtual HRESULT GetArguments(LPSTR args, int size) = 0;
    virtual HRESULT SetArguments(LPCSTR args) = 0;

protected:
    ~IShellLinkA() = default;
};

struct IPersistFile : IUnknown {
    virtual HRESULT Load(LPCWSTR fileName, DWORD mode) = 0;
    virtual HRESULT Save(LPCWSTR fileName, BOOL remember) = 0;

protected:
    ~IPersistFile() = default;
};

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD context, const IID& iid, void** out);
