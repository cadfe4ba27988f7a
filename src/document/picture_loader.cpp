#include "document/picture_loader.h"

#include "document/picture_source.h"
#include "imaging/decoder_registry.h"
#include "imaging/spi_block.h"

namespace vemra {

int PictureLoader::extractMember(const PictureSource&, std::vector<std::byte>& out) {
    out.clear();
    return static_cast<int>(ResultCode::Failure);
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
    // An entry listed without identification (no ScanSPI) learns its decoder
    // when it is first drawn.
    if (decoding.decoder < 0 && m_registry.identifyEntry(decoding) < 0) {
        entry.decoder = kNoDecoder;
        return static_cast<int>(ResultCode::Failure);
    }
    const DecoderId before = decoding.decoder;
    const bool knewSize = decoding.width > 0 && decoding.height > 0;
    const int code = m_registry.loadEntryPicture(decoding, out, width, height);
    entry.decoder = decoding.decoder;
    if (code != 0)
        return code;
    if (decoding.width > 0 && decoding.height > 0) {
        entry.pictureWidth = decoding.width;
        entry.pictureHeight = decoding.height;
        entry.bitCount = decoding.bitCount;
    }
    // The info text comes with the size: new when the size was learnt now or
    // another decoder took over.
    if (!knewSize || decoding.decoder != before)
        entry.infoText = decoding.comment;
    return code;
}

} // namespace vemra
