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

// One stored value read over `value`; a missing key keeps it. Out of line:
// inlined into every options struct, the text branch made GCC 12 warn falsely
// about structs that hold no text at all.
void loadOption(bool& value, SettingsStore& store, std::string_view section, std::string_view key);
void loadOption(int& value, SettingsStore& store, std::string_view section, std::string_view key);
void loadOption(std::string& value, SettingsStore& store, std::string_view section,
                std::string_view key);
void loadOption(ColourValue& value, SettingsStore& store, std::string_view section,
                std::string_view key);

// Reads every plain member of `keys`; a missing key keeps the member's value.
template <class Options>
void loadOptionKeys(Options& o, std::span<const OptionKey<Options>> keys, SettingsStore& store) {
    for (const OptionKey<Options>& k : keys) {
        std::visit(
            [&](auto member) {
                if constexpr (!std::is_same_v<decltype(member), std::monostate>) {
                    loadOption(o.*member, store, k.section, k.key);
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

// Writes every plain member of `keys`, in one rewrite of the store.
template <class Options>
void saveOptionKeys(const Options& o, std::span<const OptionKey<Options>> keys,
                    SettingsStore& store) {
    SettingsStore::Batch batch(store);
    for (const OptionKey<Options>& k : keys)
        store.putText(k.section, k.key, optionText(o, k));
}

} // namespace vemra
