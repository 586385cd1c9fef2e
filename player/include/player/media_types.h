// Whether a path is an audio file or a playable media file, by its extension.
#pragma once

// Open-dialog filter texts: a description, a bar, patterns separated by semicolons, a bar.
extern const wchar_t* const kMusicFilter;
extern const wchar_t* const kMediaFilter;

// The extension is the file name's last dot and what follows, compared in lower case; a
// null path or filter, or a name without an extension, gives false.
bool IsExtInFilter(const wchar_t* path, const wchar_t* filter);
bool IsMusicFile(const wchar_t* path);
bool IsVideoFile(const wchar_t* path);
