#include "picture_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/result_code.h"
#include "platform/file_status.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vemra::cli {

void reportFailure(std::string_view what, int code, std::string_view cause) {
    std::string line = "vemra-cli: ";
    line += what;
    line += ": ";
    line += cause;
    line += " (result ";
    line += std::to_string(code);
    // A script sees the code; a reader sees what it means, also where the
    // cause is told in other words.
    const bool named = code >= static_cast<int>(ResultCode::Failure) &&
                       code <= static_cast<int>(ResultCode::OpenFailure);
    const std::string_view name = resultName(static_cast<ResultCode>(code));
    if (named && cause.find(name) == std::string_view::npos) {
        line += ": ";
        line += name;
    }
    line += ")\n";
    std::fputs(line.c_str(), stderr);
}

std::string escapeText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

int usageError(std::string_view message) {
    std::fprintf(stderr, "vemra-cli: %.*s\nTry 'vemra-cli --help'.\n",
                 static_cast<int>(message.size()), message.data());
    return 2;
}

bool takeFolderArgument(std::string& path, bool folderOnly) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (folderOnly ? isExistingFolder(path) : fileStatus(path).has_value())
        return true;
    reportFailure(path, static_cast<int>(ResultCode::OpenFailure),
                  resultName(ResultCode::OpenFailure));
    return false;
}

namespace {

bool readOrReport(const std::string& path, ReadResult& out) {
    out = readBmpFile(path);
    if (!out) {
        reportFailure(path, static_cast<int>(out.code), resultName(out.code));
        return false;
    }
    return true;
}

} // namespace

int runInfo(std::span<const std::string_view> args) {
    if (args.size() != 1) {
        return usageError("info: give exactly one file");
    }
    ReadResult read;
    if (!readOrReport(std::string(args[0]), read)) {
        return 1;
    }
    const PictureBuffer& p = read.picture;
    const auto header = p.header();
    std::printf("%d\t%d\t%d\t%u\t%u\t%zu\n", p.width(), p.height(), p.bitCount(),
                static_cast<unsigned>(p.compression()), header ? header->coloursUsed : 0u,
                p.totalBytes());
    return 0;
}

} // namespace vemra::cli
