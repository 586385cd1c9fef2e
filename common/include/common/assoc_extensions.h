// The file types the player offers to associate, shared with the association writers so that
// the player's desktop entry names all of their types.
#pragma once

#include <cstddef>

constexpr size_t kAssocVideoCount = 62;
constexpr size_t kAssocAudioCount = 23;
constexpr size_t kAssocExtensionCount = kAssocVideoCount + kAssocAudioCount;

// With their dot, the 62 video extensions first, then the 23 audio extensions.
extern const wchar_t* const AssocExtensions[kAssocExtensionCount];
