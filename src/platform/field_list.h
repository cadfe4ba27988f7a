#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// Stored values are often lists of fields in one text: a size "110,110", a
// rectangle "0,0,640,480", caption lines "\"$(PicName)\",\"$(PicSize)\"".
// The value is cut at ","; a "," inside double quotes does not cut, and a
// field holding double quotes stands for the text between its first and its
// last quote. These helpers read and write such values for every subsystem.

// Field `index` (0-based) of `list`, or nullopt when the list has fewer
// fields. An empty text has one empty field.
std::optional<std::string_view> fieldAt(std::string_view list, std::size_t index);
// All fields, in order.
std::vector<std::string_view> splitFields(std::string_view list);
// Number of fields (at least 1).
std::size_t fieldCount(std::string_view list);

// Integer value of a number text read the lenient way stored files need:
// leading spaces and tabs, an optional sign, then decimal digits up to the
// first other character. No digits gives 0; values beyond the type saturate.
int toInt(std::string_view text);
std::int64_t toInt64(std::string_view text);
// Real value of a text such as "0.5" (leading spaces skipped; the longest
// number at the start; 0 when there is none). Independent of the locale.
double toReal(std::string_view text);
// A real written as "%f" does in the C locale ("0.500000"), whatever the
// process locale says, so that files stay readable everywhere.
std::string formatReal(double value);

struct IntPair {
    int first = 0;
    int second = 0;
    friend bool operator==(const IntPair&, const IntPair&) = default;
};

struct IntRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const IntRect&, const IntRect&) = default;
};

// Fields 0 and 1 as integers; a missing field reads as 0.
IntPair readPair(std::string_view list);
// "%d,%d".
std::string formatPair(IntPair pair);
// Fields 0 to 3 as integers (missing fields read as 0).
IntRect readRect(std::string_view list);
// "%d,%d,%d,%d".
std::string formatRect(const IntRect& rect);
// Every field as an integer. An empty text gives an empty list.
std::vector<int> readIntList(std::string_view list);
// The numbers joined with ",".
std::string formatIntList(std::span<const int> values);

// Texts joined with ",", each in double quotes so that a "," inside survives
// (a text holding a double quote cannot be stored in a field list).
std::string formatQuotedList(std::span<const std::string> texts);

} // namespace vemra
