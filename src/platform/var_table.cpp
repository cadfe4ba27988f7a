#include "platform/var_table.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vemra {

std::string substituteByPasses(std::string text, std::span<const Substitution> substitutions) {
    std::size_t work = 0;
    for (int pass = 0; pass < kMaxSubstitutionPasses; ++pass) {
        // Many long values that keep growing would still take long.
        work += text.size() * substitutions.size();
        if (work > kMaxSubstitutionWork)
            break;
        bool replaced = false;
        for (const Substitution& s : substitutions) {
            if (s.name.empty())
                continue;
            const std::size_t at = text.find(s.name);
            if (at == std::string::npos)
                continue;
            if (text.size() - s.name.size() + s.value.size() > kMaxSubstitutedLength)
                return text;
            text.replace(at, s.name.size(), s.value);
            replaced = true;
        }
        if (!replaced)
            break;
    }
    return text;
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isOperatorChar(char c) {
    return c == '(' || c == ')' || c == '+' || c == '-' || c == '*' || c == '/';
}

// A decimal number at the start of `text`, as the C library's atof reads
// it; 0 when there is none.
double decimalPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0;
    const char* begin = text.data() + i;
    const auto result = std::from_chars(begin, text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr == begin)
        return 0;
    return negative ? -value : value;
}

// A recursive-descent reader over one expression; blanks are skipped
// between any two characters.
class ExpressionReader {
public:
    ExpressionReader(const VarTable& table, std::string_view text, int depth,
                     double (VarTable::*operand)(std::string_view, int) const)
        : m_table(table), m_text(text), m_depth(depth), m_operand(operand) {}

    double expression(int nesting) {
        double value = term(nesting);
        for (;;) {
            const char c = peek();
            if (c != '+' && c != '-')
                return value;
            ++m_at;
            const double right = term(nesting);
            value = c == '+' ? value + right : value - right;
        }
    }

private:
    char peek() {
        while (m_at < m_text.size() && isBlank(m_text[m_at]))
            ++m_at;
        return m_at < m_text.size() ? m_text[m_at] : '\0';
    }

    double term(int nesting) {
        double value = factor(nesting);
        for (;;) {
            const char c = peek();
            if (c != '*' && c != '/')
                return value;
            ++m_at;
            const double right = factor(nesting);
            if (c == '*')
                value *= right;
            else
                value = right == 0 ? 0 : value / right;
        }
    }

    double factor(int nesting) {
        const char c = peek();
        if (c == '-' || c == '+') {
            // A sign before an operand, also right after another operator.
            ++m_at;
            if (nesting >= VarTable::kMaxDepth)
                return 0;
            const double value = factor(nesting + 1);
            return c == '-' ? -value : value;
        }
        if (c == '(') {
            ++m_at;
            double value = 0;
            if (nesting < VarTable::kMaxDepth) {
                value = expression(nesting + 1);
            } else {
                skipGroup();
            }
            if (peek() == ')')
                ++m_at;
            return value;
        }
        std::string operand;
        while (m_at < m_text.size() && !isOperatorChar(m_text[m_at])) {
            if (!isBlank(m_text[m_at]))
                operand += m_text[m_at];
            ++m_at;
        }
        if (operand.empty()) {
            // A stray ")" or a missing operand: step over it so that every
            // call makes progress.
            if (c == ')')
                ++m_at;
            return 0;
        }
        return (m_table.*m_operand)(operand, m_depth);
    }

    // Passes over a group nested too deeply, with everything inside it.
    void skipGroup() {
        int open = 1;
        while (m_at < m_text.size() && open > 0) {
            if (m_text[m_at] == '(')
                ++open;
            else if (m_text[m_at] == ')' && --open == 0)
                return;
            ++m_at;
        }
    }

    const VarTable& m_table;
    std::string_view m_text;
    std::size_t m_at = 0;
    int m_depth;
    double (VarTable::*m_operand)(std::string_view, int) const;
};

} // namespace

void VarTable::setString(std::string_view name, std::string_view value) {
    for (auto& [n, v] : m_vars) {
        if (n == name) {
            v = value;
            return;
        }
    }
    m_vars.emplace_back(std::string(name), std::string(value));
}

void VarTable::setInt(std::string_view name, int value) {
    setString(name, std::to_string(value));
}

std::string VarTable::numberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) &&
        value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return std::to_string(static_cast<int>(value));
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

void VarTable::setDouble(std::string_view name, double value) {
    setString(name, numberText(value));
}

const std::string* VarTable::find(std::string_view name) const {
    for (const auto& [n, v] : m_vars) {
        if (n == name)
            return &v;
    }
    return nullptr;
}

bool VarTable::assign(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    const std::size_t nameStart = at;
    while (at < text.size() && !isBlank(text[at]) && text[at] != '=')
        ++at;
    const std::string name(utf8Prefix(text.substr(nameStart, at - nameStart), kMaxAssignedLength));
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (name.empty() || at >= text.size() || text[at] != '=')
        return false;
    ++at;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    const std::string_view rest = text.substr(at);

    if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) {
        const char quote = rest[0];
        std::string value;
        for (std::size_t i = 1; i < rest.size() && rest[i] != quote; ++i) {
            char c = rest[i];
            if (c == '\\' && i + 1 < rest.size()) {
                c = rest[++i];
                if (c == 'n') {
                    value += "\r\n";
                    continue;
                }
                if (c == 't')
                    c = '\t';
            } else if (c == '\r' || c == '\n') {
                continue;
            }
            value += c;
        }
        setString(name, utf8Prefix(value, kMaxAssignedLength));
        return true;
    }
    std::size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end]))
        ++end;
    setDouble(name, evaluate(utf8Prefix(rest.substr(0, end), kMaxAssignedLength)));
    return true;
}

std::string VarTable::substitute(std::string_view text) const {
    std::vector<Substitution> list;
    list.reserve(m_vars.size());
    for (const auto& [n, v] : m_vars)
        list.push_back({n, v});
    return substituteByPasses(std::string(text), list);
}

double VarTable::evaluate(std::string_view expression) const {
    m_lookups = 0;
    return evaluateAt(expression, 0);
}

double VarTable::evaluateAt(std::string_view expression, int depth) const {
    ExpressionReader reader(*this, expression, depth, &VarTable::operandValue);
    return reader.expression(0);
}

double VarTable::operandValue(std::string_view operand, int depth) const {
    const std::string* value = find(operand);
    if (value == nullptr)
        return decimalPrefix(operand);
    // A variable that refers to itself, directly or not, ends here; one
    // that refers to itself twice would otherwise double the work per level.
    if (depth >= kMaxDepth || ++m_lookups > kMaxLookups)
        return 0;
    // The value's words that name variables are replaced once, as text,
    // before the value is read as an expression of its own.
    std::string expanded;
    std::size_t start = 0;
    const std::string& v = *value;
    for (std::size_t i = 0; i <= v.size(); ++i) {
        const bool separator = i == v.size() || isOperatorChar(v[i]) || v[i] == ' ';
        if (!separator)
            continue;
        const std::string_view word(v.data() + start, i - start);
        const std::string* inner = word.empty() ? nullptr : find(word);
        expanded += inner != nullptr ? std::string_view(*inner) : word;
        if (expanded.size() > kMaxSubstitutedLength)
            return 0;
        if (i < v.size())
            expanded += v[i];
        start = i + 1;
    }
    return evaluateAt(expanded, depth + 1);
}

} // namespace vemra
