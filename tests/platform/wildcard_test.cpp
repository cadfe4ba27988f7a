#include "platform/wildcard.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

struct Case {
    std::string_view name;
    std::string_view mask;
    bool matches;
};

// One table for every place that matches names: folder masks, decoder
// extension lists and plug-in file names all go through these rules.
TEST(Wildcard, WindowsRulesOnEveryKindOfName) {
    const Case cases[] = {
        // "*" and "*.*" take every name, with or without a ".".
        {"README", "*.*", true},
        {"README", "*", true},
        {"a.b.c", "*", true},
        {"a.b.c", "*.*", true},
        {"", "*", true},
        // Letter case is ignored on both sides.
        {"Photo.JPG", "*.jpg", true},
        {"photo.jpg", "*.JPG", true},
        {"photo.jpeg", "*.jpg", false},
        {"photo.jpg.txt", "*.jpg", false},
        {"x.tar.gz", "*.gz", true},
        {"a.b.jpeg", "*.jpeg", true},
        // "?" is exactly one character; a UTF-8 sequence is one character.
        {"img01.png", "img??.png", true},
        {"img1.png", "img??.png", false},
        {"", "?", false},
        {"写真.jpg", "??.jpg", true},
        {"写真.jpg", "?.jpg", false},
        {"写真.JPG", "写*.jpg", true},
        {"日本語の名前", "*の*", true},
        // "*" backtracks: a literal after it is not taken at its first occurrence.
        {"abcabcd", "*abcd", true},
        {"abab.jpg", "*ab.jpg", true},
        {"a.jpeg", "*.jp*", true},
        // An empty extension: "x.*" also takes "x", and "*." lists names without ".".
        {"img01", "img??.*", true},
        {"img01.png", "img??.*", true},
        {"img1", "img??.*", false},
        {"README", "*.", true},
        {"a.jpg", "*.", false},
        {"README", "*.jpg", false},
        // Leading dots are ordinary characters.
        {".bashrc", "*", true},
        {".bashrc", "*.*", true},
        {".hidden.jpg", "*.jpg", true},
        {".jpg", "*.jpg", true},
        {".jpg", "?*.jpg", false},
        // Trailing dots: a name ending in "." has an empty extension.
        {"name.", "*.*", true},
        {"name.", "*.", true},
        {"name.", "name", false},
        {"name.", "*.jpg", false},
        // Plug-in file names.
        {"ifwebp.SPI", "*.spi", true},
        {"ifwebp.spi.bak", "*.spi", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesWildcard(c.name, c.mask), c.matches)
            << '"' << c.name << "\" against \"" << c.mask << '"';
}

TEST(Wildcard, ListsOfMasksAsDecodersAndSettingsGiveThem) {
    const Case cases[] = {
        {"photo.JPG", "*.jpg;*.jpeg", true},
        {"a.b.jpeg", "*.jpg;*.jpeg", true},
        {"a.png", "*.jpg;*.png", true},
        {"a.gif", "*.jpg;*.png", false},
        // Blanks around a mask are no part of it; empty masks are skipped.
        {"a.png", "*.jpg; *.png", true},
        {"a.png", " *.jpg ;\t*.PNG\t", true},
        {"a.gif", "*.jpg;;*.png;", false},
        {"a.gif", "", false},
        {"a.gif", " ; ", false},
        // Every mask keeps the rules of a single one.
        {"README", "*.jpg;*.*", true},
        {"README", "*.jpg;*.png", false},
        {"写真.jpg", "*.png; ??.jpg", true},
        {"img01", "*.bmp;img??.*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesWildcardList(c.name, c.mask), c.matches)
            << '"' << c.name << "\" against \"" << c.mask << '"';
}

} // namespace
} // namespace vemra
