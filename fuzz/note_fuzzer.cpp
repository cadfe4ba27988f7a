// Note texts as note files store them, and the note list the clipboard
// carries, on arbitrary bytes: decoding, and encoding round trips.
#include "document/picture_notes.h"
#include "fuzz_support.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    const std::string text = decodeNote(stored);
    // A note the program stores must read back as the same note.
    if (decodeNote(encodeNote(text)) != text)
        std::abort();

    const std::vector<std::string> notes = parseNoteClipboard(fuzz::asBytes(data, size));
    const std::vector<std::byte> bytes = noteClipboardBytes(notes);
    if (parseNoteClipboard(bytes) != notes)
        std::abort();
    return 0;
}
