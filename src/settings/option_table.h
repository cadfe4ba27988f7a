#pragma once

#include "settings/colour_value.h"
#include "settings/settings_store.h"

#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace vemra {

// One stored key of an options struct and the member that holds it. Flags
// and integers are stored with "%d", texts as they are, colours as integers
// with red in the low byte. A key whose value needs a reading rule of its own
// (a pair, a list, a real number) has no member (std::monostate) and is read
// and written by its owner.
template <class Options> struct OptionKey {
    using Member = std::variant<std::monostate, bool Options::*, int Options::*,
                                std::string Options::*, ColourValue Options::*>;
    std::string_view section;
    std::string_view key;
    Member member;
};

// Reads every plain member of `keys`; a missing key keeps the member's value.
template <class Options>
void loadOptionKeys(Options& o, std::span<const OptionKey<Options>> keys, SettingsStore& store) {
    for (const OptionKey<Options>& k : keys) {
        std::visit(
            [&](auto member) {
                using M = decltype(member);
                if constexpr (std::is_same_v<M, bool Options::*>) {
                    o.*member = store.getInt(k.section, k.key, o.*member ? 1 : 0) != 0;
                } else if constexpr (std::is_same_v<M, int Options::*>) {
                    o.*member = store.getInt(k.section, k.key, o.*member);
                } else if constexpr (std::is_same_v<M, std::string Options::*>) {
                    o.*member = store.getText(k.section, k.key, o.*member);
                } else if constexpr (std::is_same_v<M, ColourValue Options::*>) {
                    const int stored = store.getInt(k.section, k.key, static_cast<int>(o.*member));
                    o.*member = colourFromSetting(stored);
                }
            },
            k.member);
    }
}

// The stored text of the plain member of `k`; empty for a key without one.
template <class Options> std::string optionText(const Options& o, const OptionKey<Options>& k) {
    return std::visit(
        [&](auto member) -> std::string {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<M, bool Options::*>) {
                return o.*member ? "1" : "0";
            } else if constexpr (std::is_same_v<M, std::string Options::*>) {
                return o.*member;
            } else if constexpr (std::is_same_v<M, ColourValue Options::*>) {
                return std::to_string(o.*member & 0xFFFFFF);
            } else {
                return std::to_string(o.*member);
            }
        },
        k.member);
}

} // namespace vemra
