#include "document/shooting_info.h"

#include "imaging/photo_metadata.h"

#include <cmath>
#include <cstdio>

namespace vemra {
namespace {

// A number with at most `decimals` places and no trailing zeros: 2.8, 50.
std::string number(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

std::string position(const GpsPosition& gps) {
    std::string text = gps.latitude < 0 ? "南緯" : "北緯";
    text += number(std::abs(gps.latitude), 6) + "° ";
    text += gps.longitude < 0 ? "西経" : "東経";
    text += number(std::abs(gps.longitude), 6) + "°";
    if (gps.altitude)
        text += " 標高" + number(*gps.altitude, 1) + "m";
    return text;
}

// "2024:05:03 14:25:36" as the program writes dates: "2024/05/03 14:25:36".
std::string dateText(std::string stored) {
    if (stored.size() >= 10) {
        stored[4] = '/';
        stored[7] = '/';
    }
    if (stored.size() >= 11 && stored[10] == 'T')
        stored[10] = ' ';
    return stored;
}

} // namespace

std::vector<ShootingItem> shootingInfo(const PhotoMetadata& m) {
    std::vector<ShootingItem> items;
    const auto add = [&items](const char* label, std::string value) {
        if (!value.empty())
            items.push_back({label, std::move(value)});
    };
    add("カメラ", m.camera());
    add("レンズ", m.lens);
    const std::string exposure = m.exposureText();
    add("露出時間", exposure.empty() ? std::string() : exposure + "秒");
    add("絞り値", m.fNumber > 0 ? "F" + number(m.fNumber, 1) : std::string());
    add("ISO感度", m.iso > 0 ? "ISO" + std::to_string(m.iso) : std::string());
    if (m.focalLength > 0) {
        std::string focal = number(m.focalLength, 1) + "mm";
        if (m.focalLength35 > 0 && std::lround(m.focalLength) != m.focalLength35)
            focal += "（35mm換算 " + std::to_string(m.focalLength35) + "mm）";
        add("焦点距離", std::move(focal));
    }
    add("撮影日時", dateText(m.dateTakenText));
    add("撮影位置", m.gps ? position(*m.gps) : std::string());
    add("カラープロファイル", m.colourProfileName);
    return items;
}

std::string shootingInfoText(const PhotoMetadata& metadata, const std::string& lineBreak) {
    std::string text;
    for (const ShootingItem& item : shootingInfo(metadata)) {
        if (!text.empty())
            text += lineBreak;
        text += item.label + "：" + item.value;
    }
    return text;
}

} // namespace vemra
