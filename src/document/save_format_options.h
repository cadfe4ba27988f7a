#pragma once

#include <string>

namespace vemra {

class SettingsStore;

// What "画像形式を指定して保存" remembers in section "FileSave": the output
// format, the size, scaling, sharpening and rotation of the pictures, and
// the encoders' settings. (The destination history "Folder%d" of section
// "Filer" belongs to the dialog's history combo.)
struct SaveFormatOptions {
    enum Format { Bmp = 0, Jpeg = 1, Png = 2 };
    enum SizeMode { KeepSize = 0, FitSize = 1, Factor = 2 };

    int format = Bmp;             // Format
    int sizeMode = KeepSize;      // SizeMode; any other stored number counts as 0
    int width = 0;                // Width (size mode 1)
    int height = 0;               // Height
    bool aspect = true;           // Aspect: keep the proportions in size mode 1
    std::string scale = "1";      // Scale: the factor of size mode 2, as text
    int scaleMode = 0;            // ScaleMode: 0, 1, 2, 3 or 10
    bool unsharp = false;         // Unsharp
    int rotateAngle = 0;          // RotateAngle: 0-360 degrees, clockwise
    int jpegQuality = 90;         // JpegQuality: 0-100
    bool jpegProgressive = false; // JpegProgressive
    int bmpQuant = 0;             // BmpQuant: 8 = 256 colours
    int pngQuant = 0;             // PngQuant: 8 = 256 colours

    static SaveFormatOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;

    // The factor of size mode 2 (0 when the text is no positive number).
    double factor() const;
    // ".bmp", ".jpg" or ".png".
    const char* extension() const;
    // Whether the dialog may close with these values: a fitting size needs
    // both sides, a factor must be above 0.
    bool sizeValid() const;
    // The values brought into their ranges (as a stored file may hold
    // anything).
    SaveFormatOptions normalised() const;
};

} // namespace vemra
