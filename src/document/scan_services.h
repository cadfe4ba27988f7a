#pragma once

#include "imaging/decoder.h"
#include "imaging/result_code.h"

#include <vemra/spi.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// What the folder document needs from the decoder registry, and nothing
// more. The document never decodes; it only asks which decoder takes a file,
// which archive decoder takes an archive and what an archive holds, and
// it looks decoders up by the names stored in folder-information files.
//
// Picture decoders and archive decoders are numbered separately (plug-in
// positions 0..n-1 in load order of their kind; built-ins 1000..1008), so
// every query says which kind it means. Only decoders that are installed
// and switched on count; -1 (kNoDecoder) means none.
class ScanServices {
public:
    virtual ~ScanServices() = default;

    // The picture decoder that takes the plain file at `path`, judged by its
    // name and its first bytes.
    virtual DecoderId identifyFile(const std::string& path) const = 0;

    // identifyFile() for each path, in order, with the same answers; a
    // registry whose plug-ins run in another process asks about many files
    // in one exchange.
    virtual std::vector<DecoderId> identifyFiles(const std::vector<std::string>& paths) const {
        std::vector<DecoderId> out;
        out.reserve(paths.size());
        for (const std::string& path : paths)
            out.push_back(identifyFile(path));
        return out;
    }

    // The picture decoder that takes the archive member `member` of the
    // archive at `archivePath` (read by `archiveDecoder`), judged by the
    // member's name and its first bytes.
    virtual DecoderId identifyMember(DecoderId archiveDecoder, const std::string& archivePath,
                                     const ArchiveEntry& member) const = 0;

    // identifyMember() for each member of one archive, in order, with the
    // same answers; a registry whose plug-ins run in another process asks
    // about many members in one exchange.
    virtual std::vector<DecoderId> identifyMembers(DecoderId archiveDecoder,
                                                   const std::string& archivePath,
                                                   std::span<const ArchiveEntry> members) const {
        std::vector<DecoderId> out;
        out.reserve(members.size());
        for (const ArchiveEntry& member : members)
            out.push_back(identifyMember(archiveDecoder, archivePath, member));
        return out;
    }

    // The archive decoder that accepts the file at `path`.
    virtual DecoderId identifyArchive(const std::string& path) const = 0;

    // identifyArchive() for each path, in order, with the same answers.
    virtual std::vector<DecoderId> identifyArchives(const std::vector<std::string>& paths) const {
        std::vector<DecoderId> out;
        out.reserve(paths.size());
        for (const std::string& path : paths)
            out.push_back(identifyArchive(path));
        return out;
    }

    // The members of the archive at `path` as `archiveDecoder` lists them.
    // Success with the list, or a failure code; a damaged archive may answer
    // a failure together with the members that could be read.
    virtual ResultCode listArchive(DecoderId archiveDecoder, const std::string& path,
                                   std::vector<ArchiveEntry>& members) const = 0;

    // The installed picture or archive decoder whose name is `name`
    // (ignoring case), as folder-information files store it.
    virtual DecoderId pictureDecoderNamed(std::string_view name) const = 0;
    virtual DecoderId archiveDecoderNamed(std::string_view name) const = 0;

    // The name of picture decoder `id` as lists show it; empty for none.
    virtual std::string pictureDecoderLabel(DecoderId id) const = 0;
    virtual std::string archiveDecoderLabel(DecoderId id) const = 0;

    // Extension masks ("*.jpg;*.jpeg;*.png") of every picture decoder in
    // use, and of every archive decoder in use.
    virtual std::string pictureExtensions() const = 0;
    virtual std::string archiveExtensions() const = 0;

    // True when only names matching those masks are listed at all (the
    // registry's "#PluginEXT" switch).
    virtual bool extensionListsOnly() const = 0;
};

// Progress of a long read, shown by the GUI in its progress window; the
// command-line tool and tests give their own.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Opens the display: caption, message line and `total` steps. It may
    // come again with the real total once that is known.
    virtual void begin(std::string_view caption, std::string_view message, int total) = 0;
    virtual void setMessage(std::string_view message) = 0;
    virtual void advance() = 0;
    // True once the user asked to stop.
    virtual bool cancelRequested() = 0;
    virtual void end() = 0;
};

} // namespace vemra
