#pragma once

#include "document/cell_painter.h"
#include "imaging/unsharp.h"

#include <QColor>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class PictureLoader;
class PictureSource;
class ProgressSink;
class SettingsStore;

// What the contact sheet keeps in section "Catalog" besides the histories
// of its dialog (Folder%d, FileName%d).
struct ContactSheetOptions {
    int width = 0;    // columns, 0 = computed
    int height = 0;   // rows, 0 = computed
    int filetype = 0; // 0 BMP, 1 JPEG
    int jpgQuality = 95;

    static ContactSheetOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

struct SheetGrid {
    int columns = 0;
    int rows = 0;
};

// The grid for `count` pictures: both sides 0 gives the integer square
// root of the count as columns and the rows that need; one side 0 is
// computed from the other. Negative sides count as 0.
SheetGrid contactSheetGrid(int count, int columns, int rows);

// A typed file name: one without an extension gets ".bmp" (type 0) or
// ".jpg" (type 1).
std::string contactSheetFileName(std::string_view typed, int fileType);

// The file of sheet `index` (from 0): the output path as it stands when
// everything fits one sheet, else with "%02d" of the index before the
// extension (sheet00.jpg, sheet01.jpg, ...).
std::string sheetPath(std::string_view outputPath, int index, bool numbered);

struct ContactSheetRequest {
    std::string outputPath; // folder and file name
    int columns = 0;
    int rows = 0;
    int fileType = 0; // 0 BMP, 1 JPEG
    int quality = 95;
    int cellWidth = 110;
    int cellHeight = 110;
    CellLook look;
    QColor background{0xC0, 0xC0, 0xC0};
    UnsharpSettings sharpening;
};

struct ContactSheetResult {
    bool ok = false;
    bool cancelled = false;
    std::vector<std::string> files;
    int drawn = 0;
    std::string error;
};

// Draws the cells of `pictures` (in order) as the thumbnail grid draws them,
// unselected, each thumbnail made anew with the automatic scaling, into
// sheets of the request's grid, and saves every sheet (a last one partly
// filled at full size). A picture that cannot be drawn leaves its cell to
// the next. `progress` (may be null) shows "カタログファイル保存" with one
// step per picture and may stop the work; what was finished is kept.
ContactSheetResult writeContactSheets(const ContactSheetRequest& request,
                                      std::span<PictureSource* const> pictures,
                                      PictureLoader& loader, ProgressSink* progress);

} // namespace vemra
