// Whether a path is an audio file or a playable media file, by its extension, and the open
// dialogs' filters: all made from one table of media types, so that what a dialog offers, the
// play list takes.
#pragma once

#include <string>

// Filter texts: a description, a bar, patterns separated by semicolons, a bar. Music holds the
// audio types, media the video types followed by the audio ones.
const std::wstring& MusicFilterText();
const std::wstring& MediaFilterText();

// The file dialogs' filters (pairs of a description and its patterns, each ended by a NUL): all
// media, movies, music, all files. The main window's open dialog and the play list's add-files
// dialog differ only in their descriptions.
std::wstring OpenFileDialogFilter();
std::wstring AddFilesDialogFilter();

// The extension is the file name's last dot and what follows, compared in lower case; a
// null path or filter, or a name without an extension, gives false.
bool IsExtInFilter(const wchar_t* path, const wchar_t* filter);
bool IsMusicFile(const wchar_t* path);
bool IsVideoFile(const wchar_t* path);
