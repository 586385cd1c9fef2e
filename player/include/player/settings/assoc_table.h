// The file types the player offers to associate: the [FileAssoc] keys of user.cfg, the check
// boxes of the settings window and the extensions sent to the association agent.
#pragma once

#include <cstddef>

#include "common/assoc_extensions.h"

constexpr size_t kAssocCategoryCount = 10;
constexpr size_t kAssocMpeg12Count = 17;

extern const wchar_t* const AssocCategoryNames[kAssocCategoryCount];

// The extensions of the "System_MPEG1/2_Media" category.
extern const wchar_t* const AssocMpeg12Extensions[kAssocMpeg12Count];

// Index of an entry of AssocCategoryNames.
enum AssocCategory {
    AssocWindowsMedia = 0,
    AssocRealMedia,
    AssocMpeg12Media,
    AssocMpeg4,
    Assoc3gppMedia,
    AssocAppleMedia,
    AssocFlashMedia,
    AssocDvdMedia,
    AssocOtherVideo,
    AssocOtherAudio,
};
