#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace vemra {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// One iconv conversion descriptor, closed with the object. iconv_open is not
// free (it looks the converter up under a lock), so each thread keeps one
// descriptor per direction and resets its shift state before every use.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;
    ~IconvConverter() {
        if (valid()) {
            ::iconv_close(m_cd);
        }
    }

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    void reset() { ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

    // One call of iconv(); returns the errno of a failure, 0 on success.
    int convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
        char* input = const_cast<char*>(in); // iconv's signature predates const
        const std::size_t r = ::iconv(m_cd, &input, &inLeft, &out, &outLeft);
        in = input;
        return r == static_cast<std::size_t>(-1) ? errno : 0;
    }

private:
    iconv_t m_cd;
};

IconvConverter& cp932ToUtf8() {
    thread_local IconvConverter converter("UTF-8", "CP932");
    return converter;
}

IconvConverter& utf8ToCp932() {
    thread_local IconvConverter converter("CP932", "UTF-8");
    return converter;
}

// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is not a
// well-formed one (RFC 3629, section 4).
std::size_t sequenceLength(std::string_view bytes, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    const std::uint8_t b0 = byte(i);
    const std::size_t left = bytes.size() - i;
    const auto tail = [&](std::size_t k) { return (byte(i + k) & 0xC0) == 0x80; };
    if (b0 < 0x80) {
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        return left >= 2 && tail(1) ? 2 : 0;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3 || !tail(1) || !tail(2)) {
            return 0;
        }
        const std::uint8_t b1 = byte(i + 1);
        if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 >= 0xA0)) {
            return 0; // overlong, or a UTF-16 surrogate
        }
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4 || !tail(1) || !tail(2) || !tail(3)) {
            return 0;
        }
        const std::uint8_t b1 = byte(i + 1);
        if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 >= 0x90)) {
            return 0; // overlong, or beyond U+10FFFF
        }
        return 4;
    }
    return 0;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Plain ASCII dominates real files; skip it eight bytes at a time.
        while (i + 8 <= bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            i += 8;
        }
        if (i >= bytes.size()) {
            break;
        }
        const std::size_t length = sequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string toUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return decodeCp932(bytes);
}

std::string decodeCp932(std::string_view bytes) {
    IconvConverter& converter = cp932ToUtf8();
    std::string result;
    if (!converter.valid()) {
        // Without the converter (a C library without gconv modules) keep what
        // is ASCII and mark the rest, rather than passing on invalid UTF-8.
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                result.push_back(c);
            } else {
                result.append(kReplacement);
            }
        }
        return result;
    }
    converter.reset();
    // Every CP932 byte turns into at most three bytes of UTF-8.
    std::vector<char> buffer(bytes.size() * 3 + 16);
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const int error = converter.convert(in, inLeft, out, outLeft);
        result.append(buffer.data(), static_cast<std::size_t>(out - buffer.data()));
        if (error == 0 || error == E2BIG) {
            continue;
        }
        // EILSEQ (a byte CP932 does not define) or EINVAL (a lead byte cut off
        // at the end): mark one byte and go on after it.
        result.append(kReplacement);
        ++in;
        --inLeft;
        converter.reset();
    }
    return result;
}

std::optional<std::string> encodeCp932(std::string_view utf8) {
    if (!isValidUtf8(utf8)) {
        return std::nullopt;
    }
    IconvConverter& converter = utf8ToCp932();
    if (!converter.valid()) {
        return std::nullopt;
    }
    converter.reset();
    std::string result;
    std::vector<char> buffer(utf8.size() + 16); // CP932 is never longer
    const char* in = utf8.data();
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const int error = converter.convert(in, inLeft, out, outLeft);
        result.append(buffer.data(), static_cast<std::size_t>(out - buffer.data()));
        if (error != 0 && error != E2BIG) {
            return std::nullopt;
        }
    }
    return result;
}

std::string_view utf8Prefix(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) {
        return utf8;
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<std::uint8_t>(utf8[end]) & 0xC0) == 0x80) {
        --end;
    }
    return utf8.substr(0, end);
}

std::string definitionText(std::string_view bytes) {
    std::string text = toUtf8(bytes);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    return text;
}

std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

} // namespace vemra
