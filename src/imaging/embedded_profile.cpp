#include "imaging/embedded_profile.h"

#include "imaging/colour_management.h"
#include "platform/mapped_file.h"

#include <exiv2/exiv2.hpp>

#include <climits>
#include <mutex>

namespace vemra {
namespace {

void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        // exiv2 reports damaged files on stderr; a browser meets many.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        // Its XMP toolkit must be set up once before threads read files.
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

} // namespace

std::vector<std::byte> embeddedColourProfile(std::span<const std::byte> file) {
    if (file.empty() || file.size() > static_cast<std::size_t>(LONG_MAX))
        return {};
    prepareExiv2();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(file.data()), static_cast<long>(file.size()));
        if (image.get() == nullptr)
            return {};
        image->readMetadata();
        if (!image->iccProfileDefined())
            return {};
        const Exiv2::DataBuf* icc = image->iccProfile();
        if (icc == nullptr || icc->pData_ == nullptr || icc->size_ <= 0 ||
            static_cast<std::size_t>(icc->size_) > kMaxColourProfileBytes)
            return {};
        const auto* bytes = reinterpret_cast<const std::byte*>(icc->pData_);
        return std::vector<std::byte>(bytes, bytes + icc->size_);
    } catch (...) {
        // exiv2 throws for every kind of damage (and std::bad_alloc for
        // absurd lengths): the picture is then taken as untagged.
        return {};
    }
}

std::vector<std::byte> embeddedColourProfile(const std::string& path) {
    const std::optional<MappedFile> file = MappedFile::open(path);
    if (!file)
        return {};
    return embeddedColourProfile(file->bytes());
}

} // namespace vemra
