#include "document/picture_loader.h"

#include "document/picture_source.h"
#include "imaging/decoder_registry.h"
#include "imaging/jpeg_steps.h"
#include "imaging/spi_block.h"

namespace vemra {
namespace {

EntryDecoding decodingOf(const PictureSource& entry) {
    EntryDecoding decoding;
    decoding.decoder = entry.decoder;
    if (entry.isArchiveMember()) {
        decoding.archive = entry.archiveDecoder;
        decoding.path = entry.archiveFullPath();
        decoding.name = entry.fileName;
        decoding.memberPosition = static_cast<std::uint32_t>(entry.memberPosition);
    } else {
        decoding.path = entry.fullPath();
    }
    decoding.width = entry.pictureWidth;
    decoding.height = entry.pictureHeight;
    decoding.bitCount = entry.bitCount;
    return decoding;
}

// What a successful decode teaches the entry. The info text comes with the
// size: new when the size was learnt now or another decoder took over.
void learnFrom(const EntryDecoding& decoding, bool knewSize, DecoderId before,
               PictureSource& entry) {
    if (decoding.width > 0 && decoding.height > 0) {
        entry.pictureWidth = decoding.width;
        entry.pictureHeight = decoding.height;
        entry.bitCount = decoding.bitCount;
    }
    if (!knewSize || decoding.decoder != before)
        entry.infoText = decoding.comment;
}

// A plain file decoded by the built-in JPEG decoder a band at a time.
class JpegThumbnailDecode final : public ThumbnailDecode {
public:
    JpegThumbnailDecode(EntryDecoding decoding, bool knewSize)
        : m_decoding(std::move(decoding)), m_knewSize(knewSize) {}

    ResultCode start(int reduction) { return m_decoder.startFile(m_decoding.path, reduction); }
    bool step(const std::function<bool()>& shouldStop) override {
        return m_decoder.step(shouldStop);
    }
    int finish(PictureSource& entry, PictureBuffer& out) override {
        out = {};
        if (!m_decoder.finished())
            return static_cast<int>(ResultCode::Failure);
        const auto code = static_cast<int>(m_decoder.result());
        if (code != 0)
            return code;
        out = m_decoder.takePicture();
        entry.decoder = m_decoding.decoder;
        learnFrom(m_decoding, m_knewSize, m_decoding.decoder, entry);
        return code;
    }

private:
    EntryDecoding m_decoding;
    bool m_knewSize;
    JpegStepDecoder m_decoder;
};

} // namespace

std::unique_ptr<ThumbnailDecode> PictureLoader::beginThumbnailDecode(PictureSource&, int, int) {
    return nullptr;
}

int PictureLoader::extractMember(const PictureSource&, std::vector<std::byte>& out) {
    out.clear();
    return static_cast<int>(ResultCode::Failure);
}

std::shared_lock<std::shared_mutex> RegistryPictureLoader::workerUse() {
    return m_registry.sharedUse();
}

int RegistryPictureLoader::extractMember(const PictureSource& entry, std::vector<std::byte>& out) {
    out.clear();
    if (!entry.isArchiveMember() || entry.archiveDecoder < 0)
        return static_cast<int>(ResultCode::Failure);
    SpiBlock member;
    const int code =
        m_registry.archiveFileToMemory(entry.archiveDecoder, entry.archiveFullPath(),
                                       static_cast<std::uint32_t>(entry.memberPosition), member);
    if (code != 0)
        return code;
    const auto bytes = member.bytes();
    out.assign(bytes.begin(), bytes.end());
    return 0;
}

int RegistryPictureLoader::loadForThumbnail(PictureSource& entry, int width, int height,
                                            PictureBuffer& out) {
    EntryDecoding decoding = decodingOf(entry);
    // An entry listed without identification (no ScanSPI) learns its decoder
    // when it is first drawn; a member from the bytes unpacked for its
    // picture.
    if (decoding.decoder < 0 && !entry.isArchiveMember() &&
        m_registry.identifyEntry(decoding) < 0) {
        entry.decoder = kNoDecoder;
        return static_cast<int>(ResultCode::Failure);
    }
    const DecoderId before = decoding.decoder;
    const bool knewSize = decoding.width > 0 && decoding.height > 0;
    const int code = m_registry.loadEntryPicture(decoding, out, width, height);
    entry.decoder = decoding.decoder;
    if (code != 0)
        return code;
    learnFrom(decoding, knewSize, before, entry);
    return code;
}

// Only what loadEntryPicture would hand to the built-in JPEG decoder at
// once goes in steps: a plain file whose decoder is 1001, measured first
// when its size is not known. Anything that goes wrong before the rows are
// read is left to the one-call way, with its retries and other decoders.
std::unique_ptr<ThumbnailDecode>
RegistryPictureLoader::beginThumbnailDecode(PictureSource& entry, int width, int height) {
    if (entry.isArchiveMember())
        return nullptr;
    EntryDecoding decoding = decodingOf(entry);
    if (decoding.decoder < 0) {
        if (m_registry.identifyEntry(decoding) < 0)
            return nullptr;
        entry.decoder = decoding.decoder;
    }
    if (decoding.decoder != kJpegDecoderId)
        return nullptr;
    const bool knewSize = decoding.width > 0 && decoding.height > 0;
    if (decoding.width == 0 || decoding.height == 0) {
        PluginPictureInfo info;
        if (m_registry.info(decoding.decoder, PluginSource::file(decoding.path), info) != 0)
            return nullptr;
        decoding.width = info.width;
        decoding.height = info.height;
        decoding.bitCount = info.bitCount;
        decoding.comment = info.comment;
    }
    // The same scale the one-call path gets from the registry's policy.
    DecodeOptions options = m_registry.withPolicy({});
    options.reduction = thumbnailReduction(decoding.width, decoding.height, width, height);
    auto decode = std::make_unique<JpegThumbnailDecode>(std::move(decoding), knewSize);
    if (decode->start(options.jpegDenominator()) != ResultCode::Success)
        return nullptr;
    return decode;
}

} // namespace vemra
