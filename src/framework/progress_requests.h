#pragma once

#include <string_view>

namespace vemra {

// The progress display a view lends to long commands run on its behalf:
// a window with a title, one text line and a bar. Every request but close()
// answers whether "中止" was pressed since the previous request (and forgets
// that); before show() and after close() the requests change nothing and
// answer false.
class ProgressRequests {
public:
    virtual ~ProgressRequests() = default;

    // Opens the window (or re-titles the open one) with the range 0-100 at 0.
    virtual bool show(std::string_view title) = 0;
    // The line above the bar.
    virtual bool setText(std::string_view line) = 0;
    // Moves on by `steps`; 0 moves one step of the window's own size.
    virtual bool advance(int steps) = 0;
    virtual bool setPosition(int position) = 0;
    // The range becomes 0..upper (a negative upper counts as 0).
    virtual bool setRange(int upper) = 0;
    virtual void close() = 0;

protected:
    ProgressRequests() = default;
    ProgressRequests(const ProgressRequests&) = default;
    ProgressRequests& operator=(const ProgressRequests&) = default;
};

} // namespace vemra
