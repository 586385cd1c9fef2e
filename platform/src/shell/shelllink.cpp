#include "platform/shell/shelllink.h"

#include <array>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "shelllink_object.h"

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

constexpr std::size_t kHeaderSize = 0x4C;
constexpr DWORD kHasIdList = 0x01;
constexpr DWORD kHasLinkInfo = 0x02;
constexpr DWORD kIsUnicode = 0x80;
// Flags of the five optional strings, in the order they follow in the file.
constexpr std::array<DWORD, 5> kStringFlags = {0x04, 0x08, 0x10, 0x20, 0x40};
constexpr int kRelativePath = 1;
constexpr int kArguments = 3;

DWORD ReadU32(const std::vector<BYTE>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}
WORD ReadU16(const std::vector<BYTE>& b, std::size_t at) { return static_cast<WORD>(b[at] | (b[at + 1] << 8)); }
void PutU16(std::vector<BYTE>& out, WORD v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}

std::u16string WideToUtf16(const std::wstring& w) {
    std::u16string out;
    for (wchar_t wc : w) {
        auto c = static_cast<char32_t>(wc);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring Utf16ToWide(const std::u16string& s) {
    std::wstring out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

// A parsed link: the parts we never touch are kept as raw bytes.
struct LinkData {
    std::vector<BYTE> header;    // the fixed 76-byte header
    std::vector<BYTE> idList;    // size field included
    std::vector<BYTE> linkInfo;  // size field included
    std::array<bool, 5> present{};
    std::array<std::wstring, 5> strings;
    std::vector<BYTE> extra;  // extra data blocks up to and including the terminal block

    DWORD flags() const { return ReadU32(header, 0x14); }
    void setFlags(DWORD f) {
        for (int i = 0; i < 4; ++i) header[0x14 + i] = static_cast<BYTE>(f >> (8 * i));
    }
};

LinkData NewLink() {
    LinkData d;
    d.header.assign(kHeaderSize, 0);
    d.header[0] = 0x4C;
    std::memcpy(&d.header[4], &CLSID_ShellLink, sizeof(GUID));
    d.header[0x3C] = 1;  // show normally
    d.setFlags(kIsUnicode);
    d.extra = {0, 0, 0, 0};
    return d;
}

bool Parse(const std::vector<BYTE>& b, LinkData* out) {
    if (b.size() < kHeaderSize || ReadU32(b, 0) != kHeaderSize) return false;
    GUID clsid;
    std::memcpy(&clsid, &b[4], sizeof clsid);
    if (!(clsid == CLSID_ShellLink)) return false;
    LinkData d;
    d.header.assign(b.begin(), b.begin() + kHeaderSize);
    const DWORD flags = d.flags();
    std::size_t at = kHeaderSize;
    if (flags & kHasIdList) {
        if (at + 2 > b.size()) return false;
        std::size_t len = 2u + ReadU16(b, at);
        if (at + len > b.size()) return false;
        d.idList.assign(b.begin() + at, b.begin() + at + len);
        at += len;
    }
    if (flags & kHasLinkInfo) {
        if (at + 4 > b.size()) return false;
        std::size_t len = ReadU32(b, at);
        if (len < 4 || at + len > b.size()) return false;
        d.linkInfo.assign(b.begin() + at, b.begin() + at + len);
        at += len;
    }
    const bool unicode = flags & kIsUnicode;
    for (std::size_t i = 0; i < kStringFlags.size(); ++i) {
        if (!(flags & kStringFlags[i])) continue;
        if (at + 2 > b.size()) return false;
        std::size_t count = ReadU16(b, at);
        at += 2;
        std::size_t bytes = unicode ? count * 2 : count;
        if (at + bytes > b.size()) return false;
        if (unicode) {
            std::u16string s;
            for (std::size_t k = 0; k < count; ++k) s.push_back(static_cast<char16_t>(ReadU16(b, at + 2 * k)));
            d.strings[i] = Utf16ToWide(s);
        } else {
            d.strings[i] = platform::WideFromAnsi(std::string(b.begin() + at, b.begin() + at + bytes));
        }
        d.present[i] = true;
        at += bytes;
    }
    d.extra.assign(b.begin() + at, b.end());
    if (d.extra.size() < 4) d.extra = {0, 0, 0, 0};
    *out = std::move(d);
    return true;
}

std::vector<BYTE> Serialize(LinkData d) {
    DWORD flags = d.flags();
    // Strings we write ourselves go out as UTF-16, so any text survives.
    bool unicode = flags & kIsUnicode;
    for (std::size_t i = 0; i < kStringFlags.size(); ++i) {
        if (d.present[i])
            flags |= kStringFlags[i];
        else
            flags &= ~kStringFlags[i];
    }
    d.setFlags(flags);
    std::vector<BYTE> out = d.header;
    out.insert(out.end(), d.idList.begin(), d.idList.end());
    out.insert(out.end(), d.linkInfo.begin(), d.linkInfo.end());
    for (std::size_t i = 0; i < kStringFlags.size(); ++i) {
        if (!d.present[i]) continue;
        if (unicode) {
            std::u16string s = WideToUtf16(d.strings[i]);
            PutU16(out, static_cast<WORD>(s.size()));
            for (char16_t c : s) PutU16(out, static_cast<WORD>(c));
        } else {
            std::string s = platform::AnsiFromWide(d.strings[i]);
            PutU16(out, static_cast<WORD>(s.size()));
            out.insert(out.end(), s.begin(), s.end());
        }
    }
    out.insert(out.end(), d.extra.begin(), d.extra.end());
    return out;
}

class ShellLink final : public IShellLinkA, public IPersistFile {
public:
    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (!out) return E_INVALIDARG;
        if (iid == IID_IUnknown || iid == IID_IShellLinkA) {
            *out = static_cast<IShellLinkA*>(this);
        } else if (iid == IID_IPersistFile) {
            *out = static_cast<IPersistFile*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetPath(LPSTR file, int size) override { return CopyOut(data_.strings[kRelativePath], file, size); }
    HRESULT SetPath(LPCSTR file) override { return SetString(kRelativePath, file); }
    HRESULT GetArguments(LPSTR args, int size) override { return CopyOut(data_.strings[kArguments], args, size); }
    HRESULT SetArguments(LPCSTR args) override { return SetString(kArguments, args); }

    HRESULT Load(LPCWSTR fileName, DWORD) override {
        if (!fileName) return E_INVALIDARG;
        std::ifstream in(platform::Utf8FromWide(fileName), std::ios::binary);
        if (!in) return STG_E_FILENOTFOUND;
        std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LinkData parsed;
        if (!Parse(bytes, &parsed)) return STG_E_INVALIDHEADER;
        data_ = std::move(parsed);
        return S_OK;
    }

    HRESULT Save(LPCWSTR fileName, BOOL) override {
        if (!fileName) return E_INVALIDARG;
        // In one step, so a failed save never leaves half a shortcut; an edited shortcut
        // stays the user's file, with its mode, owner and times.
        const std::vector<BYTE> bytes = Serialize(data_);
        const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (!platform::WriteFileAtomic(platform::Utf8FromWide(fileName), view, platform::KeepOfOld::ModeOwnerAndTimes))
            return STG_E_WRITEFAULT;
        return S_OK;
    }

private:
    HRESULT SetString(int index, LPCSTR text) {
        if (!text) return E_INVALIDARG;
        std::wstring w = platform::WideFromAnsi(text);
        if (w.size() > 0xFFFF) return E_INVALIDARG;
        data_.strings[index] = std::move(w);
        data_.present[index] = !data_.strings[index].empty();
        return S_OK;
    }
    static HRESULT CopyOut(const std::wstring& value, LPSTR out, int size) {
        if (!out || size <= 0) return E_INVALIDARG;
        std::string s = platform::AnsiFromWide(value);
        std::size_t n = std::min(s.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(out, s.data(), n);
        out[n] = '\0';
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    LinkData data_ = NewLink();
};

}  // namespace

namespace platform {

IUnknown* NewShellLinkObject() {
    return static_cast<IShellLinkA*>(new (std::nothrow) ShellLink());
}

}  // namespace platform
