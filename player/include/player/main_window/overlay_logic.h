// The decisions of the bars over the video, the main window's input and the menus, apart from
// their windows so that each can be checked alone: time texts, rate and volume steps, the hot-key
// table, the edge and sizing tables, label padding, top-most and transparency values, the start
// source and the version comparison.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "player/settings/sys_config.h"

namespace overlay {

// ---- Play panel ------------------------------------------------------------------------------

// "h:mm:ss" when there are hours (a day or more keeps all of them), else "mm:ss"; negative
// durations read as 0.
std::wstring FormatPlayTime(std::int64_t seconds);
// "time / length".
std::wstring PlayTimeLabel(std::int64_t timeSeconds, std::int64_t lengthSeconds);

// The "next up" notice near the end of a medium: shown once per approach, armed again once more
// than 10 s remain.
class NextUpNotice {
public:
    // The notice text to show now, or empty. nextName is asked only when the notice is due.
    std::wstring Update(std::int64_t lengthSeconds, std::int64_t timeSeconds,
                        const std::function<std::wstring()>& nextName);
    bool shown() const { return shown_; }
    void Reset() { shown_ = false; }

private:
    bool shown_ = false;
};

// Rates are whole tenths, 1 (0.1) to 40 (4.0), so that steps never drift.
inline constexpr int kRateMin = 1;
inline constexpr int kRateMax = 40;
inline constexpr int kRateNormal = 10;
struct RateChange {
    int tenths;          // the rate kept afterwards
    bool applyToEngine;  // false at the limits
    std::wstring tip;
};
RateChange ChangeRate(int requestedTenths);
// Nearest tenth of a factor (a rate libVLC reports).
int RateToTenths(double rate);

// The seek slider's value under x (as FormatTimeAtPoint reads it), with the slider's rectangle
// left..right, its thumb width and range.
int SliderValueAtPoint(int x, int left, int right, int thumbWidth, int minValue, int maxValue);
// Seconds of the medium at a slider value.
std::int64_t SecondsAtValue(int value, std::int64_t lengthMs, int minValue, int maxValue);
// Left edge of the time tip over the slider, in panel client coordinates.
int ProgressTipX(int x, int thumbWidth, int tipWidth);

// Seconds between position writes while a medium plays.
inline constexpr std::int64_t kPositionSaveIntervalMs = 5000;
// Whether a position report should be written: the first of a record, then at most every
// kPositionSaveIntervalMs.
class PositionSaveThrottle {
public:
    bool Due(const std::wstring& section, std::int64_t nowMs);
    void Reset() { section_.clear(); }

private:
    std::wstring section_;
    std::int64_t lastMs_ = 0;
};

// ---- Volume ----------------------------------------------------------------------------------

int ClampVolume(int v);
// One wheel or hot-key step from the stored volume: 5 below 100 (up) or up to 100 (down), else 20.
int VolumeStep(int storedVolume, bool up);
// The notice of a volume already clamped.
std::wstring VolumeTip(int v);

// ---- Main window input -----------------------------------------------------------------------

enum class HotKeyAction {
    None,
    PlayPause,
    PlayNext,
    PlayPrevious,
    Stop,
    FastBackward,
    FastForward,
    VolumeUp,
    VolumeDown,
    Mute,
    OpenFile,
    OpenUrl,
    TopMost,
    FullScreen,
    CloseWindow,
    Setting,
    Snapshot,
    RateUp,
    RateDown,
    RateNormal,
};
// The first match in the fixed order: entries 0 and 1, PgUp, entries 2..13, then the fixed
// snapshot and rate keys. Key 0 with mask 0 matches nothing.
HotKeyAction MatchHotKey(const HotKey (&table)[HK_Count], WORD key, WORD mask);
// The hot-key mask of a key press: Ctrl 2, Shift 1, Alt 4, and 8 for the extended keys.
WORD KeyMask(UINT key, bool ctrl, bool shift, bool alt);
// Enter toggles full screen with Ctrl, or when no other key is held.
bool EnterTogglesFullScreen(bool ctrlDown, bool otherKeyDown);

// Hit code (10..17) of a point near the edge of a w x h client area, 0 elsewhere.
int EdgeHitCode(int x, int y, int w, int h);
// The sizing rectangle that keeps the aspect `a` (width / height) for the edge code.
RECT KeepAspectSizing(const RECT& proposed, const RECT& current, int edgeCode, double a, bool vistaOrLater);
// Where fitting the window `rc` to a vw x vh video puts it: the width kept and the height
// following it, both cut to the work area with the aspect kept, and the window moved up or left
// as far as it reaches past the work area's bottom or right edge (never above or left of it).
struct FitPlace {
    int x, y, width, height;
};
FitPlace FitToVideo(const RECT& rc, int vw, int vh, const RECT& work);
// Minimum track size while a video of aspect `a` is shown: the skin's minimum height, the width
// that keeps the aspect. Without a known aspect `minTrack` stays.
POINT MinTrackSize(POINT minTrack, SIZE skinMin, double a);
// The left release started a drag when it moved 2 pixels or more.
bool IsDragMove(int pressX, int pressY, int x, int y);
// Within 80 pixels of the bottom (panel) or top (caption) edge, x inside the window.
inline constexpr int kBarBand = 80;
bool InBottomBand(POINT pt, const RECT& rc);
bool InTopBand(POINT pt, const RECT& rc);

// ---- Top-most ------------------------------------------------------------------------------

enum class TopMostZ { NotTopMost, TopMost };
// The hot key: modes 0 and 1 go to 2 (not top-most), 2 goes to 1 (top-most).
struct TopMostChange {
    int mode;
    TopMostZ z;
};
TopMostChange ToggleTopMostMode(int mode);
// The window's z-state right after a menu picks `mode` (0 top-most while playing).
TopMostZ TopMostForMode(int mode, bool playing);

// ---- Menus ---------------------------------------------------------------------------------

struct PadItem {
    std::wstring label;     // shown before the key text
    std::wstring hotKey;    // key text, blanks already removed
    std::wstring measured;  // what the width is measured on (label + " " + hotKey when empty)
};
struct PadResult {
    int fixedWidth = 0;  // 0: the submenu keeps its width
    std::vector<std::wstring> texts;
};
// Hot-key texts aligned at the right: blanks between label and key text fill the available
// width, and the submenu widens by the excess of the widest item.
PadResult PadMenuLabels(const std::vector<PadItem>& items, int defaultWidth, int icoWidth,
                        const std::function<int(const std::wstring&)>& measure);
// Hot-key text as the menus show it: HotKeyToText without blanks.
std::wstring MenuHotKeyText(const HotKey& key);
// Width of a dynamic submenu for its widest text, 0 when the default 192 does.
int DynamicMenuWidth(int widestText);

// Transparency level p (0..80 percent) as a colour over `rgb` (alpha never 0) and as its index.
DWORD TransColor(int percent, DWORD rgb);
int TransIndex(int percent);
// The index of the 0 % level; level p has index kMaxTransLevel - p / 10.
inline constexpr int kMaxTransLevel = 8;
inline constexpr DWORD kPlayListTransRgb = 0x040404;
inline constexpr DWORD kCaptionTransRgb = 0x373737;

// ---- Start-up --------------------------------------------------------------------------------

// Compares dotted versions number by number (missing numbers count as 0): <0, 0, >0.
int CompareVersions(const std::wstring& a, const std::wstring& b);
// An announced version is offered when it is set, not the skipped one, and newer than ours.
bool ShouldOfferUpdate(const std::wstring& announced, const std::wstring& skipped, const std::wstring& own);

}  // namespace overlay

// The "source" word of the usage reports for a command line: "Self" without an argument, the
// tag after " -s " when it holds no dot, "FileAssoc" otherwise. The program path is skipped as
// the file argument's parser skips it (quoted up to its quote, else up to the first blank).
std::wstring ParsePlaySource(const std::wstring& commandLine);
