// The field-list reader (comma-separated values with double-quoted fields)
// that folder-information files, settings and definitions all go through.
#include "fuzz_support.h"
#include "platform/field_list.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    const auto fields = splitFields(list);
    if (fields.size() != fieldCount(list))
        std::abort();
    for (std::size_t i = 0; i < fields.size() && i < 64; ++i) {
        const auto field = fieldAt(list, i);
        if (!field || *field != fields[i])
            std::abort();
        (void)toInt(*field);
        (void)toInt64(*field);
        (void)toReal(*field);
    }
    (void)readPair(list);
    (void)readRect(list);
    const std::vector<int> numbers = readIntList(list);
    // Numbers written as a list read back as the same numbers.
    if (readIntList(formatIntList(numbers)) != numbers)
        std::abort();
    // Texts without double quotes survive a quoted list.
    std::vector<std::string> texts;
    for (std::string_view field : fields) {
        if (field.find('"') == std::string_view::npos)
            texts.emplace_back(field);
    }
    if (!texts.empty()) {
        const std::string quoted = formatQuotedList(texts);
        const auto back = splitFields(quoted);
        if (back.size() != texts.size())
            std::abort();
        for (std::size_t i = 0; i < back.size(); ++i) {
            if (back[i] != texts[i])
                std::abort();
        }
    }
    return 0;
}
