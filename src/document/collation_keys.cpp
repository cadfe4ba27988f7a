#include "document/collation_keys.h"

#include <QLocale>
#include <QString>

#include <unicode/ucol.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace vemra {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// The collator QCollator makes for QLocale(Japanese, Japan) with case
// ignored: the same locale name, normalisation on, secondary strength (case
// is a tertiary difference), digits as characters, punctuation not
// ignored. Null when ICU cannot give one; every text then sorts equal, as
// QCollator's empty keys do.
Collator openCollator(UColAttributeValue strength) {
    const QByteArray name =
        QLocale(QLocale::Japanese, QLocale::Japan).bcp47Name().replace('-', '_').toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open(name.constData(), &status));
    if (U_FAILURE(status) || !collator)
        return nullptr;
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator.get(), UCOL_STRENGTH, strength, &status);
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    return collator;
}

// The collator's key of `text` without its closing zero byte.
void collatorKey(const UCollator* collator, std::u16string_view text,
                 std::vector<std::uint8_t>& out) {
    out.resize(std::max<std::size_t>(out.capacity(), 64));
    const auto length = static_cast<std::int32_t>(text.size());
    const auto* chars = reinterpret_cast<const UChar*>(text.data());
    std::int32_t size =
        ucol_getSortKey(collator, chars, length, out.data(), static_cast<std::int32_t>(out.size()));
    if (size > static_cast<std::int32_t>(out.size())) {
        out.resize(static_cast<std::size_t>(size));
        size = ucol_getSortKey(collator, chars, length, out.data(), size);
    }
    out.resize(size > 0 ? static_cast<std::size_t>(size - 1) : 0);
}

// One weight per ASCII character, in the collator's order: 0 for a
// character the collation ignores (the control characters), equal weights
// for characters it holds equal (the two cases of a letter). ASCII has no
// contractions or expansions in this collation, so a text of ASCII
// characters orders as the row of its weights; that holds only while
// neighbouring weights differ at the first level (a difference at the
// second level would decide only after the whole first level of a text),
// which `usable` records.
struct AsciiWeights {
    std::array<std::uint8_t, 128> weight{};
    bool usable = false;
};

AsciiWeights makeAsciiWeights() {
    AsciiWeights w;
    const Collator collator = openCollator(UCOL_SECONDARY);
    const Collator primary = openCollator(UCOL_PRIMARY);
    if (!collator || !primary)
        return w;
    std::array<std::vector<std::uint8_t>, 128> keys;
    std::vector<std::uint8_t> empty;
    collatorKey(collator.get(), {}, empty);
    std::vector<int> order;
    for (int c = 0; c < 128; ++c) {
        const char16_t unit = static_cast<char16_t>(c);
        collatorKey(collator.get(), std::u16string_view(&unit, 1),
                    keys[static_cast<std::size_t>(c)]);
        if (keys[static_cast<std::size_t>(c)] == empty)
            continue;
        // A character with weights below the first level only would not
        // order as one weight of its own.
        const UChar none = 0;
        if (ucol_strcoll(primary.get(), reinterpret_cast<const UChar*>(&unit), 1, &none, 0) ==
            UCOL_EQUAL)
            return AsciiWeights{};
        order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    int weight = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto c = static_cast<std::size_t>(order[i]);
        if (i == 0 || keys[c] != keys[static_cast<std::size_t>(order[i - 1])]) {
            if (i > 0) {
                const char16_t x = static_cast<char16_t>(order[i - 1]);
                const char16_t y = static_cast<char16_t>(order[i]);
                const auto* px = reinterpret_cast<const UChar*>(&x);
                const auto* py = reinterpret_cast<const UChar*>(&y);
                if (ucol_strcoll(primary.get(), px, 1, py, 1) == UCOL_EQUAL)
                    return AsciiWeights{};
            }
            ++weight;
        }
        w.weight[c] = static_cast<std::uint8_t>(weight);
    }
    w.usable = true;
    return w;
}

const AsciiWeights& asciiWeights() {
    static const AsciiWeights weights = makeAsciiWeights();
    return weights;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

CollationKeys::CollationKeys(std::span<const std::string_view> texts) {
    m_prefixes.reserve(texts.size());
    m_offsets.reserve(texts.size() + 1);
    std::size_t bytes = 0;
    for (const std::string_view text : texts)
        bytes += text.size();
    const AsciiWeights& weights = asciiWeights();
    m_ascii = weights.usable && std::all_of(texts.begin(), texts.end(), isAscii);
    std::vector<std::uint8_t> key;
    if (m_ascii) {
        m_bytes.reserve(bytes);
        for (const std::string_view text : texts) {
            key.clear();
            for (const char c : text) {
                if (const std::uint8_t w = weights.weight[static_cast<unsigned char>(c)])
                    key.push_back(w);
            }
            append(key);
        }
        return;
    }
    const Collator collator = openCollator(UCOL_SECONDARY);
    m_bytes.reserve(bytes * 3);
    std::u16string wide;
    for (const std::string_view text : texts) {
        if (!collator) {
            append({});
            continue;
        }
        if (isAscii(text)) {
            wide.assign(text.begin(), text.end());
            collatorKey(collator.get(), wide, key);
        } else {
            // Qt's reading of UTF-8, invalid bytes included, as QCollator
            // was given the texts.
            const QString converted =
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
            collatorKey(collator.get(),
                        std::u16string_view(reinterpret_cast<const char16_t*>(converted.utf16()),
                                            static_cast<std::size_t>(converted.size())),
                        key);
        }
        append(key);
    }
}

void CollationKeys::append(std::span<const std::uint8_t> key) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < key.size() ? key[i] : 0);
    m_prefixes.push_back(prefix);
    m_bytes.insert(m_bytes.end(), key.begin(), key.end());
    m_offsets.push_back(m_bytes.size());
}

int CollationKeys::compareTails(std::size_t a, std::size_t b) const {
    const std::span<const std::uint8_t> x = key(a);
    const std::span<const std::uint8_t> y = key(b);
    if (x.size() <= 8 || y.size() <= 8) {
        // The prefixes were equal: the shorter ends within them.
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
    const std::size_t common = std::min(x.size(), y.size()) - 8;
    if (const int c = std::memcmp(x.data() + 8, y.data() + 8, common); c != 0)
        return c < 0 ? -1 : 1;
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

} // namespace vemra
