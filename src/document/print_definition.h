#pragma once

#include "platform/var_table.h"

#include <QColor>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPaintDevice;
class QPainter;
class QRectF;

namespace vemra {

class PictureBuffer;
class PictureSource;

// The printable area a page is laid out on: its size in millimetres and in
// device pixels, and the device's resolution.
struct PrintMetrics {
    int widthMm = 0;
    int heightMm = 0;
    int widthPx = 0;
    int heightPx = 0;
    int dpiX = 72;
    int dpiY = 72;

    // The measures of a printer or PDF page as a painter on it sees them.
    static PrintMetrics of(const QPaintDevice& device);
    // Millimetres to device pixels, truncated toward zero; values beyond any
    // page are clamped so that nothing overflows.
    int toPixelsX(double mm) const;
    int toPixelsY(double mm) const;
};

// The commands of a print-definition line, by the letters of its first field.
enum class PrintCommand { None, Assign, Line, Box, Picture, String, Next };

PrintCommand printCommandOf(std::string_view firstField);

// A colour field: hexadecimal digits (leading blanks skipped, reading stops
// at the first other character) forming 0xBBGGRR, red in the low byte.
QColor printColour(std::string_view field);

// The pictures a page draws, as the interpreter sees them: a current
// picture that "N" moves on. The print job gives one per page.
class PrintPictures {
public:
    virtual ~PrintPictures() = default;
    // The current picture's entry, or null when there is none.
    virtual const PictureSource* current() const = 0;
    // The current picture decoded; null when there is none or it cannot be
    // decoded.
    virtual const PictureBuffer* decoded() = 0;
    // Moves to the next picture ("N"); afterwards there may be none.
    virtual void next() = 0;
};

// A print-definition file ("*.dps"): lines of comma-separated fields whose
// first field names a drawing command, with coordinates in millimetres from
// the top-left corner of the printable area and arithmetic expressions over
// the definition's variables.
//
//   LE,name,expression                       assignment, stored as "%f"
//   L,x1,y1,x2,y2,colour,pen width           line
//   B,x1,y1,x2,y2,colour,pen width           outline of a box
//   P,x1,y1,x2,y2,placement                  the current picture in the box
//   S,x1,y1,x2,y2,text,colour,face,size,style  text
//   N                                        the next picture
//
// Lines starting with ";" are comments; empty lines and lines of any other
// letter are skipped.
class PrintDefinition {
public:
    // The longest line kept, in bytes; a longer one is cut there (never
    // inside a character) and its rest dropped.
    static constexpr std::size_t kMaxLineBytes = 4095;
    // The largest file read; a longer one is refused.
    static constexpr std::size_t kMaxFileBytes = 4 << 20;
    // The longest text one "S" command draws, in characters.
    static constexpr int kMaxTextCharacters = 65536;

    // The definition in `bytes` (UTF-8, else Shift-JIS; CR LF or LF).
    static PrintDefinition parse(std::string_view bytes);
    // The definition in a file; nullopt when it does not exist, cannot be
    // read or is longer than kMaxFileBytes.
    static std::optional<PrintDefinition> read(const std::string& path);

    // The command lines in order, comments and empty lines dropped.
    const std::vector<std::string>& lines() const { return m_lines; }
    VarTable& variables() { return m_vars; }
    const VarTable& variables() const { return m_vars; }

    // Sets "PAGEMAX_X", "PAGEMAX_Y" (and the same with "$") and "$PAGE".
    void setPageVariables(const PrintMetrics& metrics, int page);

    // Runs every line once onto `painter`, whose origin is the top-left
    // corner of the printable area.
    void drawPage(QPainter& painter, const PrintMetrics& metrics, PrintPictures& pictures);

private:
    void drawLine(QPainter& painter, const PrintMetrics& metrics,
                  const std::vector<std::string_view>& fields, bool box) const;
    void drawText(QPainter& painter, const PrintMetrics& metrics,
                  const std::vector<std::string_view>& fields, const PictureSource& entry) const;
    // The text with every word that names a variable replaced by its value.
    std::string replaceVariableWords(std::string_view text) const;

    std::vector<std::string> m_lines;
    VarTable m_vars;
};

// A box of a definition line in device pixels, its corners in the order
// given.
struct PrintBox {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// Placement flags of "P": bits 0-1 horizontal (0 stretch, 1 left, 2 right,
// 3 centred), bits 2-3 vertical (0 stretch, 4 top, 8 bottom, 12 centred).
// The rectangle a picture of `width` x `height` takes in `box`; corners
// given in reverse order describe the same box. `maxFactor` > 0 limits the
// scale factor.
QRectF placePicture(const PrintBox& box, int width, int height, int flags, double maxFactor = 0);

// Draws the picture of `pictures` into the box by the placement flags; a
// current picture that cannot be decoded is drawn as its file type's icon
// on white, at most 32 points wide. Nothing without a current picture.
void drawPrintPicture(QPainter& painter, const PrintMetrics& metrics, const PrintBox& box,
                      int flags, PrintPictures& pictures);

} // namespace vemra
