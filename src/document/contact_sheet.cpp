#include "document/contact_sheet.h"

#include "document/picture_source.h"
#include "document/scan_services.h"
#include "document/thumbnail_maker.h"
#include "document/written_colours.h"
#include "imaging/bmp_file.h"
#include "imaging/dib_layout.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_qimage.h"
#include "settings/option_table.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace vemra {
namespace {

using O = ContactSheetOptions;

const OptionKey<O> kKeys[] = {
    {"Catalog", "Width", &O::width},
    {"Catalog", "Height", &O::height},
    {"Catalog", "Filetype", &O::filetype},
    {"Catalog", "JpgQuality", &O::jpgQuality},
};

int ceilDiv(int a, int b) {
    return b > 0 ? (a + b - 1) / b : 0;
}

bool saveSheet(const QImage& sheet, const std::string& path, const ContactSheetRequest& request) {
    const PictureBuffer picture = pictureFromImage(sheet);
    if (!picture)
        return false;
    if (request.fileType == 1) {
        JpegOptions options;
        options.quality = std::clamp(request.quality, 0, 100);
        return writeJpegFile(path, picture, options);
    }
    return writeBmpFile(path, picture);
}

} // namespace

ContactSheetOptions ContactSheetOptions::load(SettingsStore& store) {
    ContactSheetOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o;
}

void ContactSheetOptions::save(SettingsStore& store) const {
    saveOptionKeys<O>(*this, kKeys, store);
}

SheetGrid contactSheetGrid(int count, int columns, int rows) {
    count = std::max(count, 0);
    int c = std::max(columns, 0);
    int r = std::max(rows, 0);
    if (c == 0 && r == 0) {
        c = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(count))));
        r = ceilDiv(count, c);
    } else if (r == 0) {
        r = ceilDiv(count, c);
    } else if (c == 0) {
        c = ceilDiv(count, r);
    }
    return {std::max(c, 1), std::max(r, 1)};
}

std::string contactSheetFileName(std::string_view typed, int fileType) {
    std::string name(typed);
    if (!std::filesystem::path(name).has_extension())
        name += fileType == 1 ? ".jpg" : ".bmp";
    return name;
}

std::string sheetPath(std::string_view outputPath, int index, bool numbered) {
    if (!numbered)
        return std::string(outputPath);
    const std::filesystem::path path{std::string(outputPath)};
    const std::string extension = path.extension().string();
    char number[16];
    std::snprintf(number, sizeof number, "%02d", index);
    return std::string(outputPath.substr(0, outputPath.size() - extension.size())) + number +
           extension;
}

ContactSheetResult writeContactSheets(const ContactSheetRequest& request,
                                      std::span<PictureSource* const> pictures,
                                      PictureLoader& loader, ProgressSink* progress) {
    ContactSheetResult result;
    const int n = static_cast<int>(pictures.size());
    if (n == 0) {
        result.ok = true;
        return result;
    }
    const SheetGrid grid = contactSheetGrid(n, request.columns, request.rows);
    const int cellW = request.cellWidth, cellH = request.cellHeight;
    const std::int64_t width = std::int64_t{grid.columns} * cellW;
    const std::int64_t height = std::int64_t{grid.rows} * cellH;
    if (cellW <= 0 || cellH <= 0 || width * height > kMaxPicturePixels || width > 65535 ||
        height > 65535) {
        result.error = "the sheet is too large";
        return result;
    }
    QImage sheet(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    if (sheet.isNull()) {
        result.error = "out of memory";
        return result;
    }
    sheet.fill(request.background);
    const bool numbered = std::int64_t{grid.columns} * grid.rows < n;
    const CellGeometry area = request.look.geometry(cellW, cellH);
    ThumbnailMaker maker(loader, request.sharpening);

    if (progress != nullptr)
        progress->begin("カタログファイル保存", "", n);
    int cell = 0;
    int sheetIndex = 0;
    auto save = [&] {
        const std::string path = sheetPath(request.outputPath, sheetIndex++, numbered);
        if (!saveSheet(sheet, path, request)) {
            result.error = path;
            return false;
        }
        result.files.push_back(path);
        return true;
    };
    bool ok = true;
    for (PictureSource* entry : pictures) {
        if (progress != nullptr && progress->cancelRequested()) {
            result.cancelled = true;
            break;
        }
        if (progress != nullptr)
            progress->setMessage(entry->fileName);
        // The cell as the grid shows an unselected picture, its thumbnail
        // made for the sheet with the automatic choice of scaling.
        PictureSource work = *entry;
        work.state = 0;
        work.drawing.scaleMode = 10;
        work.drawing.unsharp = request.sharpening.enabled;
        // A sheet holds pictures of many profiles and is seen elsewhere: sRGB.
        work.drawing.colour = writtenColour(work.drawing);
        bool drawn = maker.make(work, area.areaWidth, area.areaHeight);
        if (drawn) {
            QPainter painter(&sheet);
            const QRect rect((cell % grid.columns) * cellW, (cell / grid.columns) * cellH, cellW,
                             cellH);
            drawn = paintCell(painter, work, rect, request.look, nullptr);
        }
        if (progress != nullptr)
            progress->advance();
        if (!drawn)
            continue;
        ++result.drawn;
        if (++cell == grid.columns * grid.rows) {
            if (!(ok = save()))
                break;
            sheet.fill(request.background);
            cell = 0;
        }
    }
    if (ok && cell > 0)
        ok = save();
    if (progress != nullptr)
        progress->end();
    result.ok = ok;
    return result;
}

} // namespace vemra
