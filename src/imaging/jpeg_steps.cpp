#include "imaging/jpeg_steps.h"

#include "imaging/decoder.h"
#include "imaging/decoder_source.h"
#include "imaging/jpeg_decoder.h"
#include "imaging/jpeg_library.h"
#include "platform/byte_source.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include <jerror.h>

namespace vemra {
namespace {

// How much of a progressive stream one step reads before it asks whether
// to stop: a millisecond or two of entropy decoding.
constexpr std::size_t kProgressiveBlock = 64 * 1024;
constexpr std::uint64_t kLargestCopy = 256 * 1024 * 1024;

// A source that hands the library the bytes up to a limit and suspends it
// there; the limit grows while a progressive stream is read, and is the end
// of the data while rows are read. At the end of the data it supplies an
// end-of-image marker, as the library's own memory source does, so a
// truncated stream decodes to the same result.
struct SteppedSource {
    jpeg_source_mgr pub{};
    const JOCTET* data = nullptr;
    std::size_t size = 0;
    std::size_t limit = 0; // bytes of `data` the library may have
    bool atFakeEnd = false;
    bool suspended = false; // the library was made to wait at least once
};

constexpr std::array<JOCTET, 2> kEndOfImage{0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* s = reinterpret_cast<SteppedSource*>(cinfo->src);
    // The library has used everything up to the window's end; the window
    // goes on from there.
    if (!s->atFakeEnd) {
        const auto used =
            static_cast<std::size_t>(s->pub.next_input_byte + s->pub.bytes_in_buffer - s->data);
        if (used < s->limit) {
            s->pub.next_input_byte = s->data + used;
            s->pub.bytes_in_buffer = s->limit - used;
            return TRUE;
        }
        if (s->limit < s->size) {
            s->suspended = true;
            return FALSE; // suspended until the next step grants more
        }
    }
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s->atFakeEnd = true;
    s->pub.next_input_byte = kEndOfImage.data();
    s->pub.bytes_in_buffer = kEndOfImage.size();
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* s = reinterpret_cast<SteppedSource*>(cinfo->src);
    while (count > 0) {
        if (s->pub.bytes_in_buffer == 0 && !fillInput(cinfo)) {
            return; // cannot happen while the limit is the end of the data
        }
        const auto n = std::min(static_cast<std::size_t>(count), s->pub.bytes_in_buffer);
        s->pub.next_input_byte += n;
        s->pub.bytes_in_buffer -= n;
        count -= static_cast<long>(n);
    }
}

void installSource(jpeg::Decompressor& d, SteppedSource& source, std::span<const std::byte> data) {
    source.data = reinterpret_cast<const JOCTET*>(data.data());
    source.size = data.size();
    source.limit = data.size();
    source.pub.init_source = initSource;
    source.pub.fill_input_buffer = fillInput;
    source.pub.skip_input_data = skipInput;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termSource;
    source.pub.next_input_byte = source.data;
    source.pub.bytes_in_buffer = source.size;
    d.cinfo.src = &source.pub;
}

// Moves the window's limit: the library keeps what it has not used yet up
// to the new limit.
void setLimit(SteppedSource& s, std::size_t limit) {
    s.limit = std::min(limit, s.size);
    if (s.atFakeEnd) {
        return;
    }
    const auto at = static_cast<std::size_t>(s.pub.next_input_byte - s.data);
    s.pub.bytes_in_buffer = at < s.limit ? s.limit - at : 0;
}

enum class Phase { ReadingScans, ReadingRows, Finished };

} // namespace

struct JpegStepDecoder::State {
    SourceBytes file;
    std::vector<std::byte> copy;
    SteppedSource source; // outlives the decompressor that points at it
    jpeg::Decompressor d;
    jpeg::RowTarget target;
    Phase phase = Phase::Finished;
    ResultCode result = ResultCode::Failure;
    std::span<const std::byte> input; // the stream, in `copy` or `file`
    int reduction = 1;

    ResultCode start(std::span<const std::byte> data, int reduction);
    bool run(const std::function<bool()>& shouldStop);
    // Ends a decode that ran to its end. On valid data a decode made to
    // wait for its input gives exactly what one without waiting gives, but
    // on damaged data libjpeg may go another way after a wait (where a
    // marker or the end of the data is met); such a decode is done again in
    // one go, so every path shows the same picture.
    void complete(ResultCode code) {
        if (source.suspended && (code != ResultCode::Success || d.cinfo.err->num_warnings > 0)) {
            DecodeOptions options;
            options.reduction = reduction;
            PictureBuffer picture;
            code = decodeJpegStream(input, options, picture);
            target.picture = std::move(picture);
        }
        finish(code);
    }
    void finish(ResultCode code) {
        result = code;
        phase = Phase::Finished;
        if (code != ResultCode::Success) {
            target.picture = {};
        }
        target.cmyk = {};
    }
};

JpegStepDecoder::JpegStepDecoder() = default;
JpegStepDecoder::~JpegStepDecoder() = default;
JpegStepDecoder::JpegStepDecoder(JpegStepDecoder&&) noexcept = default;
JpegStepDecoder& JpegStepDecoder::operator=(JpegStepDecoder&&) noexcept = default;

ResultCode JpegStepDecoder::startFile(const std::string& path, int reduction) {
    m_state = std::make_unique<State>();
    // A copy rather than a mapping: between two steps another program may
    // cut the file short, and reading a mapping past a file's new end kills
    // the process. Only a file too large to copy is mapped, as the one-call
    // decoder maps every file; a file that cannot be read is left to the
    // mapping too, for the same result code.
    if (const auto file = FileSource::open(path); file && file->size() <= kLargestCopy) {
        m_state->copy.resize(static_cast<std::size_t>(file->size()));
        if (file->readAt(0, m_state->copy))
            return m_state->start(m_state->copy, reduction);
        m_state->copy = {};
    }
    if (const ResultCode opened = m_state->file.open(path.c_str(), 0, 0);
        opened != ResultCode::Success) {
        m_state->finish(opened);
        return opened;
    }
    return m_state->start(m_state->file.bytes(), reduction);
}

ResultCode JpegStepDecoder::startMemory(std::vector<std::byte> bytes, int reduction) {
    m_state = std::make_unique<State>();
    m_state->copy = std::move(bytes);
    const std::span<const std::byte> data = m_state->copy;
    return m_state->start(data.subspan(jpegDataStart(data)), reduction);
}

// The setjmp here and in run() catches the library's errors; neither holds
// objects with destructors across the library calls.
ResultCode JpegStepDecoder::State::start(std::span<const std::byte> data, int reduction) {
    input = data;
    this->reduction = reduction;
    installSource(d, source, data);
    if (jpeg::readHeaderFromSource(d, false) != jpeg::HeaderResult::Read) {
        finish(ResultCode::InvalidData);
        return result;
    }
    if (setjmp(d.error.jump) != 0) {
        finish(ResultCode::LibraryFailure);
        return result;
    }
    if (const ResultCode prepared = jpeg::prepareRows(d, reduction, target);
        prepared != ResultCode::Success) {
        finish(prepared);
        return result;
    }
    phase = Phase::ReadingScans;
    if (jpeg_has_multiple_scans(&d.cinfo)) {
        const auto at = static_cast<std::size_t>(source.pub.next_input_byte - source.data);
        setLimit(source, at + kProgressiveBlock);
    }
    return ResultCode::Success;
}

bool JpegStepDecoder::State::run(const std::function<bool()>& shouldStop) {
    if (setjmp(d.error.jump) != 0) {
        // Broken data after the first rows: what was decoded is kept, as the
        // one-call decoder does.
        complete(phase == Phase::ReadingRows ? ResultCode::Success : ResultCode::LibraryFailure);
        return true;
    }
    while (phase == Phase::ReadingScans) {
        if (jpeg_start_decompress(&d.cinfo)) {
            setLimit(source, source.size);
            phase = Phase::ReadingRows;
            break;
        }
        setLimit(source, source.limit + kProgressiveBlock);
        if (shouldStop()) {
            return false;
        }
    }
    while (!jpeg::allRowsRead(d)) {
        jpeg::readRowBatch(d, target);
        if (!jpeg::allRowsRead(d) && shouldStop()) {
            return false;
        }
    }
    jpeg_finish_decompress(&d.cinfo);
    complete(ResultCode::Success);
    return true;
}

bool JpegStepDecoder::step(const std::function<bool()>& shouldStop) {
    if (finished()) {
        return true;
    }
    return m_state->run(shouldStop);
}

bool JpegStepDecoder::finished() const {
    return m_state == nullptr || m_state->phase == Phase::Finished;
}

ResultCode JpegStepDecoder::result() const {
    return m_state != nullptr && finished() ? m_state->result : ResultCode::Failure;
}

PictureBuffer JpegStepDecoder::takePicture() {
    if (m_state == nullptr || !finished() || m_state->result != ResultCode::Success) {
        return {};
    }
    return std::move(m_state->target.picture);
}

} // namespace vemra
