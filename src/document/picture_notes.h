#pragma once

#include "document/picture_source.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Free-text notes on pictures, kept per folder in an ini-format note file
// found like the thumbnail store ("_NOTE_.KPI" in the folder, or a numbered
// ".kpn" file of the central cache folder). Each picture has a section
// "archive:name" (":name" for a plain file) with one key "Note".
namespace vemra {

// The one key of a note's section.
inline constexpr std::string_view kNoteKey = "Note";
// Notes are free text; a generous limit keeps a hostile file from costing
// more than a few megabytes per note.
inline constexpr std::size_t kMaxNoteBytes = 1 << 20;

// Line breaks cannot stand in an ini value: CR LF becomes "`n", a lone CR
// the byte 4 and a lone LF the byte 5.
std::string encodeNote(std::string_view text);
std::string decodeNote(std::string_view stored);

// The section of an entry's note: archive file name, ":", file name.
std::string noteSection(const PictureSource& entry);

// Loads the entry's note once (then `noteLoaded` is set); an entry whose
// folder has no note file gets an empty note and nothing is created.
void loadNote(PictureSource& entry, std::string_view centralFolder);

// Saves the entry's note into the note file of `folder` (the entry's own
// folder when empty). An empty note deletes the entry's section, and a note
// file left with nothing in it is removed. False when the note could not be
// written (a read-only folder, no central name obtainable).
bool saveNote(const PictureSource& entry, std::string_view centralFolder,
              std::string_view folder = {});

// Deletes the entry's note from the note file of `folder` (or its own
// folder), when there is such a file.
void deleteNote(const PictureSource& entry, std::string_view centralFolder,
                std::string_view folder = {});

// The clipboard's list of notes ("CF_ZRVxNOTE"): each note followed by a
// NUL byte, in the order of the file list beside it, then one more NUL.
std::vector<std::byte> noteClipboardBytes(const std::vector<std::string>& notes);
// The notes of such a list; a list without its final NUL still gives the
// notes it holds completely.
std::vector<std::string> parseNoteClipboard(std::span<const std::byte> bytes);

} // namespace vemra
