#pragma once

#include "document/caption_macros.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class DocumentView;
class FolderDocument;
class PictureSource;
class SettingsStore;

// Serial renaming: one format gives every selected picture its new name.
// The format may hold caption macros ("$(PicName)", expanded first), one
// number field ("##", or "#3#" for three digits padded with zeros) and
// date fields of strftime ("%Y%m%d", in local time: from the date a
// photograph was taken when its EXIF block gives one, else from the file's
// modification time). A format with neither is an extension: "JPG" turns
// photo.jpeg into photo.JPG.

// Whether the dialog accepts `format`: it holds a "%", or no "#", or
// exactly two.
bool isSerialRenameFormatValid(std::string_view format);

// Makes the names of one serial rename, picture by picture.
class SerialNamer {
public:
    SerialNamer(std::string format, int firstNumber, CaptionEnvironment environment = {});

    // The new name of `entry` (its note must be loaded when the format
    // may hold "$(Note)"). The number goes up only for names that took it.
    std::string nameFor(const PictureSource& entry);
    int nextNumber() const { return m_counter; }

private:
    std::string m_format;
    int m_counter;
    bool m_dateMode;
    CaptionEnvironment m_environment;
};

// `format` filled in as strftime does for the local time `seconds`.
std::string formatFileDate(const std::string& format, std::int64_t seconds);

// Section "Filer": the hundred "RenameFormat%d" keys (most recent first)
// and "RenameFirst#". An older settings layout (section "KPDoc", keys
// "First#" and "RenameFormat" as one field list) is taken over once by
// load() and its keys removed.
struct SerialRenameSettings {
    static constexpr int kHistorySize = 100;
    std::vector<std::string> formats;
    int firstNumber = 1;

    static SerialRenameSettings load(SettingsStore& store);
    // Moves `format` to the top of the history and writes all keys.
    void accept(SettingsStore& store, const std::string& format, int first);
};

// What a serial rename did.
struct SerialRenameResult {
    int renamed = 0;
    // "old -> new :failed rename" per picture that kept its name.
    std::vector<std::string> failures;
};

// Renames the plain files at display `positions` (in display order) with
// the names of `namer`; archive members and files that are gone are
// passed over. Each renamed entry is redrawn (RedrawEntry to every view
// but `sender`).
SerialRenameResult serialRenameEntries(FolderDocument& document, std::span<const int> positions,
                                       SerialNamer& namer, DocumentView* sender);

} // namespace vemra
