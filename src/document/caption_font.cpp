#include "document/caption_font.h"

#include "document/document_options.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <mutex>

namespace vemra {
namespace {

bool installed(const QString& family) {
    return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

} // namespace

void registerFontSubstitutions() {
    static std::once_flag once;
    std::call_once(once, [] {
        const struct {
            const char* windowsFace;
            const char* family;
        } substitutions[] = {
            {"ＭＳ ゴシック", "IPAGothic"}, {"ＭＳ Ｐゴシック", "IPAPGothic"},
            {"MS Gothic", "IPAGothic"},     {"MS PGothic", "IPAPGothic"},
            {"ＭＳ 明朝", "IPAMincho"},     {"ＭＳ Ｐ明朝", "IPAPMincho"},
        };
        for (const auto& s : substitutions) {
            QFont::insertSubstitution(QString::fromUtf8(s.windowsFace),
                                      QString::fromUtf8(s.family));
        }
    });
}

std::string chooseCaptionFace(std::string_view wanted) {
    if (QGuiApplication::instance() == nullptr) {
        return std::string(wanted);
    }
    registerFontSubstitutions();
    const QString face = QString::fromUtf8(wanted.data(), static_cast<qsizetype>(wanted.size()));
    if (installed(face)) {
        return std::string(wanted);
    }
    const QStringList substitutes = QFont::substitutes(face);
    if (std::any_of(substitutes.begin(), substitutes.end(), installed)) {
        return std::string(wanted);
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdString();
}

QFont captionFont(const DocumentOptions& options) {
    registerFontSubstitutions();
    QFont font(QString::fromStdString(options.fontFaceName));
    if (options.fontHeight != 0) {
        // A positive height is the whole cell; the character takes most of it.
        const int pixels =
            options.fontHeight < 0 ? -options.fontHeight : options.fontHeight * 4 / 5;
        font.setPixelSize(std::clamp(pixels, 1, 1000));
    }
    font.setItalic(options.fontItalic);
    if (options.fontWeight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(options.fontWeight, 1, 1000)));
    }
    if (options.fontWidth > 0 && QGuiApplication::instance() != nullptr) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0) {
            font.setStretch(std::clamp(options.fontWidth * 100 / natural, 1, 4000));
        }
    }
    return font;
}

} // namespace vemra
