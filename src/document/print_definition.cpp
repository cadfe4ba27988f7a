#include "document/print_definition.h"

#include "document/caption_font.h"
#include "document/caption_macros.h"
#include "document/file_type_icon.h"
#include "imaging/picture_qimage.h"
#include "platform/mapped_file.h"
#include "platform/text_encoding.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vemra {
namespace {

// Far beyond any page, small enough that sums of coordinates stay in range.
constexpr double kMaxPixels = 1 << 24;

int clampedPixels(double value) {
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kMaxPixels, kMaxPixels));
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

std::string_view field(const std::vector<std::string_view>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string_view{};
}

bool isWordSeparator(char c) {
    return c == '(' || c == ')' || c == '+' || c == '-' || c == '*' || c == '/' || c == ' ';
}

// The text's lines: split at CR LF (a lone CR or LF counts too, as notes
// may hold either), an empty line standing as one blank.
QStringList printedLines(const QString& text) {
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = unified.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.isEmpty())
            line = QStringLiteral(" ");
    }
    return lines;
}

// `line` broken into pieces no wider than `width`, between characters as
// the reader sees them (a character of several code units is never split);
// every piece holds at least one character.
QStringList breakLine(const QString& line, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(line) <= width)
        return {line};
    QStringList pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    qsizetype last = 0;
    int used = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        const int advance = metrics.horizontalAdvance(line.mid(last, next - last));
        if (used + advance > width && last > start) {
            pieces.push_back(line.mid(start, last - start));
            start = last;
            used = 0;
        }
        used += advance;
        last = next;
    }
    if (start < line.size())
        pieces.push_back(line.mid(start));
    return pieces;
}

} // namespace

PrintMetrics PrintMetrics::of(const QPaintDevice& device) {
    PrintMetrics m;
    m.widthMm = device.widthMM();
    m.heightMm = device.heightMM();
    m.widthPx = device.width();
    m.heightPx = device.height();
    m.dpiX = std::max(1, device.logicalDpiX());
    m.dpiY = std::max(1, device.logicalDpiY());
    return m;
}

int PrintMetrics::toPixelsX(double mm) const {
    return clampedPixels(std::trunc(mm * dpiX / 25.4));
}

int PrintMetrics::toPixelsY(double mm) const {
    return clampedPixels(std::trunc(mm * dpiY / 25.4));
}

PrintCommand printCommandOf(std::string_view firstField) {
    firstField = trimmed(firstField);
    if (firstField.empty())
        return PrintCommand::None;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    switch (upper(firstField[0])) {
    case 'L':
        return firstField.size() > 1 && upper(firstField[1]) == 'E' ? PrintCommand::Assign
                                                                    : PrintCommand::Line;
    case 'B':
        return PrintCommand::Box;
    case 'P':
        return PrintCommand::Picture;
    case 'S':
        return PrintCommand::String;
    case 'N':
        return PrintCommand::Next;
    default:
        return PrintCommand::None;
    }
}

QColor printColour(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    std::uint32_t value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                  static_cast<int>(value >> 16 & 0xFF));
}

PrintDefinition PrintDefinition::parse(std::string_view bytes) {
    PrintDefinition d;
    const std::string text = definitionText(bytes);
    for (std::string_view line : textLines(text)) {
        line = utf8Prefix(line, kMaxLineBytes);
        if (line.empty() || line.front() == ';')
            continue;
        d.m_lines.emplace_back(line);
    }
    return d;
}

std::optional<PrintDefinition> PrintDefinition::read(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    auto file = MappedFile::open(path);
    if (!file || file->size() > kMaxFileBytes)
        return std::nullopt;
    const auto bytes = file->bytes();
    return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void PrintDefinition::setPageVariables(const PrintMetrics& metrics, int page) {
    m_vars.setInt("PAGEMAX_X", metrics.widthMm);
    m_vars.setInt("PAGEMAX_Y", metrics.heightMm);
    m_vars.setInt("$PAGEMAX_X", metrics.widthMm);
    m_vars.setInt("$PAGEMAX_Y", metrics.heightMm);
    m_vars.setInt("$PAGE", page);
}

void PrintDefinition::drawPage(QPainter& painter, const PrintMetrics& metrics,
                               PrintPictures& pictures) {
    const auto boxOf = [&](const std::vector<std::string_view>& fields) {
        return PrintBox{metrics.toPixelsX(m_vars.evaluate(field(fields, 1))),
                        metrics.toPixelsY(m_vars.evaluate(field(fields, 2))),
                        metrics.toPixelsX(m_vars.evaluate(field(fields, 3))),
                        metrics.toPixelsY(m_vars.evaluate(field(fields, 4)))};
    };
    for (const std::string& line : m_lines) {
        const std::vector<std::string_view> fields = splitFields(line);
        switch (printCommandOf(fields[0])) {
        case PrintCommand::Assign: {
            const std::string_view name =
                utf8Prefix(trimmed(field(fields, 1)), VarTable::kMaxAssignedLength);
            if (name.empty())
                break;
            char text[400];
            std::snprintf(text, sizeof text, "%f", m_vars.evaluate(field(fields, 2)));
            m_vars.setString(name, text);
            break;
        }
        case PrintCommand::Line:
        case PrintCommand::Box:
            drawLine(painter, metrics, fields, printCommandOf(fields[0]) == PrintCommand::Box);
            break;
        case PrintCommand::Picture: {
            const double flags = m_vars.evaluate(field(fields, 5));
            drawPrintPicture(painter, metrics, boxOf(fields),
                             std::isfinite(flags) ? static_cast<int>(std::fmod(flags, 16)) : 0,
                             pictures);
            break;
        }
        case PrintCommand::String:
            if (const PictureSource* entry = pictures.current())
                drawText(painter, metrics, fields, *entry);
            break;
        case PrintCommand::Next:
            pictures.next();
            break;
        case PrintCommand::None:
            break;
        }
    }
}

void PrintDefinition::drawLine(QPainter& painter, const PrintMetrics& metrics,
                               const std::vector<std::string_view>& fields, bool box) const {
    const int x1 = metrics.toPixelsX(m_vars.evaluate(field(fields, 1)));
    const int y1 = metrics.toPixelsY(m_vars.evaluate(field(fields, 2)));
    const int x2 = metrics.toPixelsX(m_vars.evaluate(field(fields, 3)));
    const int y2 = metrics.toPixelsY(m_vars.evaluate(field(fields, 4)));
    // A pen wider than the page draws nothing more, only slower.
    const int width = std::clamp(metrics.toPixelsX(m_vars.evaluate(field(fields, 6))), 1,
                                 std::max({1, metrics.widthPx, metrics.heightPx}));
    painter.save();
    painter.setPen(
        QPen(printColour(field(fields, 5)), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (box) {
        painter.drawLine(x1, y1, x2, y1);
        painter.drawLine(x2, y1, x2, y2);
        painter.drawLine(x2, y2, x1, y2);
        painter.drawLine(x1, y2, x1, y1);
    } else {
        painter.drawLine(x1, y1, x2, y2);
    }
    painter.restore();
}

std::string PrintDefinition::replaceVariableWords(std::string_view text) const {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isWordSeparator(text[i]))
            continue;
        const std::string_view word = text.substr(start, i - start);
        const std::string* value = word.empty() ? nullptr : m_vars.find(word);
        out += value != nullptr ? std::string_view(*value) : word;
        if (i < text.size())
            out += text[i];
        start = i + 1;
    }
    return out;
}

void PrintDefinition::drawText(QPainter& painter, const PrintMetrics& metrics,
                               const std::vector<std::string_view>& fields,
                               const PictureSource& entry) const {
    const int x1 = metrics.toPixelsX(m_vars.evaluate(field(fields, 1)));
    const int y1 = metrics.toPixelsY(m_vars.evaluate(field(fields, 2)));
    const int x2 = metrics.toPixelsX(m_vars.evaluate(field(fields, 3)));
    const int y2 = metrics.toPixelsY(m_vars.evaluate(field(fields, 4)));
    const double styleValue = m_vars.evaluate(field(fields, 9));
    const int style = std::isfinite(styleValue) ? static_cast<int>(std::fmod(styleValue, 16)) : 0;
    const int align = style & 12;

    const QString text =
        QString::fromStdString(replaceVariableWords(expandCaption(field(fields, 5), entry)))
            .left(kMaxTextCharacters);

    QFont font(QString::fromStdString(chooseCaptionFace(trimmed(field(fields, 7)))));
    const double size = m_vars.evaluate(field(fields, 8));
    // Size 0 leaves the height to the face's default.
    if (size != 0 && std::isfinite(size)) {
        const double points = size < 0 ? 1 : size;
        // Letters taller than the page show nothing more, only slower.
        const double pixels = std::min(points * metrics.dpiY / 72,
                                       2.0 * std::max({1, metrics.widthPx, metrics.heightPx}));
        font.setPixelSize(std::max(1, static_cast<int>(pixels)));
    }
    font.setWeight(style & 1 ? QFont::Bold : QFont::Normal);
    font.setItalic((style & 2) != 0);
    const QFont deviceFont(font, painter.device());
    const QFontMetrics fm(deviceFont);

    painter.save();
    painter.setFont(deviceFont);
    painter.setPen(printColour(field(fields, 6)));
    painter.setBackgroundMode(Qt::TransparentMode);
    const QRect box = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    if (align != 0)
        painter.setClipRect(box, Qt::IntersectClip);

    int y = y1;
    const int limit = std::max(metrics.heightPx, y2) + fm.height();
    for (const QString& textLine : printedLines(text)) {
        const QStringList pieces =
            x2 > x1 ? breakLine(textLine, fm, x2 - x1) : QStringList{textLine};
        for (const QString& piece : pieces) {
            if (y > limit)
                break;
            const int w = fm.horizontalAdvance(piece);
            int x = x1;
            if (align == 8)
                x = x2 - w;
            else if (align == 12)
                x = x1 + (x2 - x1 - w) / 2;
            painter.drawText(QPoint(x, y + fm.ascent()), piece);
            y += fm.height();
        }
        if (y > limit)
            break;
    }
    painter.restore();
}

QRectF placePicture(const PrintBox& box, int width, int height, int flags, double maxFactor) {
    const double left = std::min(box.x1, box.x2);
    const double top = std::min(box.y1, box.y2);
    const double boxW = std::abs(static_cast<double>(box.x2) - box.x1);
    const double boxH = std::abs(static_cast<double>(box.y2) - box.y1);
    if (width <= 0 || height <= 0)
        return {};
    double f = std::min(boxW / width, boxH / height);
    if (maxFactor > 0)
        f = std::min(f, maxFactor);
    const double w = width * f;
    const double h = height * f;
    QRectF r(left, top, boxW, boxH);
    switch (flags & 3) {
    case 1:
        r.setWidth(w);
        break;
    case 2:
        r.setLeft(left + boxW - w);
        break;
    case 3:
        r.setLeft(left + (boxW - w) / 2);
        r.setWidth(w);
        break;
    default:
        break;
    }
    switch (flags & 12) {
    case 4:
        r.setHeight(h);
        break;
    case 8:
        r.setTop(top + boxH - h);
        break;
    case 12:
        r.setTop(top + (boxH - h) / 2);
        r.setHeight(h);
        break;
    default:
        break;
    }
    return r;
}

void drawPrintPicture(QPainter& painter, const PrintMetrics& metrics, const PrintBox& box,
                      int flags, PrintPictures& pictures) {
    const PictureSource* entry = pictures.current();
    if (entry == nullptr)
        return;
    if (const PictureBuffer* picture = pictures.decoded()) {
        const QImage image = pictureToImage(*picture);
        if (!image.isNull()) {
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(placePicture(box, image.width(), image.height(), flags), image);
            painter.restore();
            return;
        }
    }
    // A picture no decoder takes is shown by its type's icon, no larger
    // than it would be on a screen page.
    const QImage icon = fileTypeIcon(*entry);
    const QRectF target =
        placePicture(box, icon.width(), icon.height(), flags, metrics.dpiX / 72.0);
    painter.fillRect(target, Qt::white);
    painter.drawImage(target, icon);
}

} // namespace vemra
