// The play-list record and the play-order values.
#pragma once

#include <cstdint>
#include <string>

struct _tagMediaInfo {
    bool bVisible = true;         // not inside a collapsed group
    std::wstring strFilePath;
    std::wstring strFileName;     // the file-name part of the path: the row's title
    std::int32_t nPlayState = 2;  // 0 the current record, playing; 2 not playing
    bool bInvalid = false;        // missing file or bError; not saved
    bool bError = false;          // kept in PlayList.info, never set by the player
    bool bPlayed = false;
    std::int32_t nPlayPos = 0;    // permille, the resume point
    std::int64_t nPlayTime = 0;   // seconds
    std::wstring strGroup;        // empty = top level
};

enum PlayOrder {
    PlayOrderSingleLoop = 0,
    PlayOrderSingle = 1,
    PlayOrderSequential = 2,
    PlayOrderLoop = 3,
    PlayOrderRandom = 4,
};

constexpr int kPlayOrderCount = 5;
constexpr int kDefaultPlayOrder = PlayOrderSequential;

struct PlayOrderInfo {
    const wchar_t* menuItem;  // item name in the play-order menus
    const wchar_t* label;     // tool tip and menu text
    const wchar_t* image;     // strip of three 24 x 24 cells: normal, hot, pushed
};

// Indexed by the PlayOrder value.
extern const PlayOrderInfo kPlayOrders[kPlayOrderCount];
