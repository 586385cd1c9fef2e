#include "player/open_url.h"

#include <algorithm>

#include "common/convert.h"
#include "player/sys_config.h"

std::vector<std::wstring> g_UrlQueue;
int g_nNextUrl = 0;

bool IsSupportedURL(std::string_view text) {
    for (std::string_view scheme : {"http", "https", "ftp", "rtsp"}) {
        if (text.size() < scheme.size() + 3) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == scheme[i];
        }
        if (same && text.substr(scheme.size(), 3) == "://") return true;
    }
    return false;
}

std::vector<std::wstring> SplitString(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    size_t pos = 0;
    for (size_t sep = text.find(L'|'); sep != std::wstring::npos; sep = text.find(L'|', pos)) {
        pieces.push_back(text.substr(pos, sep - pos));
        pos = sep + 1;
    }
    if (pos < text.size()) pieces.push_back(text.substr(pos));
    return pieces;
}

bool TakeNextQueuedUrl(std::wstring* url) {
    if (g_nNextUrl < 0 || static_cast<size_t>(g_nNextUrl) >= g_UrlQueue.size()) return false;
    *url = g_UrlQueue[static_cast<size_t>(g_nNextUrl++)];
    return true;
}

std::wstring CleanUrlInput(const std::wstring& typed) {
    std::wstring text;
    text.reserve(typed.size());
    for (wchar_t c : typed)
        if (c != L'\r' && c != L'\n') text += c;
    return text;
}

std::vector<std::wstring> AcceptedUrls(const std::wstring& input) {
    std::vector<std::wstring> urls;
    for (auto& piece : SplitString(input)) {
        if (piece.empty()) continue;
        if (!IsSupportedURL(WideToUtf8(piece))) return {};
        urls.push_back(std::move(piece));
    }
    return urls;
}

std::wstring ConfirmUrlInput(const std::wstring& typed, IOpenUrlHost& host, CSysConfig& config) {
    const std::wstring text = CleanUrlInput(typed);
    std::vector<std::wstring> urls = AcceptedUrls(text);
    if (urls.empty()) return L"";
    g_UrlQueue = std::move(urls);
    g_nNextUrl = 1;
    host.SetCurrentTitle(text);
    host.SetListItemStopped(host.GetCurrentPath());
    host.OpenMedia(g_UrlQueue[0]);
    host.SetCurrentPath(text);
    auto& history = config.g_UrlHistory;
    if (std::find(history.begin(), history.end(), text) == history.end()) {
        history.push_back(text);
        config.SaveUrlHistory();
    }
    return text;
}
