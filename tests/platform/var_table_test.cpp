#include "platform/var_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vemra {
namespace {

TEST(VarTable, EvaluatesATableOfExpressions) {
    VarTable vars;
    vars.setInt("N", 4);
    vars.setString("SUM", "N+1");
    vars.setString("SELF", "SELF+1");
    vars.setString("TWICE", "TWICE*TWICE+1");
    struct Case {
        const char* expression;
        double value;
    } const cases[] = {
        {"1+2*3", 7},  {"(1+2)*3", 9},   {"10/4", 2.5},
        {"7/0", 0},    {"8-2-1", 5},     {"-3+5", 2},       // a leading minus negates
        {"2*-3", -6},                                       // so does a minus after an operator
        {"2--3", 5},   {"-(2+3)", -5},   {" 1 2 + 3 ", 15}, // blanks between characters are skipped
        {"N*2", 8},    {"SUM*2", 10}, // a value is an expression of its own: (4+1)*2
        {"abc", 0},                   // no number
        {"2.5x", 2.5},                // the leading number
        {"", 0},       {"((((3))))", 3}, {"3)+4", 3}, // a stray parenthesis ends the expression
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(vars.evaluate(c.expression), c.value) << c.expression;
    }
    // Nesting far beyond any sensible depth is refused, not a stack overflow.
    EXPECT_DOUBLE_EQ(vars.evaluate(std::string(100000, '(') + "1"), 0);
    EXPECT_TRUE(std::isfinite(vars.evaluate(std::string(100000, '-') + "1")));
    // A value that refers to itself ends after a bounded number of steps;
    // one that refers to itself twice would take 2^depth lookups unbounded,
    // which the test's time limit would catch as a hang.
    EXPECT_TRUE(std::isfinite(vars.evaluate("SELF")));
    EXPECT_TRUE(std::isfinite(vars.evaluate("TWICE")));
}

TEST(VarTable, AssignmentsSetNumbersAndTexts) {
    VarTable vars;
    struct Case {
        const char* text;
        bool accepted;
        const char* name;
        const char* value;
    } const cases[] = {
        {" N=1", true, "N", "1"},
        {" N = N + 1", true, "N", "1"}, // the value ends at the first blank: "N"
        {" N = N+1", true, "N", "2"},
        {" H=N/4", true, "H", "0.500000"}, // not integral: "%f"
        {" T=\"a\\tb\\nc\\\"d\"", true, "T", "a\tb\r\nc\"d"},
        {" Q='it''s'", true, "Q", "it"},
        {" X", false, "X", nullptr},
        {" =3", false, "", nullptr},
        {" Y 4", false, "Y", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vars.assign(c.text), c.accepted) << c.text;
        const std::string* value = vars.find(c.name);
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr) << c.text;
        } else {
            ASSERT_NE(value, nullptr) << c.text;
            EXPECT_EQ(*value, c.value) << c.text;
        }
    }
    // Names keep their first place and are replaced in place.
    ASSERT_EQ(vars.variables().size(), 4u);
    EXPECT_EQ(vars.variables()[0].first, "N");
    // Names and texts are cut to 199 bytes.
    EXPECT_TRUE(vars.assign(" " + std::string(300, 'n') + "=\"" + std::string(300, 'v') + "\""));
    EXPECT_EQ(vars.find(std::string(199, 'n'))->size(), 199u);
}

TEST(VarTable, SubstitutesByPassesInsideWordsAndStopsOnGrowth) {
    VarTable vars;
    vars.setString("i", "1");
    vars.setString("NAME", "x$i");
    // Every occurrence, also inside longer words, in as many passes as needed;
    // a value's names are replaced too.
    EXPECT_EQ(vars.substitute("<img id=i> NAME"), "<1mg 1d=1> x$1");

    // Values that hold their own name end after a bounded number of passes
    // or at the length limit.
    VarTable growing;
    growing.setString("A", "AA");
    growing.setString("B", "xBy");
    const std::string doubled = growing.substitute("A");
    const std::string wrapped = growing.substitute("B");
    EXPECT_LE(doubled.size(), kMaxSubstitutedLength);
    EXPECT_GT(doubled.size(), 1000u);
    EXPECT_EQ(wrapped.size(), 1u + 2u * kMaxSubstitutionPasses);
}

TEST(VarTable, NumbersAreStoredAsIntegersOrFractions) {
    EXPECT_EQ(VarTable::numberText(3), "3");
    EXPECT_EQ(VarTable::numberText(-2), "-2");
    EXPECT_EQ(VarTable::numberText(0.25), "0.250000");
    EXPECT_EQ(VarTable::numberText(1e12), "1000000000000.000000");
}

} // namespace
} // namespace vemra
