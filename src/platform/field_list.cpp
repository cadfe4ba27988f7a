#include "platform/field_list.h"

#include <charconv>
#include <limits>

namespace vemra {
namespace {

// End of the field that starts at `begin`: the next "," outside quotes.
std::size_t fieldEnd(std::string_view list, std::size_t begin) {
    bool quoted = false;
    for (std::size_t i = begin; i < list.size(); ++i) {
        if (list[i] == '"') {
            quoted = !quoted;
        } else if (list[i] == ',' && !quoted) {
            return i;
        }
    }
    return list.size();
}

std::string_view unquote(std::string_view field) {
    const std::size_t first = field.find('"');
    if (first == std::string_view::npos) {
        return field;
    }
    const std::size_t last = field.rfind('"');
    if (last == first) {
        // An unterminated quote: the text after it is what was meant.
        return field.substr(first + 1);
    }
    return field.substr(first + 1, last - first - 1);
}

template <typename T> T parseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so that the type's minimum fits too.
    constexpr T lowest = std::numeric_limits<T>::min();
    T value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const T digit = static_cast<T>(text[i] - '0');
        if (value < (lowest + digit) / 10) {
            saturated = true;
            break;
        }
        value = static_cast<T>(value * 10 - digit);
    }
    if (saturated) {
        return negative ? lowest : std::numeric_limits<T>::max();
    }
    if (!negative) {
        return value == lowest ? std::numeric_limits<T>::max() : static_cast<T>(-value);
    }
    return value;
}

} // namespace

std::optional<std::string_view> fieldAt(std::string_view list, std::size_t index) {
    std::size_t begin = 0;
    for (std::size_t n = 0;; ++n) {
        const std::size_t end = fieldEnd(list, begin);
        if (n == index) {
            return unquote(list.substr(begin, end - begin));
        }
        if (end >= list.size()) {
            return std::nullopt;
        }
        begin = end + 1;
    }
}

std::vector<std::string_view> splitFields(std::string_view list) {
    std::vector<std::string_view> fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = fieldEnd(list, begin);
        fields.push_back(unquote(list.substr(begin, end - begin)));
        if (end >= list.size()) {
            return fields;
        }
        begin = end + 1;
    }
}

std::size_t fieldCount(std::string_view list) {
    std::size_t count = 1;
    for (std::size_t end = fieldEnd(list, 0); end < list.size(); end = fieldEnd(list, end + 1)) {
        ++count;
    }
    return count;
}

int toInt(std::string_view text) {
    return parseInteger<int>(text);
}

std::int64_t toInt64(std::string_view text) {
    return parseInteger<std::int64_t>(text);
}

double toReal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i < text.size() && text[i] == '+') {
        ++i; // from_chars does not take a plus sign
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                              std::chars_format::general);
    (void)end;
    return error == std::errc() ? value : 0.0;
}

std::string formatReal(double value) {
    char buffer[400]; // the largest double in fixed notation fits
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (error != std::errc()) {
        return "0.000000";
    }
    return std::string(buffer, end);
}

IntPair readPair(std::string_view list) {
    return {toInt(fieldAt(list, 0).value_or("")), toInt(fieldAt(list, 1).value_or(""))};
}

std::string formatPair(IntPair pair) {
    return std::to_string(pair.first) + "," + std::to_string(pair.second);
}

IntRect readRect(std::string_view list) {
    const auto at = [&](std::size_t i) { return toInt(fieldAt(list, i).value_or("")); };
    return {at(0), at(1), at(2), at(3)};
}

std::string formatRect(const IntRect& rect) {
    const int values[] = {rect.left, rect.top, rect.right, rect.bottom};
    return formatIntList(values);
}

std::vector<int> readIntList(std::string_view list) {
    std::vector<int> values;
    if (list.empty()) {
        return values;
    }
    for (const std::string_view field : splitFields(list)) {
        values.push_back(toInt(field));
    }
    return values;
}

std::string formatIntList(std::span<const int> values) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            text.push_back(',');
        }
        text += std::to_string(values[i]);
    }
    return text;
}

std::string formatQuotedList(std::span<const std::string> texts) {
    std::string text;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            text.push_back(',');
        }
        text.push_back('"');
        text += texts[i];
        text.push_back('"');
    }
    return text;
}

} // namespace vemra
