#include "plugin_commands.h"

#include "picture_commands.h"
#include "platform/atomic_file.h"
#include "registry_cli.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vemra::cli {
namespace {

const char* codeName(ResultCode code) {
    return static_cast<int>(code) == SPI_END_OF_FILE ? "no such member" : resultName(code);
}

int failed(const std::string& what, int code) {
    reportFailure(what, code, codeName(static_cast<ResultCode>(code)));
    return 1;
}

std::string field(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '\t', ' ');
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

// The archive plug-in that takes `archive`, or -1 after a message.
DecoderId archivePluginFor(DecoderRegistry& registry, const std::string& archive, int& status) {
    if (::access(archive.c_str(), R_OK) != 0) {
        status = failed(archive, static_cast<int>(ResultCode::OpenFailure));
        return kNoDecoder;
    }
    IdentifyRequest request;
    request.fileName = archive;
    request.kind = DecoderKind::Archive;
    const DecoderId id = registry.identify(request);
    if (id < 0) {
        std::fprintf(stderr, "vemra-cli: %s: no archive plug-in in use takes this file\n",
                     archive.c_str());
        status = 1;
    }
    return id;
}

} // namespace

int runPlugins(std::span<const std::string_view> args) {
    if (!args.empty()) {
        return usageError("plugins: usage is plugins [--plugins DIR] [--set NAME]");
    }
    const std::string dir = registryOptions().pluginDir;
    if (!dir.empty() && !std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "vemra-cli: %s: no such plug-in folder\n", dir.c_str());
        return 1;
    }
    bool problems = false;
    const auto registry = openRegistry(&problems);
    struct Row {
        std::string name;
        std::string line;
    };
    std::vector<Row> rows;
    for (const DecoderKind kind : {DecoderKind::Picture, DecoderKind::Archive}) {
        for (DecoderId id = 0; id < registry->count(kind); ++id) {
            const PluginModule* p = registry->plugin(id, kind);
            std::string line = field(p->name()) + '\t' + field(p->typeString()) + '\t' +
                               field(p->description()) + '\t' + field(p->extensionList()) + '\t' +
                               (registry->inUse(id, kind) ? "1" : "0");
            rows.push_back({p->name(), std::move(line)});
        }
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.name < b.name; });
    for (const Row& row : rows) {
        std::printf("%s\n", row.line.c_str());
    }
    std::string sets;
    for (const std::string& set : registry->setNames()) {
        sets += sets.empty() ? "" : ", ";
        sets += set;
    }
    std::printf("# set: %s\n# sets: %s\n",
                registry->currentSet().empty() ? "_Default" : registry->currentSet().c_str(),
                sets.c_str());
    return problems ? 1 : 0;
}

int runList(std::span<const std::string_view> args) {
    if (args.size() != 1 || args[0].starts_with("-")) {
        return usageError("list: usage is list ARCHIVE [--plugins DIR] [--set NAME]");
    }
    const std::string archive(args[0]);
    const auto registry = openRegistry();
    int status = 0;
    const DecoderId id = archivePluginFor(*registry, archive, status);
    if (id < 0) {
        return status;
    }
    std::vector<ArchiveEntry> members;
    const int code = registry->archiveList(id, PluginSource::file(archive), members);
    for (const ArchiveEntry& m : members) {
        std::printf("%u\t%u\t%u\t%s\t%s\n", m.position, m.filesize, m.timestamp,
                    field(entryPath(m)).c_str(), field(entryFileName(m)).c_str());
    }
    return code == 0 ? 0 : failed(archive, code);
}

int runExtract(std::span<const std::string_view> args) {
    std::vector<std::string> plain;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = std::string(args[++i]);
        } else if (args[i].starts_with("-")) {
            return usageError("extract: unknown option " + std::string(args[i]));
        } else {
            plain.emplace_back(args[i]);
        }
    }
    std::uint32_t position = 0;
    const auto valid = [&] {
        if (plain.size() != 2 || output.empty()) {
            return false;
        }
        const std::string& p = plain[1];
        const auto [end, error] = std::from_chars(p.data(), p.data() + p.size(), position);
        return error == std::errc() && end == p.data() + p.size();
    };
    if (!valid()) {
        return usageError("extract: usage is extract ARCHIVE POSITION -o OUT [--plugins DIR]");
    }
    const std::string& archive = plain[0];
    const auto registry = openRegistry();
    int status = 0;
    const DecoderId id = archivePluginFor(*registry, archive, status);
    if (id < 0) {
        return status;
    }
    SpiBlock member;
    const int code = registry->archiveFileToMemory(id, archive, position, member);
    if (code != 0) {
        return failed(archive, code);
    }
    if (!writeFileAtomically(output, member.bytes())) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", output.c_str());
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
