#pragma once

#include <string>
#include <vector>

namespace vemra {

struct PhotoMetadata;

// One line of a photograph's shooting information as people read it: a
// Japanese label and its value ("絞り値", "F2.8").
struct ShootingItem {
    std::string label;
    std::string value;
};

// The shooting information the picture carries, in a fixed order: camera,
// lens, exposure time, aperture, ISO, focal length, date taken, position,
// colour profile. Items the picture does not carry are left out.
std::vector<ShootingItem> shootingInfo(const PhotoMetadata& metadata);

// The same as lines of "label: value", joined by `lineBreak`; empty when
// the picture carries none.
std::string shootingInfoText(const PhotoMetadata& metadata, const std::string& lineBreak);

} // namespace vemra
