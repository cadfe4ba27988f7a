#include "imaging/jpeg_encoder.h"

#include "imaging/picture_convert.h"
#include "platform/atomic_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>

#include <jpeglib.h>

namespace vemra {
namespace {

constexpr char kComment[] = "By ZRV.NQ";
constexpr std::size_t kChunk = 64 * 1024;

// Where compressed bytes go: a growing vector or an atomic file, fed in
// chunks so a large JPEG is never held twice.
class Destination {
public:
    explicit Destination(std::function<bool(std::span<const std::byte>)> sink)
        : m_sink(std::move(sink)), m_buffer(kChunk) {
        m_manager.base.init_destination = &Destination::init;
        m_manager.base.empty_output_buffer = &Destination::empty;
        m_manager.base.term_destination = &Destination::term;
        m_manager.owner = this;
    }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    void attach(j_compress_ptr cinfo) { cinfo->dest = &m_manager.base; }
    bool failed() const { return m_failed; }

private:
    // libjpeg hands back the address of `base`; `owner` finds us from it.
    struct Manager {
        jpeg_destination_mgr base;
        Destination* owner;
    };

    static Destination* self(j_compress_ptr cinfo) {
        return reinterpret_cast<Manager*>(cinfo->dest)->owner;
    }
    static void init(j_compress_ptr cinfo) {
        Destination* d = self(cinfo);
        d->m_manager.base.next_output_byte = reinterpret_cast<JOCTET*>(d->m_buffer.data());
        d->m_manager.base.free_in_buffer = d->m_buffer.size();
    }
    static boolean empty(j_compress_ptr cinfo) {
        Destination* d = self(cinfo);
        d->flush(d->m_buffer.size());
        init(cinfo);
        return TRUE;
    }
    static void term(j_compress_ptr cinfo) {
        Destination* d = self(cinfo);
        d->flush(d->m_buffer.size() - d->m_manager.base.free_in_buffer);
    }
    void flush(std::size_t bytes) {
        if (!m_failed && bytes > 0 && !m_sink(std::span(m_buffer).first(bytes))) {
            m_failed = true;
        }
    }

    Manager m_manager{};
    std::function<bool(std::span<const std::byte>)> m_sink;
    std::vector<std::byte> m_buffer;
    bool m_failed = false;
};

struct ErrorManager {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
};

// Library errors come back here instead of ending the program.
[[noreturn]] void onError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}

// Reports progress in steps of 10 points; false when the caller asks to stop.
class Progress {
public:
    Progress(ProgressCallback callback, intptr_t userData, int total)
        : m_callback(callback), m_userData(userData), m_total(total) {}

    bool at(int row) {
        if (m_callback == nullptr) {
            return true;
        }
        const int percent = static_cast<int>(static_cast<long long>(row) * 100 / m_total);
        if (percent < m_last + 10) {
            return true;
        }
        m_last = percent;
        return m_callback(row, m_total, m_userData) == 0;
    }
    bool finished() {
        return m_callback == nullptr || m_callback(m_total, m_total, m_userData) == 0;
    }

private:
    ProgressCallback m_callback;
    intptr_t m_userData;
    int m_total;
    int m_last = -10;
};

// Runs the compressor over `picture` (24 bits). No object with a destructor
// may be created between setjmp and the end, since an error jumps back.
bool compress(const PictureBuffer& picture, const JpegOptions& options, Destination& destination,
              std::vector<std::uint8_t>& greyRow) {
    jpeg_compress_struct cinfo{};
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = quiet;
    const int width = picture.width();
    const int height = picture.height();
    Progress progress(options.progress, options.userData, height);
    bool stopped = false;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    destination.attach(&cinfo);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    if (options.grey) {
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
    } else {
        // Pixels are stored blue, green, red; the library takes them as such
        // and writes red, green and blue components.
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(kComment),
                      sizeof kComment - 1);
    // A grey JPEG cannot carry a colour profile; the caller chose one that
    // fits colour components.
    if (!options.iccProfile.empty() && !options.grey)
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(options.iccProfile.data()),
                               static_cast<unsigned>(options.iccProfile.size()));
    for (int y = 0; y < height && !stopped; ++y) {
        if (!progress.at(y)) {
            stopped = true;
            break;
        }
        auto* row = reinterpret_cast<std::uint8_t*>(const_cast<std::byte*>(picture.row(y).data()));
        if (options.grey) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = row + 3 * x;
                // trunc(0.114 B + 0.587 G + 0.299 R), in exact integers.
                greyRow[static_cast<std::size_t>(x)] =
                    static_cast<std::uint8_t>((114 * p[0] + 587 * p[1] + 299 * p[2]) / 1000);
            }
            row = greyRow.data();
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    if (!stopped) {
        jpeg_finish_compress(&cinfo);
        stopped = !progress.finished();
    }
    jpeg_destroy_compress(&cinfo);
    return !stopped && !destination.failed();
}

bool encodeTo(const PictureBuffer& picture, const JpegOptions& options, Destination& destination) {
    const auto layout = picture.layout();
    if (!layout) {
        return false;
    }
    const PictureBuffer* source = &picture;
    PictureBuffer converted;
    if (layout->bitCount != 24 || layout->isCore() || layout->compression != Compression::None) {
        converted = picture.duplicate();
        const Compression c = layout->compression;
        if ((c == Compression::Rle8 || c == Compression::Rle4) && !expandRle(converted)) {
            return false;
        }
        if (!convertTo24Bits(converted)) {
            return false;
        }
        source = &converted;
    }
    std::vector<std::uint8_t> greyRow(options.grey ? static_cast<std::size_t>(layout->width) : 0);
    return compress(*source, options, destination, greyRow);
}

} // namespace

bool encodeJpeg(const PictureBuffer& picture, const JpegOptions& options,
                std::vector<std::byte>& out) {
    out.clear();
    Destination destination([&out](std::span<const std::byte> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return true;
    });
    if (!encodeTo(picture, options, destination)) {
        out.clear();
        return false;
    }
    return true;
}

bool writeJpegFile(const std::string& path, const PictureBuffer& picture,
                   const JpegOptions& options) {
    AtomicFile file(path);
    if (!file.open()) {
        return false;
    }
    Destination destination(
        [&file](std::span<const std::byte> bytes) { return file.write(bytes); });
    return encodeTo(picture, options, destination) && file.commit();
}

bool saveJpeg(const std::string& path, const PictureBuffer& picture, int quality,
              bool progressive) {
    JpegOptions options;
    options.quality = quality;
    options.progressive = progressive;
    return writeJpegFile(path, picture, options);
}

} // namespace vemra
