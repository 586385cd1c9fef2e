// Shell links (.lnk files) through the interfaces the installer code expects:
// CoCreateInstance(CLSID_ShellLink, ..., IID_IShellLinkA) and IPersistFile for load and save.
// The file format is the published binary one; everything we do not change is kept byte for byte.
#pragma once

#include "platform/shell/com.h"

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;
#define STGM_READ 0x00000000L
#define STGM_READWRITE 0x00000002L
#define STG_E_FILENOTFOUND (static_cast<HRESULT>(0x80030002u))
#define STG_E_WRITEFAULT (static_cast<HRESULT>(0x8003001Du))
#define STG_E_INVALIDHEADER (static_cast<HRESULT>(0x800300FBu))

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
