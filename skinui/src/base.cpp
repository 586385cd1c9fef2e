// Strings, delegates, the notification map and diagnostics.
#include "skinui/base.h"
#include "skinui/control.h"

#include <cwctype>
#include <cwchar>
#include <iostream>

#include <glib.h>

namespace skinui {

int CDuiString::CompareNoCase(const wchar_t* s) const {
    const wchar_t* a = c_str();
    const wchar_t* b = s ? s : L"";
    for (;; ++a, ++b) {
        wint_t ca = std::towlower(static_cast<wint_t>(*a));
        wint_t cb = std::towlower(static_cast<wint_t>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

void CDuiString::MakeLower() {
    for (auto& c : *this) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

int CDuiString::Format(const wchar_t* fmt, ...) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list ap;
        va_start(ap, fmt);
        int n = std::vswprintf(buf.data(), buf.size(), fmt, ap);
        va_end(ap);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            assign(buf.data(), static_cast<size_t>(n));
            return n;
        }
        if (buf.size() > (1u << 20)) {  // a format that never fits: give up rather than grow forever
            clear();
            return -1;
        }
        buf.resize(buf.size() * 4);
    }
}

CDuiString CDuiString::FromUtf8(const std::string& s) {
    CDuiString out;
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            out.push_back(L'?');
            ++p;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        p = g_utf8_next_char(p);
    }
    return out;
}

std::string CDuiString::ToUtf8() const {
    std::string out;
    out.reserve(size());
    char buf[8];
    for (wchar_t c : *this) {
        int n = g_unichar_to_utf8(static_cast<gunichar>(c), buf);
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

namespace {
struct FnDelegate : CDelegateBase {
    explicit FnDelegate(bool (*f)(void*)) : fn(f) {}
    CDelegateBase* Copy() const override { return new FnDelegate(fn); }
    bool Invoke(void* p) override { return fn(p); }
    bool (*fn)(void*);
};
}  // namespace

std::vector<std::unique_ptr<CDelegateBase>>& CEventSource::Items() {
    if (!items_) items_ = std::make_unique<std::vector<std::unique_ptr<CDelegateBase>>>();
    return *items_;
}

void CEventSource::operator+=(bool (*fn)(void*)) { Items().emplace_back(new FnDelegate(fn)); }

bool CEventSource::operator()(void* param) {
    // A delegate may add another while the list runs: index, not iterators.
    for (size_t i = 0; items_ && i < items_->size(); ++i) {
        if (!(*items_)[i]->Invoke(param)) return false;
    }
    return true;
}

static const DUI_MSGMAP_ENTRY kNoEntries[] = {{nullptr, nullptr, nullptr}};
const DUI_MSGMAP CNotifyPump::messageMap = {nullptr, kNoEntries};

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
    CDuiString senderName;
    if (msg.pSender) senderName = msg.pSender->GetName();
    for (const DUI_MSGMAP* map = GetMessageMap(); map; map = map->pBaseMap) {
        for (const DUI_MSGMAP_ENTRY* e = map->lpEntries; e && e->sMsgType; ++e) {
            if (msg.sType != e->sMsgType) continue;
            if (e->sCtrlName && senderName != e->sCtrlName) continue;
            (this->*(e->pfn))(msg);
            return true;
        }
    }
    return false;
}

namespace {
std::wstring& LastError() {
    static thread_local std::wstring s;
    return s;
}
}  // namespace

void ReportError(const std::wstring& message) {
    LastError() = message;
    std::cerr << "skinui: " << CDuiString(message).ToUtf8() << std::endl;
}

const std::wstring& GetLastErrorMessage() { return LastError(); }

}  // namespace skinui
