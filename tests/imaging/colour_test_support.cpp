#include "colour_test_support.h"

#include <jpeglib.h>
#include <lcms2.h>
#include <png.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vemra::test {

std::vector<std::byte> savedProfile(void* profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::byte> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    // lcms2 stamps the header with the time the profile was made; a fixed
    // date makes one profile made twice the same bytes (and the same
    // colour mark), even across a second boundary. No profile ID is written,
    // so nothing else covers these bytes.
    constexpr std::size_t kDateOffset = 24;
    constexpr std::uint8_t kDate[12] = {0x07, 0xE6, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}; // 2022-01-01
    if (bytes.size() >= kDateOffset + sizeof kDate) {
        for (std::size_t i = 0; i < sizeof kDate; ++i)
            bytes[kDateOffset + i] = std::byte{kDate[i]};
    }
    return bytes;
}

namespace {

std::vector<std::byte> saved(cmsHPROFILE profile) {
    return savedProfile(profile);
}

void describe(cmsHPROFILE profile, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

std::vector<std::byte> rgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve,
                                  const char* name) {
    cmsCIExyY white{0.3127, 0.3290, 1.0};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    describe(profile, name);
    return saved(profile);
}

// Rows top first, as RGB.
std::vector<std::uint8_t> rgbRows(const PictureBuffer& picture) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const ColourWord c = picture.pixel(x, y);
            rgb.push_back(static_cast<std::uint8_t>(redOf(c)));
            rgb.push_back(static_cast<std::uint8_t>(greenOf(c)));
            rgb.push_back(static_cast<std::uint8_t>(blueOf(c)));
        }
    }
    return rgb;
}

} // namespace

std::vector<std::byte> adobeRgbProfile(int paddedCurves) {
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    if (paddedCurves > 0) {
        std::vector<cmsUInt16Number> table(static_cast<std::size_t>(paddedCurves));
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = cmsEvalToneCurve16(
                gamma, static_cast<cmsUInt16Number>(i * 65535 / (table.size() - 1)));
        cmsFreeToneCurve(gamma);
        gamma = cmsBuildTabulatedToneCurve16(nullptr, static_cast<cmsUInt32Number>(paddedCurves),
                                             table.data());
    }
    return rgbProfile(primaries, gamma, "Adobe RGB (1998)");
}

std::vector<std::byte> displayP3Profile() {
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return rgbProfile(primaries, cmsBuildParametricToneCurve(nullptr, 4, srgbCurve), "Display P3");
}

std::vector<std::byte> srgbProfile() {
    return saved(cmsCreate_sRGBProfile());
}

std::vector<std::byte> greyProfile() {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    cmsFreeToneCurve(gamma);
    return saved(profile);
}

std::vector<std::byte> pngWithProfile(const PictureBuffer& picture,
                                      const std::vector<std::byte>& icc) {
    std::vector<std::byte> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png");
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<std::vector<std::byte>*>(png_get_io_ptr(p));
            const auto* b = reinterpret_cast<const std::byte*>(data);
            o->insert(o->end(), b, b + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()),
                 static_cast<png_uint_32>(picture.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!icc.empty())
        png_set_iCCP(png, info, "icc", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(icc.data()),
                     static_cast<png_uint_32>(icc.size()));
    png_write_info(png, info);
    std::vector<std::uint8_t> rgb = rgbRows(picture);
    const std::size_t stride = static_cast<std::size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y)
        png_write_row(png, rgb.data() + stride * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<std::byte> jpegWithProfile(const PictureBuffer& picture,
                                       const std::vector<std::byte>& icc) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(picture.width());
    c.image_height = static_cast<JDIMENSION>(picture.height());
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    if (!icc.empty())
        jpeg_write_icc_profile(&c, reinterpret_cast<const JOCTET*>(icc.data()),
                               static_cast<unsigned int>(icc.size()));
    std::vector<std::uint8_t> rgb = rgbRows(picture);
    const std::size_t stride = static_cast<std::size_t>(picture.width()) * 3;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = rgb.data() + stride * c.next_scanline;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const auto* b = reinterpret_cast<const std::byte*>(buffer);
    std::vector<std::byte> out(b, b + size);
    std::free(buffer);
    return out;
}

std::vector<std::byte> tiffWithProfile(const PictureBuffer& picture,
                                       const std::vector<std::byte>& icc,
                                       const std::string& scratchPath) {
    TIFF* tiff = TIFFOpen(scratchPath.c_str(), "w");
    if (tiff == nullptr)
        throw std::runtime_error("tiff");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(picture.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(picture.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(picture.height()));
    if (!icc.empty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(icc.size()), icc.data());
    std::vector<std::uint8_t> rgb = rgbRows(picture);
    const std::size_t stride = static_cast<std::size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y)
        TIFFWriteScanline(tiff, rgb.data() + stride * static_cast<std::size_t>(y),
                          static_cast<std::uint32_t>(y), 0);
    TIFFClose(tiff);
    std::ifstream in(scratchPath, std::ios::binary);
    const std::vector<char> chars{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    const auto* b = reinterpret_cast<const std::byte*>(chars.data());
    return std::vector<std::byte>(b, b + chars.size());
}

} // namespace vemra::test
