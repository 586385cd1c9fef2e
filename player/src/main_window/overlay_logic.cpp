#include "player/main_window/overlay_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "player/settings/hotkey_text.h"

namespace overlay {

namespace {

std::wstring Printf(const wchar_t* format, double value) {
    wchar_t buf[128];
    std::swprintf(buf, 128, format, value);
    return buf;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::wstring FormatPlayTime(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    long long h = seconds / 3600;
    int m = static_cast<int>(seconds / 60 % 60);
    int s = static_cast<int>(seconds % 60);
    wchar_t buf[64];
    if (h != 0)
        std::swprintf(buf, 64, L"%lld:%.2d:%.2d", h, m, s);
    else
        std::swprintf(buf, 64, L"%.2d:%.2d", m, s);
    return buf;
}

std::wstring PlayTimeLabel(std::int64_t timeSeconds, std::int64_t lengthSeconds) {
    return FormatPlayTime(timeSeconds) + L" / " + FormatPlayTime(lengthSeconds);
}

std::wstring NextUpNotice::Update(std::int64_t lengthSeconds, std::int64_t timeSeconds,
                                  const std::function<std::wstring()>& nextName) {
    std::wstring tip;
    if (!shown_ && lengthSeconds - timeSeconds < 10 && lengthSeconds > 10) {
        std::wstring name = nextName ? nextName() : std::wstring();
        if (!name.empty()) {
            tip = L"接下来将为您播放：" + name;
            shown_ = true;
        }
    }
    if (lengthSeconds - timeSeconds > 10) shown_ = false;
    return tip;
}

RateChange ChangeRate(int requestedTenths) {
    if (requestedTenths > kRateMax) return {kRateMax, false, L"已达最大倍速"};
    if (requestedTenths < kRateMin) return {kRateMin, false, L"已达最小倍速"};
    double rate = requestedTenths / 10.0;
    if (requestedTenths < kRateNormal) return {requestedTenths, true, Printf(L"减速播放：%.1f倍（按Ctrl+R还原）", rate)};
    if (requestedTenths == kRateNormal) return {requestedTenths, true, L"正常速度：1.0倍"};
    return {requestedTenths, true, Printf(L"加速播放：%.1f倍（按Ctrl+R还原）", rate)};
}

int RateToTenths(double rate) {
    if (!(rate > 0)) return kRateNormal;
    long t = std::lround(rate * 10.0);
    return static_cast<int>(std::clamp<long>(t, kRateMin, kRateMax));
}

int SliderValueAtPoint(int x, int left, int right, int thumbWidth, int minValue, int maxValue) {
    int half = thumbWidth / 2;
    if (x >= right - half) return maxValue;
    if (x <= left + half) return minValue;
    long long span = static_cast<long long>(right) - left - thumbWidth;
    if (span <= 0) return minValue;
    return static_cast<int>(minValue + static_cast<long long>(x - half - left) * (maxValue - minValue) / span);
}

std::int64_t SecondsAtValue(int value, std::int64_t lengthMs, int minValue, int maxValue) {
    if (maxValue == minValue) return 0;
    return static_cast<std::int64_t>(value) * (lengthMs / 1000) / (maxValue - minValue);
}

int ProgressTipX(int x, int thumbWidth, int tipWidth) {
    if (x + thumbWidth / 2 < 0) x = 0;
    return x - tipWidth / 2;
}

bool PositionSaveThrottle::Due(const std::wstring& section, std::int64_t nowMs) {
    if (section != section_) {
        section_ = section;
        lastMs_ = nowMs;
        return true;
    }
    if (nowMs - lastMs_ >= kPositionSaveIntervalMs) {
        lastMs_ = nowMs;
        return true;
    }
    return false;
}

int ClampVolume(int v) { return std::clamp(v, 0, kMaxVolume); }

int VolumeStep(int storedVolume, bool up) {
    int v = ClampVolume(storedVolume);
    if (up) return ClampVolume(v < 100 ? v + 5 : v + 20);
    return ClampVolume(v <= 100 ? v - 5 : v - 20);
}

std::wstring VolumeTip(int v) {
    if (v == 100) return L"音量：100%（按↑继续放大音量）";
    if (v == kMaxVolume) return L"音量：1000%（已达到最大）";
    return L"音量：" + std::to_wstring(v) + L"%";
}

HotKeyAction MatchHotKey(const HotKey (&table)[HK_Count], WORD key, WORD mask) {
    if (key == 0 && mask == 0) return HotKeyAction::None;
    auto is = [&](int entry) { return table[entry].wVirtKey == key && table[entry].wModifiers == mask; };
    if (is(HK_PlayPause)) return HotKeyAction::PlayPause;
    if (is(HK_PlayNext)) return HotKeyAction::PlayNext;
    if (key == VK_PRIOR && mask == HOTKEYF_EXT) return HotKeyAction::PlayPrevious;
    static constexpr HotKeyAction kRest[] = {
        HotKeyAction::Stop,     HotKeyAction::FastBackward, HotKeyAction::FastForward, HotKeyAction::VolumeUp,
        HotKeyAction::VolumeDown, HotKeyAction::Mute,       HotKeyAction::OpenFile,    HotKeyAction::OpenUrl,
        HotKeyAction::TopMost,  HotKeyAction::FullScreen,   HotKeyAction::CloseWindow, HotKeyAction::Setting,
    };
    for (int i = HK_StopPlay; i < HK_Count; ++i)
        if (is(i)) return kRest[i - HK_StopPlay];
    constexpr WORD kCtrlExt = HOTKEYF_CONTROL | HOTKEYF_EXT;
    if (key == 'A' && mask == HOTKEYF_CONTROL) return HotKeyAction::Snapshot;
    if (key == VK_PRIOR && mask == kCtrlExt) return HotKeyAction::RateUp;
    if (key == VK_NEXT && mask == kCtrlExt) return HotKeyAction::RateDown;
    if (key == 'R' && mask == HOTKEYF_CONTROL) return HotKeyAction::RateNormal;
    return HotKeyAction::None;
}

WORD KeyMask(UINT key, bool ctrl, bool shift, bool alt) {
    WORD mask = 0;
    if (ctrl) mask |= HOTKEYF_CONTROL;
    if (shift) mask |= HOTKEYF_SHIFT;
    if (alt) mask |= HOTKEYF_ALT;
    switch (key) {
        case VK_INSERT:
        case VK_DELETE:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_NUMLOCK:
        case VK_DIVIDE:
            mask |= HOTKEYF_EXT;
            break;
        default:
            break;
    }
    return mask;
}

bool EnterTogglesFullScreen(bool ctrlDown, bool otherKeyDown) { return ctrlDown || !otherKeyDown; }

int EdgeHitCode(int x, int y, int w, int h) {
    if (x <= 5) return y <= 5 ? 13 : (y < h - 5 ? 10 : 16);
    if (x >= w - 5) return y <= 5 ? 14 : (y < h - 5 ? 11 : 17);
    if (y <= 5) return 12;
    if (y >= h - 5) return 15;
    return 0;
}

FitPlace FitToVideo(const RECT& rc, int vw, int vh, const RECT& work) {
    auto heightFor = [&](long long width) { return static_cast<int>(width * vh / vw); };
    auto widthFor = [&](long long height) { return static_cast<int>(height * vw / vh); };
    const int workW = work.right - work.left, workH = work.bottom - work.top;
    int W = rc.right - rc.left;
    int H = heightFor(W);
    if (H > workH) {
        H = workH;
        W = widthFor(H);
    }
    if (W > workW) {
        W = workW;
        H = heightFor(W);
    }
    const int x = std::max<int>(work.left, std::min<int>(rc.left, work.right - W));
    const int y = std::max<int>(work.top, std::min<int>(rc.top, work.bottom - H));
    return {x, y, W, H};
}

RECT KeepAspectSizing(const RECT& proposed, const RECT& current, int edgeCode, double a, bool vistaOrLater) {
    RECT r = proposed;
    if (!(a > 0)) return r;
    const long W = proposed.right - proposed.left, H = proposed.bottom - proposed.top;
    const bool widthChanged = W != current.right - current.left;
    const bool heightChanged = H != current.bottom - current.top;
    auto byWidth = static_cast<LONG>(W / a);
    auto byHeight = static_cast<LONG>(H * a);
    if (!vistaOrLater && (edgeCode == 15 || edgeCode == 12)) {
        if (edgeCode == 15)
            r.bottom = r.top + byWidth;
        else
            r.top = r.bottom - byWidth;
        r.right = r.left + byHeight;
        return r;
    }
    switch (edgeCode) {
        case 10:
        case 16:
            if (widthChanged)
                r.bottom = r.top + byWidth;
            else if (heightChanged)
                r.left = r.right - byHeight;
            break;
        case 13:
            if (widthChanged)
                r.top = r.bottom - byWidth;
            else if (heightChanged)
                r.left = r.right - byHeight;
            break;
        case 11:
        case 17:
        case 15:
            if (widthChanged)
                r.bottom = r.top + byWidth;
            else if (heightChanged)
                r.right = r.left + byHeight;
            break;
        case 14:
        case 12:
            if (widthChanged)
                r.top = r.bottom - byWidth;
            else if (heightChanged)
                r.right = r.left + byHeight;
            break;
        default:
            break;
    }
    return r;
}

POINT MinTrackSize(POINT minTrack, SIZE skinMin, double a) {
    if (!(a > 0)) return minTrack;
    // The skin's minimum height with the video's own proportions, so a small window still
    // shows the whole picture without bars.
    return POINT{static_cast<LONG>(skinMin.cy * a), skinMin.cy};
}

bool IsDragMove(int pressX, int pressY, int x, int y) { return std::abs(x - pressX) >= 2 || std::abs(y - pressY) >= 2; }

bool InBottomBand(POINT pt, const RECT& rc) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y <= rc.bottom && rc.bottom - pt.y < kBarBand;
}

bool InTopBand(POINT pt, const RECT& rc) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y - rc.top < kBarBand;
}

TopMostChange ToggleTopMostMode(int mode) {
    if (mode == 2) return {1, TopMostZ::TopMost};
    return {2, TopMostZ::NotTopMost};
}

TopMostZ TopMostForMode(int mode, bool playing) {
    if (mode == 1) return TopMostZ::TopMost;
    if (mode == 0 && playing) return TopMostZ::TopMost;
    return TopMostZ::NotTopMost;
}

PadResult PadMenuLabels(const std::vector<PadItem>& items, int defaultWidth, int icoWidth,
                        const std::function<int(const std::wstring&)>& measure) {
    PadResult out;
    const int s = measure(L" ");
    const int avail = defaultWidth - s - icoWidth;
    std::vector<int> widths;
    int widest = avail;
    for (const PadItem& it : items) {
        int w = measure(it.measured.empty() ? it.label + L" " + it.hotKey : it.measured);
        widths.push_back(w);
        widest = std::max(widest, w);
    }
    if (widest > avail) out.fixedWidth = defaultWidth + (widest - avail);
    for (size_t i = 0; i < items.size(); ++i) {
        int n = s > 0 ? (widest - widths[i]) / s : 0;
        out.texts.push_back(items[i].label + L" " + std::wstring(static_cast<size_t>(std::max(n, 0)), L' ') +
                            items[i].hotKey);
    }
    return out;
}

std::wstring MenuHotKeyText(const HotKey& key) {
    std::wstring t = HotKeyToText(key.wVirtKey, key.wModifiers);
    t.erase(std::remove(t.begin(), t.end(), L' '), t.end());
    return t;
}

int DynamicMenuWidth(int widestText) {
    int widest = std::max(158, widestText);
    return widest + 34 > 192 ? widest + 44 : 0;
}

DWORD TransColor(int percent, DWORD rgb) {
    DWORD alpha = static_cast<DWORD>(std::clamp(percent, 0, 100) * 255 / 100);
    if (alpha == 0) alpha = 1;  // a fully transparent layer would stop taking the mouse
    return (alpha << 24) | (rgb & 0xFFFFFF);
}

int TransIndex(int percent) { return kMaxTransLevel - percent / 10; }

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    auto parts = [](const std::wstring& v) {
        std::vector<long> out;
        size_t i = 0;
        while (i <= v.size()) {
            size_t dot = v.find(L'.', i);
            if (dot == std::wstring::npos) dot = v.size();
            std::wstring piece = Trim(v.substr(i, dot - i));
            out.push_back(piece.empty() ? 0 : std::wcstol(piece.c_str(), nullptr, 10));
            i = dot + 1;
        }
        return out;
    };
    std::vector<long> x = parts(a), y = parts(b);
    size_t n = std::max(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        long p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

bool ShouldOfferUpdate(const std::wstring& announced, const std::wstring& skipped, const std::wstring& own) {
    return !announced.empty() && announced != skipped && CompareVersions(announced, own) > 0;
}

}  // namespace overlay

std::wstring ParsePlaySource(const std::wstring& commandLine) {
    std::wstring line = overlay::Trim(commandLine);
    size_t restAt = std::wstring::npos;
    if (!line.empty() && line[0] == L'"') {
        size_t close = line.find(L'"', 1);
        if (close != std::wstring::npos) restAt = close + 1;
    } else {
        restAt = line.find_first_of(L" \t");
    }
    std::wstring rest = restAt == std::wstring::npos ? std::wstring() : line.substr(restAt);
    if (overlay::Trim(rest).empty()) return L"Self";
    size_t s = rest.find(L" -s ");
    if (s == std::wstring::npos) return L"FileAssoc";
    std::wstring tag = rest.substr(s + 4);
    if (!tag.empty() && tag.find(L'.') != std::wstring::npos) return L"FileAssoc";
    return tag;
}
