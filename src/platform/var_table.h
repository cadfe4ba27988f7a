#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Named text variables with a small arithmetic evaluator, as HTML catalog
// and print-layout definitions use them ("#LET N = N + 1", then N anywhere
// in a template line). Qt-free; one table per document.
namespace vemra {

// One name and the text that replaces it.
struct Substitution {
    std::string_view name;
    std::string_view value;
};

// Limits of the repeated passes below. A value that holds its own name
// (directly or through others) would otherwise grow without end.
inline constexpr int kMaxSubstitutionPasses = 1024;
inline constexpr std::size_t kMaxSubstitutedLength = 1 << 20;
// Bytes searched over all passes of one text (its length times the names,
// per pass), so that a text stops quickly however its values grow.
inline constexpr std::size_t kMaxSubstitutionWork = std::size_t{1} << 27;

// Replaces names by values in repeated passes: in each pass, in the order
// given, the first occurrence of each name (exact, letter case counts,
// anywhere, also inside longer words) is replaced; the passes stop after one
// that replaced nothing. A replacement's value is therefore scanned again.
// The passes also stop after kMaxSubstitutionPasses, and before a
// replacement would make the text longer than kMaxSubstitutedLength or the
// work would pass kMaxSubstitutionWork; the text is then returned as far as
// it got. Empty names are ignored.
std::string substituteByPasses(std::string text, std::span<const Substitution> substitutions);

class VarTable {
public:
    // Longest name and longest text value an assignment keeps, in bytes.
    static constexpr std::size_t kMaxAssignedLength = 199;
    // Deepest nesting of parentheses and of variables holding expressions;
    // deeper parts evaluate to 0.
    static constexpr int kMaxDepth = 32;
    // Variables looked up by one evaluation; further ones count as 0.
    static constexpr int kMaxLookups = 10000;

    // Sets `name` (exact name, letter case counts) to `value`, in place when
    // the name exists, else appended.
    void setString(std::string_view name, std::string_view value);
    void setInt(std::string_view name, int value);
    // An integral value is stored as "%d", any other as "%f".
    void setDouble(std::string_view name, double value);

    // The value of `name`, or null.
    const std::string* find(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& variables() const { return m_vars; }
    void clear() { m_vars.clear(); }

    // Executes the text after "#LET": a name (the first word, up to a blank
    // or "="), optional blanks, "=", optional blanks, a value. A value in
    // double or single quotes is a text up to the matching quote, with "\n"
    // giving CR LF, "\t" a tab and a backslash before any other character
    // that character; CR and LF inside are dropped. Any other value is the
    // word up to the next blank, evaluated as an expression and stored as a
    // number. False (and nothing set) when there is no name or no "=".
    bool assign(std::string_view text);

    // `text` with every variable replaced, by substituteByPasses.
    std::string substitute(std::string_view text) const;

    // Evaluates `expression`: "+", "-", "*", "/" with the usual precedence,
    // parentheses, a minus before an operand as negation; blanks and tabs
    // are ignored. An operand that names a variable stands for its value,
    // in which every word that names a variable is replaced by that
    // variable's value before it is evaluated in turn. Other operands are
    // read as decimal numbers (no number gives 0); division by zero gives 0.
    double evaluate(std::string_view expression) const;

    // The text a number is stored as.
    static std::string numberText(double value);

private:
    double evaluateAt(std::string_view expression, int depth) const;
    double operandValue(std::string_view operand, int depth) const;

    std::vector<std::pair<std::string, std::string>> m_vars;
    mutable int m_lookups = 0;
};

} // namespace vemra
