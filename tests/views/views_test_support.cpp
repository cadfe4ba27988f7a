#include "views_test_support.h"

#include <filesystem>

namespace vemra::test {

DocumentFixture::DocumentFixture() : store(dir.file("vemra.ini")) {
    registry = std::make_unique<DecoderRegistry>(store);
    registry->setWriteBack(false);
    services = std::make_unique<RegistryScanServices>(*registry);
    document = std::make_unique<CKPDoc>(*services);
}

DocumentFixture::~DocumentFixture() = default;

std::string saveScreenshot(const QImage& image, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::current_path() / "screenshots";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / name).string();
    image.save(QString::fromStdString(path));
    return path;
}

std::string samplesFolder() {
    return std::string(VEMRA_SOURCE_DIR) + "/samples";
}

} // namespace vemra::test
