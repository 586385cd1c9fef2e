#include "player/dialogs/open_url.h"

#include <algorithm>

#include "common/convert.h"
#include "player/settings/sys_config.h"

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
    constexpr const wchar_t* kBlanks = L" \t";
    std::vector<std::wstring> pieces = SplitString(input);
    std::vector<std::wstring> urls;
    for (size_t i = 0; i < pieces.size(); ++i) {
        // Blanks beside a separator or at the end belong to no address; a blank that opens the
        // whole input does not make it one either.
        const std::wstring& piece = pieces[i];
        const size_t last = piece.find_last_not_of(kBlanks);
        if (last == std::wstring::npos) continue;
        const size_t first = i == 0 ? 0 : piece.find_first_not_of(kBlanks);
        std::wstring url = piece.substr(first, last + 1 - first);
        if (!IsSupportedURL(WideToUtf8(url))) return {};
        urls.push_back(std::move(url));
    }
    return urls;
}

std::wstring JoinUrls(const std::vector<std::wstring>& urls) {
    std::wstring text;
    for (const std::wstring& url : urls) {
        if (!text.empty()) text += L'|';
        text += url;
    }
    return text;
}

std::wstring ConfirmUrlInput(const std::wstring& typed, IOpenUrlHost& host, CSysConfig& config) {
    std::vector<std::wstring> urls = AcceptedUrls(CleanUrlInput(typed));
    if (urls.empty()) return L"";
    // The current path must be an address itself (the end of a stream moves on through the
    // queue only then), so the text kept is the addresses alone.
    const std::wstring text = JoinUrls(urls);
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
