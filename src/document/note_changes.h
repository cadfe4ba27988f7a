#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class PictureSource;

// Where a picture's note is kept: the folder whose note file holds it and
// the picture's section in that file.
struct NotePlace {
    std::string folder;
    std::string section;
};

NotePlace notePlaceOf(const PictureSource& entry);
// The place of the plain file `path` (folder + "/" + name).
NotePlace notePlaceOfFile(const std::string& path);

// The note changes of one operation on many files (a move, a delete, a
// rename of a selection). Each note file is read once and its changes are
// held in memory, so the file is written once at the end instead of once
// per picture: rewriting a folder's note file for each of 10,000 moved
// files wrote it 10,000 times. Changes of one file are applied in the order
// they are made, so a name freed by one rename and taken by the next gets
// the right note.
//
// Everything is written by write(), by the destructor (an operation stopped
// part-way or ended by an error keeps what it did), and, while an operation
// runs long, every couple of seconds, so a crash loses little. Each file is
// replaced atomically, as single note writes do; a note file left without
// notes is removed. Not thread-safe: the interface thread or one batch
// tool uses it.
class NoteChanges {
public:
    explicit NoteChanges(std::string centralFolder);
    NoteChanges(const NoteChanges&) = delete;
    NoteChanges& operator=(const NoteChanges&) = delete;
    ~NoteChanges();

    // The note as it stands, changes of this operation included; empty when
    // there is none.
    std::string noteOf(const NotePlace& place);
    // Stores `note` (decoded text) at `place`; an empty note removes the one
    // standing there. False when the note file refused it.
    bool setNote(const NotePlace& place, std::string_view note);
    void removeNote(const NotePlace& place);
    // A picture moved or renamed from `from` to `to` takes `note` along (an
    // empty note clears one at `to`). Should the note file at `to` refuse
    // the note, now or when it is written, the note stays at `from`: the
    // picture's note is never lost.
    void carryNote(const NotePlace& from, const NotePlace& to, std::string_view note);

    // Writes every changed note file, those that received carried notes
    // first. False when a file could not be written; its changes are then
    // forgotten (the file keeps what it held).
    bool write();

private:
    struct NoteFile;
    struct Carried {
        NoteFile* source;
        std::string section;
        std::string note; // as stored (encoded)
    };

    // The note file of `folder`, opened once; null when the folder has none
    // and `create` is false (or no store can be had).
    NoteFile* fileOf(const std::string& folder, bool create);
    bool writeFile(NoteFile& file);
    void writeWhenDue();

    std::string m_centralFolder;
    // By the note file's path, with links resolved: two spellings of a
    // folder must not hold two copies of one file.
    std::map<std::string, std::unique_ptr<NoteFile>> m_files;
    // Folders already looked up; null: the folder has no note file.
    std::map<std::string, NoteFile*> m_folders;
    std::chrono::steady_clock::time_point m_lastWrite;
};

} // namespace vemra
