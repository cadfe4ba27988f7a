// vemra-spi-host: runs plug-ins (*.spi) for Vemra in a process of their own,
// so that a plug-in that crashes, corrupts its heap, aborts or hangs takes
// only this process down. Vemra starts it with one end of a socket pair as
// descriptor 3 and sends one request at a time (see imaging/host_protocol.h);
// the host loads each plug-in on its first request, calls it inside the
// fault guard and answers. After a fault it reports the fault and ends: its
// state is not to be trusted any more, and Vemra starts another.

#include "imaging/dib_layout.h"
#include "imaging/host_channel.h"
#include "imaging/host_identify_batch.h"
#include "imaging/host_protocol.h"
#include "imaging/plugin_module.h"
#include "platform/fault_guard.h"
#include "platform/memory_block.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace vemra;
using host::Message;
using host::MessageReader;
using host::MessageWriter;

constexpr int kSocket = 3;
// Progress is passed on at most this often: a plug-in may report every row,
// and each report is a round trip to the program.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

std::map<std::string, std::unique_ptr<PluginModule>> g_modules;
// Which plug-in of a request that asks several is being called.
std::uint32_t g_asking = 0;

// The state of the progress reports of the call under way.
struct ProgressState {
    std::chrono::steady_clock::time_point last;
    int answer = 0;
};
ProgressState g_progress;
// Kept outside the callback, which runs inside the fault guard and so must
// not own anything that needs destroying.
std::vector<std::byte> g_progressReply;
host::UniqueFd g_progressFd;

// The last picture, kept until the program has read it in place from this
// process (or asked for it in a memfd instead).
struct KeptPicture {
    SpiBlock info;
    SpiBlock pixels;
    std::size_t pixelOffset = 0;
    std::size_t total = 0;
};
KeptPicture g_kept;

void send(const MessageWriter& message, int fd = -1) {
    if (!host::sendMessage(kSocket, message.data(), fd)) {
        _exit(0); // the program is gone
    }
}

[[noreturn]] void reportAndEnd(const FaultReport& report, host::FaultPhase phase) {
    MessageWriter message(Message::Fault);
    host::writeFault(message, report, phase, g_asking);
    host::sendMessage(kSocket, message.data());
    // Nothing of this process is to be trusted now: no destructors, no
    // handlers at exit.
    _exit(3);
}

template <class Call> void guarded(const char* operation, Call&& call) {
    FaultReport report;
    if (!runGuarded(operation, call, report)) {
        reportAndEnd(report, host::FaultPhase::Call);
    }
}

int forwardProgress(int done, int total, intptr_t) {
    const auto now = std::chrono::steady_clock::now();
    if (g_progress.answer != 0 || now - g_progress.last < kProgressInterval) {
        return g_progress.answer;
    }
    g_progress.last = now;
    MessageWriter message(Message::Progress);
    message.i32(done);
    message.i32(total);
    send(message);
    if (host::receiveMessage(kSocket, g_progressReply, g_progressFd,
                             std::chrono::milliseconds(-1)) != host::ReceiveStatus::Message) {
        _exit(0);
    }
    MessageReader reader(g_progressReply);
    std::int32_t answer = 0;
    if (reader.type() != Message::ProgressAnswer || !reader.i32(answer)) {
        _exit(2);
    }
    g_progress.answer = answer;
    return answer;
}

// The first report of a call is passed on at once: a cancel may already be
// waiting for it.
void startProgress() {
    g_progress = {std::chrono::steady_clock::now() - kProgressInterval, 0};
}

// The plug-in at `path`, loaded on first use; null when the loader refuses
// it (`error` says why). A fault while loading ends the host.
PluginModule* moduleFor(const std::string& path, std::string* error = nullptr) {
    if (auto found = g_modules.find(path); found != g_modules.end()) {
        return found->second.get();
    }
    auto module = std::make_unique<PluginModule>(path);
    bool loaded = false;
    FaultReport report;
    // Plug-ins look for what they bring in their own folder.
    std::error_code ignored;
    const auto previous = std::filesystem::current_path(ignored);
    std::filesystem::current_path(std::filesystem::path(path).parent_path(), ignored);
    if (!runGuarded(
            "LoadDLL", [&] { loaded = module->loadLibrary(error); }, report)) {
        reportAndEnd(report, host::FaultPhase::Load);
    }
    std::filesystem::current_path(previous, ignored);
    if (!loaded) {
        return nullptr;
    }
    if (!runGuarded(
            "SetInstance",
            [&] {
                module->lookUpExports();
                module->readInformation();
            },
            report)) {
        reportAndEnd(report, host::FaultPhase::Lookup);
    }
    return g_modules.emplace(path, std::move(module)).first->second.get();
}

void answerCode(int code) {
    MessageWriter answer(Message::Answer);
    answer.i32(code);
    send(answer);
}

void answerSized(int code, std::uint64_t size, int fd = -1) {
    MessageWriter answer(Message::Answer);
    answer.i32(code);
    answer.u64(size);
    send(answer, fd);
}

// Reads the source of a request; a memory source is the memfd sent beside it.
struct Source {
    std::optional<PluginSource> source;
    std::optional<host::ReadMapping> mapping;
};

bool readSource(MessageReader& reader, int fd, Source& out) {
    std::uint32_t memory = 0;
    std::string path;
    std::int64_t number = 0;
    if (!reader.u32(memory) || !reader.text(path, 8192) || !reader.i64(number)) {
        return false;
    }
    if (memory == 0) {
        out.source = PluginSource::file(path, number);
        return true;
    }
    if (fd < 0) {
        out.source = PluginSource::memory({});
        return number == 0;
    }
    out.mapping = host::ReadMapping::open(fd, MemoryBlock::kMaxBytes);
    if (!out.mapping || static_cast<std::int64_t>(out.mapping->bytes().size()) != number) {
        return false;
    }
    out.source = PluginSource::memory(out.mapping->bytes());
    return true;
}

void load(MessageReader& reader) {
    std::string path;
    std::string error;
    if (!reader.text(path, 8192)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path, &error);
    if (module == nullptr) {
        MessageWriter failed(Message::LoadFailed);
        failed.text(error.substr(0, 4000));
        send(failed);
        return;
    }
    MessageWriter loaded(Message::Loaded);
    loaded.u32(module->hasConfigurationDialog() ? 1 : 0);
    const auto count = std::min<int>(module->informationCount(), host::kMaxInformation);
    loaded.u32(static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i) {
        loaded.text(module->information(i));
    }
    send(loaded);
}

void isSupported(MessageReader& reader) {
    std::string path;
    std::string fileName;
    std::vector<std::byte> header;
    if (!reader.text(path, 8192) || !reader.text(fileName, 8192) || !reader.bytes(header, 8192)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    bool takes = false;
    if (module != nullptr) {
        guarded("IsSupportedSub", [&] { takes = module->isSupported(fileName, header); });
    }
    answerCode(takes ? 1 : 0);
}

void isSupportedAny(MessageReader& reader) {
    std::string fileName;
    std::vector<std::byte> header;
    std::uint32_t count = 0;
    if (!reader.text(fileName, 8192) || !reader.bytes(header, 8192) || !reader.u32(count) ||
        count > 4096) {
        _exit(2);
    }
    int winner = -1;
    for (g_asking = 0; g_asking < count && winner < 0; ++g_asking) {
        std::string path;
        if (!reader.text(path, 8192)) {
            _exit(2);
        }
        const PluginModule* module = moduleFor(path);
        bool takes = false;
        if (module != nullptr) {
            guarded("IsSupportedSub", [&] { takes = module->isSupported(fileName, header); });
        }
        if (takes) {
            winner = static_cast<int>(g_asking);
        }
    }
    g_asking = 0;
    answerCode(winner);
}

// Many files at once: the request comes in a memfd, the answer names the
// plug-in that took each file.
void identifyBatch(MessageReader& reader, int fd) {
    std::uint64_t size = 0;
    if (!reader.u64(size) || !reader.complete() || fd < 0 || size > host::kMaxBatchBytes) {
        _exit(2);
    }
    const std::optional<host::ReadMapping> mapping =
        host::ReadMapping::open(fd, host::kMaxBatchBytes);
    if (!mapping || mapping->bytes().size() != size) {
        _exit(2);
    }
    host::IdentifyBatch batch;
    MessageReader request(mapping->bytes());
    if (!host::readIdentifyBatch(request, batch)) {
        _exit(2);
    }
    std::vector<PluginModule*> modules(batch.plugins.size(), nullptr);
    std::vector<bool> looked(batch.plugins.size(), false);
    const std::vector<std::int32_t> winners =
        host::firstTakers(batch, [&](std::uint32_t plugin, std::size_t file) {
            if (!looked[plugin]) {
                looked[plugin] = true;
                modules[plugin] = moduleFor(batch.plugins[plugin]);
            }
            const PluginModule* module = modules[plugin];
            if (module == nullptr) {
                return false;
            }
            const host::BatchFile& asked = batch.files[file];
            bool takes = false;
            g_asking = plugin;
            guarded("IsSupportedSub",
                    [&] { takes = module->isSupported(asked.fileName, asked.header); });
            return takes;
        });
    g_asking = 0;
    MessageWriter answer(Message::Answer);
    host::writeBatchAnswer(answer, winners);
    send(answer);
}

void pictureInfo(MessageReader& reader, int fd) {
    std::string path;
    Source source;
    if (!reader.text(path, 8192) || !readSource(reader, fd, source)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    PluginPictureInfo info;
    ResultCode code = ResultCode::Failure;
    if (module != nullptr) {
        guarded("GetPictureInfo", [&] { code = module->pictureInfo(*source.source, info); });
    }
    MessageWriter answer(Message::Answer);
    host::writeInfoAnswer(answer, static_cast<int>(code), info);
    send(answer);
}

// Sends the kept picture in a sealed memfd, written once, and lets it go.
void sharePicture() {
    if (g_kept.total == 0) {
        answerSized(static_cast<int>(ResultCode::Failure), 0);
        return;
    }
    host::UniqueFd merged;
    guarded("AppendHandle", [&] {
        const std::span<const std::byte> parts[] = {g_kept.info.bytes().first(g_kept.pixelOffset),
                                                    g_kept.pixels.bytes()};
        merged = host::sealedBytes(parts, g_kept.total);
    });
    const std::size_t total = g_kept.total;
    g_kept = {};
    if (!merged) {
        answerSized(static_cast<int>(ResultCode::OutOfMemory), 0);
        return;
    }
    answerSized(0, total, merged.get());
}

void picture(MessageReader& reader, int fd) {
    std::string path;
    Source source;
    std::uint32_t inPlace = 0;
    if (!reader.text(path, 8192) || !readSource(reader, fd, source) || !reader.u32(inPlace)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    if (module == nullptr) {
        answerSized(static_cast<int>(ResultCode::Failure), 0);
        return;
    }
    SpiBlock info;
    SpiBlock pixels;
    ResultCode code = ResultCode::Failure;
    startProgress();
    guarded("GetPicture", [&] {
        code = module->pictureBlocks(*source.source, info, pixels, forwardProgress, 0);
    });
    if (code != ResultCode::Success) {
        answerSized(static_cast<int>(code), 0);
        return;
    }
    // The merge: header and colour table, then the pixel rows. The blocks'
    // sizes are the plug-in's words, so reading them stays inside the guard.
    std::size_t pixelOffset = 0;
    std::size_t total = 0;
    guarded("AppendHandle", [&] {
        const std::optional<DibLayout> layout =
            info.isNull() ? std::nullopt : DibLayout::describe(info.bytes());
        if (!layout || layout->pixelOffset > info.size() ||
            layout->pixelOffset > host::kMaxPictureHead) {
            return;
        }
        const std::size_t room = std::max(pixels.size(), layout->imageBytes);
        if (room > MemoryBlock::kMaxBytes - layout->pixelOffset) {
            return;
        }
        pixelOffset = layout->pixelOffset;
        total = pixelOffset + room;
    });
    if (total == 0) {
        answerSized(static_cast<int>(ResultCode::InvalidData), 0);
        return;
    }
    g_kept = {std::move(info), std::move(pixels), pixelOffset, total};
    if (inPlace) {
        // The program copies the rows straight out of this process into its
        // own picture: one copy, as in process.
        MessageWriter answer(Message::Answer);
        guarded("AppendHandle", [&] {
            host::PictureInPlace place;
            place.total = total;
            const auto head = g_kept.info.bytes().first(pixelOffset);
            place.head.assign(head.begin(), head.end());
            place.pixelAddress = reinterpret_cast<std::uintptr_t>(g_kept.pixels.bytes().data());
            place.pixelBytes = g_kept.pixels.size();
            host::writePictureInPlace(answer, place);
        });
        send(answer);
        return;
    }
    sharePicture();
}

void archiveInfo(MessageReader& reader, int fd) {
    std::string path;
    Source source;
    if (!reader.text(path, 8192) || !readSource(reader, fd, source)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    std::vector<ArchiveEntry> list;
    bool gotList = false;
    ResultCode code = ResultCode::Failure;
    if (module != nullptr) {
        guarded("GetArchiveInfo",
                [&] { code = module->archiveInfo(*source.source, list, &gotList); });
    }
    if (!gotList) {
        answerSized(static_cast<int>(code), 0);
        return;
    }
    const std::span<const std::byte> parts[] = {std::as_bytes(std::span(list))};
    const host::UniqueFd bytes = host::sealedBytes(parts, parts[0].size());
    if (!bytes) {
        answerSized(static_cast<int>(ResultCode::OutOfMemory), 0);
        return;
    }
    answerSized(static_cast<int>(code), parts[0].size(), bytes.get());
}

void fileToMemory(MessageReader& reader) {
    std::string path;
    std::string archive;
    std::uint32_t position = 0;
    if (!reader.text(path, 8192) || !reader.text(archive, 8192) || !reader.u32(position)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    SpiBlock member;
    ResultCode code = ResultCode::Failure;
    if (module != nullptr) {
        startProgress();
        guarded("GetFile", [&] {
            code = module->fileToMemory(PluginSource::file(archive), position, member,
                                        forwardProgress, 0);
        });
    }
    if (code != ResultCode::Success || member.size() == 0) {
        answerSized(static_cast<int>(code), 0);
        return;
    }
    host::UniqueFd bytes;
    guarded("GetFile", [&] {
        const std::span<const std::byte> parts[] = {member.bytes()};
        bytes = host::sealedBytes(parts, member.size());
    });
    if (!bytes) {
        answerSized(static_cast<int>(ResultCode::OutOfMemory), 0);
        return;
    }
    const std::size_t size = member.size();
    member.reset();
    answerSized(0, size, bytes.get());
}

void fileToFolder(MessageReader& reader) {
    std::string path;
    std::string archive;
    std::string folder;
    std::uint32_t position = 0;
    if (!reader.text(path, 8192) || !reader.text(archive, 8192) || !reader.u32(position) ||
        !reader.text(folder, 8192)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    ResultCode code = ResultCode::Failure;
    if (module != nullptr) {
        startProgress();
        guarded("GetFile", [&] {
            code = module->fileToFolder(PluginSource::file(archive), position, folder,
                                        forwardProgress, 0);
        });
    }
    answerCode(static_cast<int>(code));
}

void configurationDialog(MessageReader& reader) {
    std::string path;
    std::int32_t function = 0;
    if (!reader.text(path, 8192) || !reader.i32(function)) {
        _exit(2);
    }
    const PluginModule* module = moduleFor(path);
    int result = -1;
    if (module != nullptr) {
        guarded("ConfigurationDlg",
                [&] { result = module->configurationDialog(nullptr, function); });
    }
    answerCode(result);
}

} // namespace

int main() {
    // abort() from a plug-in (or from glibc finding its heap broken) is
    // reported like any fault; the host ends right after.
    setAbortGuarded(true);
    // A host busy in a hung plug-in does not outlive the program.
    std::thread([parent = ::getppid()] {
        while (::getppid() == parent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        _exit(0);
    }).detach();
    std::vector<std::byte> message;
    host::UniqueFd fd;
    for (;;) {
        switch (host::receiveMessage(kSocket, message, fd, std::chrono::milliseconds(-1))) {
        case host::ReceiveStatus::Message:
            break;
        case host::ReceiveStatus::Garbled:
            _exit(2);
        default:
            _exit(0);
        }
        MessageReader reader(message);
        if (reader.type() == Message::SharePicture) {
            sharePicture();
            continue;
        }
        // Whatever comes after a picture means the program is done with it.
        g_kept = {};
        switch (reader.type()) {
        case Message::Release:
            break;
        case Message::Load:
            load(reader);
            break;
        case Message::IsSupported:
            isSupported(reader);
            break;
        case Message::IsSupportedAny:
            isSupportedAny(reader);
            break;
        case Message::IdentifyBatch:
            identifyBatch(reader, fd.get());
            break;
        case Message::PictureInfo:
            pictureInfo(reader, fd.get());
            break;
        case Message::Picture:
            picture(reader, fd.get());
            break;
        case Message::ArchiveInfo:
            archiveInfo(reader, fd.get());
            break;
        case Message::FileToMemory:
            fileToMemory(reader);
            break;
        case Message::FileToFolder:
            fileToFolder(reader);
            break;
        case Message::ConfigurationDialog:
            configurationDialog(reader);
            break;
        default:
            _exit(2);
        }
    }
}
