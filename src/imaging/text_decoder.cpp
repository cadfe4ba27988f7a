// Built-in decoder 1004: a plain text file rendered as a page, for folders
// that hold notes beside their pictures. Shift-JIS and UTF-8 text are taken;
// each line becomes one line of the page, cut (not wrapped) at twice the
// characters per line in bytes, blank lines left out.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/drawing_surface.h"
#include "platform/text_encoding.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

#include <mutex>
#include <string>

namespace vemra {
namespace {

constexpr int kTabColumns = 4;
constexpr int kMargin = 2;

bool isLeadByte(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool isNeutral(unsigned b) {
    return (b >= 0x09 && b <= 0x0D) || b == 0x1A || b == 0;
}

// The classification of Shift-JIS text: every byte is text, neutral or a
// reason to refuse the file.
bool looksLikeShiftJis(std::span<const std::byte> window) {
    bool sawText = false;
    const std::size_t classified = window.size() - 1;
    for (std::size_t i = 0; i < classified; ++i) {
        const auto b = std::to_integer<unsigned>(window[i]);
        if (isLeadByte(b)) {
            // The lead consumes its trail, which must be one: binary data
            // is full of lead-byte values followed by anything at all.
            if (!isTrailByte(std::to_integer<unsigned>(window[i + 1]))) {
                return false;
            }
            ++i;
            sawText = true;
        } else if ((b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF)) {
            sawText = true;
        } else if (!isNeutral(b)) {
            return false;
        }
    }
    return sawText;
}

// UTF-8 text with no control characters but white space; a sequence cut by
// the end of the window is forgiven.
bool looksLikeUtf8(std::span<const std::byte> window) {
    std::string_view text(reinterpret_cast<const char*>(window.data()), window.size());
    // Zeros may only pad a short file's window.
    const std::size_t zero = text.find('\0');
    const bool cut = zero == std::string_view::npos;
    if (!cut && text.find_first_not_of('\0', zero) != std::string_view::npos) {
        return false;
    }
    text = text.substr(0, zero);
    bool sawText = false;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && !isNeutral(b)) {
            return false;
        }
        sawText = sawText || b >= 0x20;
    }
    if (!sawText) {
        return false;
    }
    for (int drop = 0; drop <= (cut ? 3 : 0) && drop < static_cast<int>(text.size()); ++drop) {
        if (isValidUtf8(text.substr(0, text.size() - static_cast<std::size_t>(drop)))) {
            return true;
        }
    }
    return false;
}

bool identify(const char* fileName, const void* header) {
    if (fileName != nullptr) {
        const std::string_view name(fileName);
        if (hasExtension(name, ".html") || hasExtension(name, ".htm") ||
            hasExtension(name, ".shtml")) {
            return false;
        }
    }
    const auto h = readIdentifyHeader(header);
    if (!h) {
        return false;
    }
    const auto window = std::span<const std::byte>(h->bytes);
    return looksLikeShiftJis(window) || looksLikeUtf8(window);
}

QSize pageSize(const TextPageLayout& layout) {
    return {layout.charactersPerLine * layout.fontHeight, layout.linesPerPage * layout.fontHeight};
}

int info(const char* /*source*/, std::intptr_t /*offsetOrLength*/, unsigned mode, PictureInfo& info,
         const DecodeOptions& options) {
    if (sourceMode(mode) != SPI_SOURCE_FILE && sourceMode(mode) != SPI_SOURCE_MEMORY) {
        return static_cast<int>(ResultCode::Failure);
    }
    const QSize page = pageSize(options.textLayout);
    info.left = 0;
    info.top = 0;
    info.width = page.width();
    info.height = page.height();
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = 24;
    info.hInfo = nullptr;
    return static_cast<int>(ResultCode::Success);
}

// The windows' face "ＭＳ ゴシック" is found as the IPA Gothic font.
void registerFontSubstitution() {
    static std::once_flag once;
    std::call_once(once, [] {
        QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
        QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
    });
}

// Where a cut at `limit` bytes keeps whole characters.
std::size_t cutAt(std::string_view line, std::size_t limit, bool utf8) {
    if (line.size() <= limit) {
        return line.size();
    }
    std::size_t at = 0;
    while (at < line.size()) {
        const auto b = static_cast<unsigned char>(line[at]);
        std::size_t length = 1;
        if (utf8) {
            length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        } else if (isLeadByte(b)) {
            length = 2;
        }
        if (at + length > limit) {
            break;
        }
        at += length;
    }
    return at;
}

// Tabs become spaces up to the next stop of four columns; wide characters
// take two columns, as they do in a fixed-pitch Japanese font.
QString expandTabs(const QString& line) {
    QString out;
    int column = 0;
    for (const QChar c : line) {
        if (c == QLatin1Char('\t')) {
            const int spaces = kTabColumns - column % kTabColumns;
            out.append(QString(spaces, QLatin1Char(' ')));
            column += spaces;
        } else if (c != QChar(0)) {
            out.append(c);
            column +=
                c.unicode() < 0x100 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) ? 1 : 2;
        }
    }
    return out;
}

ResultCode render(std::span<const std::byte> data, const DecodeOptions& options,
                  PictureBuffer& out) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return ResultCode::LibraryFailure; // fonts need the GUI application
    }
    registerFontSubstitution();
    const TextPageLayout& layout = options.textLayout;
    QSize page = pageSize(layout);
    if (options.hasRequestedSize()) {
        page = QSize(options.requestedWidth > 0 ? options.requestedWidth : page.width(),
                     options.requestedHeight > 0 ? options.requestedHeight : page.height());
    }
    if (static_cast<std::int64_t>(page.width()) * page.height() > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    const QPalette palette = QGuiApplication::palette();
    DrawingSurface surface;
    if (!surface.create(page.width(), page.height(), 24, palette.color(QPalette::Base))) {
        return ResultCode::OutOfMemory;
    }
    QFont font(QString::fromStdString(layout.fontFace));
    font.setPixelSize(std::max(1, layout.fontHeight));
    font.setStyleHint(QFont::Monospace);
    QPainter& painter = surface.painter();
    painter.setFont(font);
    painter.setPen(palette.color(QPalette::Text));
    const int lineHeight = QFontMetrics(font).height();

    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const bool utf8 = isValidUtf8(text);
    const std::size_t limit = static_cast<std::size_t>(std::max(1, layout.charactersPerLine)) * 2;
    auto isBreak = [](char c) { return c == '\r' || c == '\n' || c == '\x1A'; };
    int y = kMargin;
    std::size_t at = 0;
    while (at < text.size() && y < page.height()) {
        while (at < text.size() && isBreak(text[at])) {
            ++at; // a run of breaks is one break
        }
        std::size_t end = at;
        while (end < text.size() && !isBreak(text[end])) {
            ++end;
        }
        if (end == at) {
            break;
        }
        std::string_view line = text.substr(at, end - at);
        line = line.substr(0, cutAt(line, limit, utf8));
        const std::string decoded = utf8 ? std::string(line) : toUtf8(line);
        const QString shown =
            expandTabs(QString::fromUtf8(decoded.data(), static_cast<qsizetype>(decoded.size())));
        painter.drawText(QRect(kMargin, y, page.width() - kMargin, lineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        y += lineHeight;
        at = end;
    }
    PictureBuffer picture = surface.capture();
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    out = std::move(picture);
    return ResultCode::Success;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& options) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    return static_cast<int>(render(input.bytes(), options, out));
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "TXT to DIB filter Ver 0.01 (Vemra)",
    "*.txt",
    "TXT",
};

} // namespace

const BuiltinDecoder kTextDecoder = {
    kTextDecoderId, "--TXT--", "*.TXT", "#InnerTEXT", false, kInformation, identify, info, picture,
};

} // namespace vemra
