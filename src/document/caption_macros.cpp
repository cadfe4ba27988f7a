#include "document/caption_macros.h"

#include "document/cp_decode.h"
#include "document/photo_facts.h"
#include "document/size_text.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace vemra {
namespace {

enum class Macro {
    PicPath,
    PicDir,
    PicName,
    ShortPicName,
    FileName,
    ArcPath,
    ArcName,
    Width,
    Height,
    Color,
    Date,
    Time,
    CreateDate,
    CreateTime,
    Length,
    Size,
    Info,
    Note,
    TodayDate,
    TodayTime,
    CP,
    ShotDate,
    ShotTime,
    Camera,
};

struct MacroName {
    std::string_view name;
    Macro macro;
};

// Long and short forms. Short names do not exist on this platform, so the
// "Short" path is the full path itself.
constexpr MacroName kMacroNames[] = {
    {"PicName", Macro::PicName},
    {"PN", Macro::PicName},
    {"PicPath", Macro::PicPath},
    {"PP", Macro::PicPath},
    {"ShortPicPath", Macro::PicPath},
    {"SPP", Macro::PicPath},
    {"PicDir", Macro::PicDir},
    {"PD", Macro::PicDir},
    {"ShortPicName", Macro::ShortPicName},
    {"SPN", Macro::ShortPicName},
    {"FileName", Macro::FileName},
    {"FN", Macro::FileName},
    {"ArcPath", Macro::ArcPath},
    {"AP", Macro::ArcPath},
    {"ArcName", Macro::ArcName},
    {"AN", Macro::ArcName},
    {"Width", Macro::Width},
    {"W", Macro::Width},
    {"Height", Macro::Height},
    {"H", Macro::Height},
    {"Color", Macro::Color},
    {"C", Macro::Color},
    {"Date", Macro::Date},
    {"D", Macro::Date},
    {"Time", Macro::Time},
    {"T", Macro::Time},
    {"CreateDate", Macro::CreateDate},
    {"CD", Macro::CreateDate},
    {"CreateTime", Macro::CreateTime},
    {"CT", Macro::CreateTime},
    {"Length", Macro::Length},
    {"L", Macro::Length},
    {"Size", Macro::Size},
    {"S", Macro::Size},
    {"Info", Macro::Info},
    {"I", Macro::Info},
    {"Note", Macro::Note},
    {"N", Macro::Note},
    {"TodayDate", Macro::TodayDate},
    {"TD", Macro::TodayDate},
    {"TodayTime", Macro::TodayTime},
    {"TT", Macro::TodayTime},
    {"CP", Macro::CP},
    // What a photograph's EXIF block tells (empty for other pictures).
    {"ShotDate", Macro::ShotDate},
    {"SD", Macro::ShotDate},
    {"ShotTime", Macro::ShotTime},
    {"ST", Macro::ShotTime},
    {"Camera", Macro::Camera},
    {"CM", Macro::Camera},
};

constexpr std::size_t kLongestName = 12; // "ShortPicPath", "ShortPicName"

const MacroName* findMacro(std::string_view name) {
    for (const MacroName& m : kMacroNames) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

void appendNumber(std::string& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

// "%Y/%m/%d" or "%H:%M:%S" of a time value in local time; nothing when the
// C library cannot break the value down.
void appendLocal(std::string& out, std::int64_t time, bool date) {
    const auto value = static_cast<std::time_t>(time);
    std::tm parts{};
    if (localtime_r(&value, &parts) == nullptr)
        return;
    char text[64];
    const int n = date ? std::snprintf(text, sizeof text, "%04d/%02d/%02d", parts.tm_year + 1900,
                                       parts.tm_mon + 1, parts.tm_mday)
                       : std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.tm_hour,
                                       parts.tm_min, parts.tm_sec);
    if (n > 0)
        out.append(text, std::min(static_cast<std::size_t>(n), sizeof text - 1));
}

void appendToday(std::string& out, const CaptionEnvironment& environment, bool date) {
    const QDateTime now = environment.now ? QDateTime::fromSecsSinceEpoch(*environment.now)
                                          : QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    const QString text = date ? locale.toString(now.date(), QLocale::ShortFormat)
                              : locale.toString(now.time(), QLocale::ShortFormat);
    out += text.toStdString();
}

std::string_view lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The name without its extension; a leading dot (".profile") starts no
// extension.
std::string_view withoutExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    if (dot == std::string_view::npos || dot <= start)
        return name;
    return name.substr(0, dot);
}

class Expander {
public:
    Expander(const PictureSource* entry, const CaptionEnvironment& environment)
        : m_entry(entry), m_environment(environment) {}

    void expand(std::string_view format, std::string& out, bool inNote) const {
        std::size_t done = 0;
        std::size_t at = format.find("$(");
        while (at != std::string_view::npos) {
            out.append(format.substr(done, at - done));
            const std::size_t nameStart = at + 2;
            const std::size_t close = format.substr(nameStart, kLongestName + 1).find(')');
            const MacroName* macro = close == std::string_view::npos
                                         ? nullptr
                                         : findMacro(format.substr(nameStart, close));
            if (macro == nullptr || (inNote && macro->macro == Macro::Note)) {
                // Not a macro (or the note quoting itself): the "$(" stays,
                // and the scan goes on right after it, so "$($(PN))" still
                // expands its inner macro.
                out += "$(";
                done = nameStart;
            } else {
                append(macro->macro, out);
                done = nameStart + close + 1;
            }
            at = format.find("$(", done);
        }
        out.append(format.substr(done));
    }

private:
    void append(Macro macro, std::string& out) const {
        switch (macro) {
        case Macro::TodayDate:
            appendToday(out, m_environment, true);
            return;
        case Macro::TodayTime:
            appendToday(out, m_environment, false);
            return;
        default:
            break;
        }
        if (m_entry == nullptr)
            return;
        const PictureSource& e = *m_entry;
        switch (macro) {
        case Macro::PicPath:
            out += e.fullPath();
            return;
        case Macro::PicDir:
            out += e.folder;
            return;
        case Macro::PicName:
            out += e.fileName;
            return;
        case Macro::ShortPicName:
            out += lastComponent(e.fullPath());
            return;
        case Macro::FileName:
            out += withoutExtension(e.fileName);
            return;
        case Macro::ArcPath:
            out += e.archiveFullPath();
            return;
        case Macro::ArcName:
            out += e.archiveFileName;
            return;
        case Macro::Width:
            appendNumber(out, uprightPictureSize(e).width);
            return;
        case Macro::Height:
            appendNumber(out, uprightPictureSize(e).height);
            return;
        case Macro::Color:
            appendNumber(out, e.bitCount);
            return;
        case Macro::Date:
            appendLocal(out, e.lastWriteTime, true);
            return;
        case Macro::Time:
            appendLocal(out, e.lastWriteTime, false);
            return;
        case Macro::CreateDate:
            appendLocal(out, e.creationTime, true);
            return;
        case Macro::CreateTime:
            appendLocal(out, e.creationTime, false);
            return;
        case Macro::Length:
            out += sizeText(e.length, 1, 4);
            return;
        case Macro::Size:
            out += groupedNumber(e.length);
            return;
        case Macro::Info:
            out += e.infoText;
            return;
        case Macro::Note:
            expand(e.note, out, true);
            return;
        case Macro::CP:
            if (e.decoder == kJpegDecoderId && !e.isArchiveMember())
                out += cpDecodeItems(e.fullPath(), m_environment.cpDecodeLibrary);
            return;
        case Macro::ShotDate:
            if (e.dateTaken != 0)
                appendLocal(out, e.dateTaken, true);
            return;
        case Macro::ShotTime:
            if (e.dateTaken != 0)
                appendLocal(out, e.dateTaken, false);
            return;
        case Macro::Camera:
            out += e.cameraModel;
            return;
        case Macro::TodayDate:
        case Macro::TodayTime:
            return;
        }
    }

    const PictureSource* m_entry;
    const CaptionEnvironment& m_environment;
};

std::string expandFor(std::string_view format, const PictureSource* entry,
                      const CaptionEnvironment& environment) {
    std::string out;
    if (format.find("$(") == std::string_view::npos) {
        out = format;
        return out;
    }
    out.reserve(format.size() + 32);
    Expander(entry, environment).expand(format, out, false);
    return out;
}

} // namespace

std::string expandCaption(std::string_view format, const PictureSource& entry,
                          const CaptionEnvironment& environment) {
    return expandFor(format, &entry, environment);
}

std::string expandCaptionWithoutPicture(std::string_view format,
                                        const CaptionEnvironment& environment) {
    return expandFor(format, nullptr, environment);
}

} // namespace vemra
