#pragma once

#include "document/picture_source.h"
#include "imaging/decoder_registry.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra::cli {

// The pictures named on the line, each described as a scan would describe
// it and selected; nullopt after a message when one cannot be opened.
struct Pictures {
    std::unique_ptr<DecoderRegistry> registry;
    std::vector<std::unique_ptr<PictureSource>> entries;
    std::vector<PictureSource*> pointers;
};
std::optional<Pictures> describe(const std::vector<std::string>& files);

// The output products over the pictures given, in order, as the browser
// makes them of a selection:
//   catalog FILE... --definition DEF.kpm -o OUTDIR [--name catalog.htm]
//           [--per-page N] [--table CxR] [--link 0|1|2] [--quality Q]
//           [--progressive] [--quant 8] [--thumbs-folder REL]
//   report FILE... -o REPORT.txt [--format FMT]
//   contact-sheet FILE... -o SHEET.jpg|.bmp [--grid CxR] [--quality Q] [--size WxH]
int runCatalog(std::span<const std::string_view> args);
int runReport(std::span<const std::string_view> args);
int runContactSheet(std::span<const std::string_view> args);

} // namespace vemra::cli
