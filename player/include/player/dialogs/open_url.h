// Network addresses: the scheme test shared by the open-address dialog and the engine, the
// queue of the addresses of the last confirmed input, and the confirm step itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CSysConfig;

// "http", "https", "ftp" or "rtsp" in any case, followed by "://".
bool IsSupportedURL(std::string_view text);

// The pieces between the separators "|" (empty ones included); text after the last separator
// only when it is not empty.
std::vector<std::wstring> SplitString(const std::wstring& text);

// The addresses of the last confirmed input in input order, and the index of the next one to
// play; the main window works through them as network streams end.
extern std::vector<std::wstring> g_UrlQueue;
extern int g_nNextUrl;

// The next queued address, advancing the index; false when the queue is done.
bool TakeNextQueuedUrl(std::wstring* url);

// What the confirm step needs from the main window.
class IOpenUrlHost {
public:
    virtual ~IOpenUrlHost() = default;
    virtual std::wstring GetCurrentPath() const = 0;
    virtual void SetCurrentPath(const std::wstring& path) = 0;
    virtual void SetCurrentTitle(const std::wstring& title) = 0;
    // The play list shows its current item as stopped and played (CPlayListWnd::SetCurrentItem
    // with state 2).
    virtual void SetListItemStopped(const std::wstring& path) = 0;
    virtual void OpenMedia(const std::wstring& address) = 0;
};

// The input as it is tested, played and remembered: line breaks removed.
std::wstring CleanUrlInput(const std::wstring& typed);

// The addresses of an input: blanks beside the separators and at the end dropped, then empty
// pieces dropped; empty when any piece is not a supported address.
std::vector<std::wstring> AcceptedUrls(const std::wstring& input);
// The addresses joined by the separator.
std::wstring JoinUrls(const std::vector<std::wstring>& urls);

// Confirms an input: when every address in it is supported, the queue holds its addresses, the
// first one plays, and the addresses joined again (JoinUrls) become the host's title and current
// path and go into the history (appended and saved when it holds no equal entry). Returns that
// text, or an empty string when the input was rejected (then nothing changed).
std::wstring ConfirmUrlInput(const std::wstring& typed, IOpenUrlHost& host, CSysConfig& config);
