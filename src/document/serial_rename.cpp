#include "document/serial_rename.h"

#include "document/folder_document.h"
#include "document/note_changes.h"
#include "document/photo_facts.h"
#include "document/picture_notes.h"
#include "document/rename_entry.h"
#include "framework/text_history.h"
#include "framework/update_hint.h"
#include "platform/field_list.h"
#include "platform/file_status.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace vemra {
namespace {

constexpr std::string_view kSection = "Filer";
constexpr std::string_view kFirstKey = "RenameFirst#";
constexpr std::string_view kOldSection = "KPDoc";
constexpr std::string_view kOldFirstKey = "First#";
constexpr std::string_view kOldFormatKey = "RenameFormat";
// Read with this default, the older start number tells whether it exists.
constexpr int kNoOldLayout = 12345678;
// Longer numbers could not be part of a file name anyway.
constexpr int kMaxWidth = 255;
// strftime has no way to say how much room it needs; no file name is
// longer than this.
constexpr std::size_t kMaxDateText = 4096;

// The decimal number at the start of `text` (an optional sign, digits), 0
// when there is none.
int leadingNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long>(value * 10 + (text[i] - '0'), 1'000'000);
    return static_cast<int>(negative ? -value : value);
}

std::string numberText(int number, int width) {
    char text[300];
    if (width <= 0)
        std::snprintf(text, sizeof text, "%d", number);
    else
        std::snprintf(text, sizeof text, "%0*d", std::min(width, kMaxWidth), number);
    return text;
}

std::string withoutExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

bool isSerialRenameFormatValid(std::string_view format) {
    const auto hashes = std::count(format.begin(), format.end(), '#');
    return format.find('%') != std::string_view::npos || hashes == 0 || hashes == 2;
}

std::string formatFileDate(const std::string& format, std::int64_t seconds) {
    if (format.empty())
        return {};
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return format;
    // A result of 0 means "did not fit" or "empty": grow until it fits,
    // and give up (keeping the format) past any possible file name.
    for (std::size_t size = 256; size <= kMaxDateText; size *= 2) {
        std::string text(size, '\0');
        const std::size_t length = std::strftime(text.data(), size, format.c_str(), &local);
        if (length > 0) {
            text.resize(length);
            return text;
        }
    }
    return format;
}

SerialNamer::SerialNamer(std::string format, int firstNumber, CaptionEnvironment environment)
    : m_format(std::move(format)), m_counter(firstNumber),
      m_dateMode(m_format.find('%') != std::string::npos), m_environment(std::move(environment)) {}

std::string SerialNamer::nameFor(const PictureSource& entry) {
    std::string name = expandCaption(m_format, entry, m_environment);
    // The number field is cut from the expanded name, so "#2#-$(PicName)"
    // numbers before each picture's own name. Each name is cut on its own:
    // a name without the field keeps what it is instead of taking the
    // previous picture's parts around a number.
    bool numbered = false;
    if (const auto first = name.find('#'); first != std::string::npos) {
        const auto second = name.find('#', first + 1);
        if (second != std::string::npos) {
            const int width = leadingNumber(std::string_view(name).substr(first + 1));
            name = name.substr(0, first) + numberText(m_counter++, width) + name.substr(second + 1);
            numbered = true;
        }
    }
    if (m_dateMode)
        name = formatFileDate(name, entry.dateTaken != 0 ? entry.dateTaken : entry.lastWriteTime);
    if (!numbered && !m_dateMode && name == m_format)
        name = withoutExtension(entry.fileName) + "." + m_format;
    return name;
}

SerialRenameSettings SerialRenameSettings::load(SettingsStore& store) {
    SerialRenameSettings settings;
    TextHistory history(std::string(kSection), "RenameFormat%d", kHistorySize);
    history.load(store);
    settings.formats = history.entries();
    settings.firstNumber = store.getInt(kSection, kFirstKey, 1);

    const int oldFirst = store.getInt(kOldSection, kOldFirstKey, kNoOldLayout);
    if (oldFirst != kNoOldLayout) {
        settings.firstNumber = oldFirst;
        const std::string oldFormats = store.getText(kOldSection, kOldFormatKey);
        const std::vector<std::string_view> fields = splitFields(oldFormats);
        for (std::size_t i = 1; i < fields.size(); ++i) {
            if (!fields[i].empty() && static_cast<int>(settings.formats.size()) < kHistorySize &&
                std::find(settings.formats.begin(), settings.formats.end(), fields[i]) ==
                    settings.formats.end())
                settings.formats.emplace_back(fields[i]);
        }
        history.setEntries(settings.formats);
        history.save(store);
        store.putInt(kSection, kFirstKey, settings.firstNumber);
        store.deleteKey(kOldSection, kOldFirstKey);
        store.deleteKey(kOldSection, kOldFormatKey);
    }
    return settings;
}

void SerialRenameSettings::accept(SettingsStore& store, const std::string& format, int first) {
    TextHistory history(std::string(kSection), "RenameFormat%d", kHistorySize);
    history.setEntries(formats);
    history.accept(format);
    history.save(store);
    formats = history.entries();
    firstNumber = first;
    store.putInt(kSection, kFirstKey, first);
}

SerialRenameResult serialRenameEntries(FolderDocument& document, std::span<const int> positions,
                                       SerialNamer& namer, DocumentView* sender) {
    SerialRenameResult result;
    // The notes move in memory and the note file is written once at the end.
    NoteChanges notes(document.options().centralCacheFolder());
    for (const int position : positions) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr || entry->isArchiveMember() || !isExistingFile(entry->fullPath()))
            continue;
        if (!entry->noteLoaded) {
            entry->note = notes.noteOf(notePlaceOf(*entry));
            entry->noteLoaded = true;
        }
        // Date fields name a photograph by the day it was taken.
        learnPhotoFacts(*entry, document.pictureLoader());
        const std::string oldName = entry->fileName;
        const std::string newName = namer.nameFor(*entry);
        if (renameEntry(document, position, newName, notes) != 0) {
            result.failures.push_back(oldName + " -> " + newName + " :failed rename");
            continue;
        }
        ++result.renamed;
        document.updateAllViews(sender, hint::RedrawEntry{position});
    }
    notes.write();
    return result;
}

} // namespace vemra
