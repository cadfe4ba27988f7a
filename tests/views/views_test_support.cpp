#include "views_test_support.h"

#include "views/thumbnail_grid.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra::test {

DocumentFixture::DocumentFixture() : store(dir.file("vemra.ini")) {
    registry = std::make_unique<DecoderRegistry>(store);
    registry->setWriteBack(false);
    services = std::make_unique<RegistryScanServices>(*registry);
    document = std::make_unique<FolderDocument>(*services, thumbCache);
}

DocumentFixture::~DocumentFixture() = default;

std::string saveScreenshot(const QImage& image, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::current_path() / "screenshots";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / name).string();
    image.save(QString::fromStdString(path));
    return path;
}

void makePictures(const std::string& folder, int count, int width, int height) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 200, 230));
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.drawEllipse(QRect(4, 4, width - 8, height - 8));
        painter.end();
        const QString name = QString::asprintf("/pic%04d.png", i);
        ASSERT_TRUE(image.save(QString::fromStdString(folder) + name));
    }
}

std::string samplesFolder() {
    return std::string(VEMRA_SOURCE_DIR) + "/samples";
}

int runGridIdle(ThumbnailGrid& grid, FolderDocument& document, int limit) {
    return runIdleWithWorkers([&grid](int step) { return grid.idleStep(step); }, document, limit);
}

int runIdleWithWorkers(const std::function<bool(int)>& idle, FolderDocument& document, int limit) {
    int steps = 0;
    while (steps < limit) {
        if (idle(steps)) {
            ++steps;
            continue;
        }
        if (document.thumbnailJobsOutstanding() == 0)
            break;
        document.waitForThumbnailResults(std::chrono::seconds(10));
        ++steps;
    }
    return steps;
}

} // namespace vemra::test
