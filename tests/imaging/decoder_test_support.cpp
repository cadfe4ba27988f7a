#include "decoder_test_support.h"

#include "imaging/picture_convert.h"
#include "test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <jpeglib.h>

namespace vemra::test {

namespace {
const BuiltinDecoder& decoder(DecoderId id) {
    const BuiltinDecoder* d = findBuiltinDecoder(id);
    if (d == nullptr) {
        std::abort();
    }
    return *d;
}

InfoResult takeInfo(int code, PictureInfo info) {
    InfoResult r;
    r.code = code;
    r.info = info;
    if (info.hInfo != nullptr) {
        r.comment = static_cast<const char*>(info.hInfo);
        SpiFree(info.hInfo);
        r.info.hInfo = nullptr;
    }
    return r;
}
} // namespace

Decoded decodeFile(DecoderId id, const std::string& path, const DecodeOptions& options) {
    Decoded d;
    d.code = decoder(id).picture(path.c_str(), 0, SPI_SOURCE_FILE, d.picture, options);
    return d;
}

Decoded decodeMemory(DecoderId id, const std::vector<std::byte>& data,
                     const DecodeOptions& options) {
    Decoded d;
    d.code = decoder(id).picture(reinterpret_cast<const char*>(data.data()),
                                 static_cast<std::intptr_t>(data.size()), SPI_SOURCE_MEMORY,
                                 d.picture, options);
    return d;
}

InfoResult infoFile(DecoderId id, const std::string& path) {
    PictureInfo info{};
    const int code = decoder(id).info(path.c_str(), 0, SPI_SOURCE_FILE, info, DecodeOptions{});
    return takeInfo(code, info);
}

InfoResult infoMemory(DecoderId id, const std::vector<std::byte>& data,
                      const DecodeOptions& options) {
    PictureInfo info{};
    const int code =
        decoder(id).info(reinterpret_cast<const char*>(data.data()),
                         static_cast<std::intptr_t>(data.size()), SPI_SOURCE_MEMORY, info, options);
    return takeInfo(code, info);
}

bool identifies(DecoderId id, const std::vector<std::byte>& data, const std::string& fileName) {
    std::array<std::byte, SPI_HEADER_BYTES> header{};
    std::memcpy(header.data(), data.data(), std::min(data.size(), header.size()));
    return decoder(id).identify(fileName.c_str(), header.data());
}

int maxChannelDifference(const PictureBuffer& picture, const QImage& reference, QPoint* where) {
    PictureBuffer deep = copyAs24Bits(picture);
    if (!deep || deep.width() != reference.width() || deep.height() != reference.height()) {
        return -1;
    }
    int worst = 0;
    for (int y = 0; y < reference.height(); ++y) {
        const auto row = deep.row(y);
        const auto* ref = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        for (int x = 0; x < reference.width(); ++x) {
            if (qAlpha(ref[x]) == 0) {
                continue; // a transparent pixel's colour is anyone's guess
            }
            const std::byte* p = row.data() + static_cast<std::size_t>(x) * 3;
            const int diff = std::max({std::abs(std::to_integer<int>(p[2]) - qRed(ref[x])),
                                       std::abs(std::to_integer<int>(p[1]) - qGreen(ref[x])),
                                       std::abs(std::to_integer<int>(p[0]) - qBlue(ref[x]))});
            if (diff > worst) {
                worst = diff;
                if (where != nullptr) {
                    *where = QPoint(x, y);
                }
            }
        }
    }
    return worst;
}

std::vector<ManifestRow> manifestRows(const std::string& format) {
    std::vector<ManifestRow> rows;
    std::ifstream in(testDataDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestRow row;
        std::string skip;
        std::getline(fields, row.path, '\t');
        std::getline(fields, row.format, '\t');
        std::getline(fields, row.expected, '\t');
        std::getline(fields, skip, '\t');
        std::getline(fields, skip, '\t');
        std::getline(fields, skip, '\t');
        std::getline(fields, row.note);
        if (row.format == format) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<std::byte> writeJpeg(int width, int height, int components, const char* comment,
                                 int fill) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (comment != nullptr) {
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment),
                          static_cast<unsigned>(std::strlen(comment)));
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(width * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width * components; ++x) {
            row[static_cast<std::size_t>(x)] = static_cast<unsigned char>(
                fill >= 0 ? fill : (x * 3 + static_cast<int>(cinfo.next_scanline) * 2) & 0xFF);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::byte> out(reinterpret_cast<std::byte*>(buffer),
                               reinterpret_cast<std::byte*>(buffer) + size);
    std::free(buffer);
    return out;
}

} // namespace vemra::test
