#include "imaging/plugin_host_calls.h"

#include "platform/install_layout.h"
#include "platform/program_path.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vemra {

using host::Message;
using host::MessageReader;
using host::MessageWriter;

namespace {

constexpr const char* kHostName = "vemra-spi-host";
// A member list longer than this is not an archive anyone browses.
constexpr std::uint64_t kMaxListBytes = std::uint64_t{256} << 20;
// How often a host's memory is looked at, in answered calls.
constexpr int kMemoryCheckInterval = 16;

bool executable(const std::filesystem::path& path) {
    return ::access(path.c_str(), X_OK) == 0 && std::filesystem::is_regular_file(path);
}

// A host keeps the folder it was started in, which need not be the
// program's folder now: a relative name is resolved here, as a plug-in in the
// program would resolve it.
std::string hostPath(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

void writeSource(MessageWriter& writer, const PluginSource& source) {
    writer.u32(source.isMemory() ? 1 : 0);
    writer.text(source.isMemory() ? std::string() : hostPath(source.path()));
    writer.i64(source.number());
}

// The bytes of a memory source in a memfd for the host; invalid for a file.
host::UniqueFd sourceBytes(const PluginSource& source) {
    if (!source.isMemory() || source.number() <= 0) {
        return {};
    }
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(source.buffer()),
                                           static_cast<std::size_t>(source.number()));
    const std::span<const std::byte> parts[] = {bytes};
    return host::sealedBytes(parts, bytes.size());
}

// The code of an answer that carries a code and, on success, the size of
// the memfd beside it; false for anything else.
bool sizedAnswer(const std::vector<std::byte>& message, int& code, std::uint64_t& size) {
    MessageReader reader(message);
    return host::readSizedAnswer(reader, code, size);
}

// The code of an answer that carries nothing else; false for anything else.
bool codeAnswer(const std::vector<std::byte>& message, const host::UniqueFd& fd, int& code) {
    MessageReader reader(message);
    return !fd && host::readCodeAnswer(reader, code);
}

const char* phaseOperation(host::FaultPhase phase, const char* operation) {
    switch (phase) {
    case host::FaultPhase::Load:
        return "LoadDLL";
    case host::FaultPhase::Lookup:
        return "SetInstance";
    case host::FaultPhase::Call:
        break;
    }
    return operation;
}

} // namespace

HostTimeLimits HostTimeLimits::fromEnvironment() {
    HostTimeLimits limits;
    if (const char* text = std::getenv("VEMRA_SPI_TIME_LIMIT_MS")) {
        const long value = std::strtol(text, nullptr, 10);
        if (value > 0) {
            const std::chrono::milliseconds all(value);
            limits = {all, all, all, all, all, all, all};
        }
    }
    return limits;
}

std::string findPluginHost() {
    namespace fs = std::filesystem;
    if (const char* given = std::getenv("VEMRA_SPI_HOST"); given != nullptr && *given != '\0') {
        return executable(given) ? std::string(given) : std::string();
    }
    const std::string program = executableDir();
    if (program.empty()) {
        return {};
    }
    for (const fs::path& candidate :
         {fs::path(program) / kHostName,
          installedFolder(InstalledFolder::Helpers, program) / kHostName,
          (fs::path(program) / ".." / ".." / kHostName).lexically_normal()}) {
        std::error_code error;
        if (executable(candidate)) {
            return candidate.string();
        }
    }
    return {};
}

PluginHostCalls::PluginHostCalls(PluginHostOptions options)
    : m_options(std::move(options)), m_information(m_options.informationCache) {
    m_options.maxHosts = std::max(1, m_options.maxHosts);
}

PluginHostCalls::~PluginHostCalls() {
    const std::lock_guard lock(m_mutex);
    m_idle.clear();
}

int PluginHostCalls::hostsStarted() const {
    const std::lock_guard lock(m_mutex);
    return m_started;
}

std::unique_ptr<host::HostProcess> PluginHostCalls::acquire() {
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [&] { return !m_idle.empty() || m_running < m_options.maxHosts; });
    if (!m_idle.empty()) {
        auto host = std::move(m_idle.back());
        m_idle.pop_back();
        return host;
    }
    ++m_running;
    ++m_started;
    lock.unlock();
    auto host = host::HostProcess::start(m_options.program, nullptr);
    if (!host) {
        retire();
    }
    return host;
}

void PluginHostCalls::release(std::unique_ptr<host::HostProcess> host) {
    // A plug-in that leaks grows its host without end; now and then a host
    // that holds too much is let go, and the next call starts a fresh one.
    if (++host->answered % kMemoryCheckInterval == 0 &&
        host->residentBytes() > m_options.maxResidentBytes) {
        host.reset();
        retire();
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(host));
    }
    m_freed.notify_one();
}

void PluginHostCalls::retire() {
    {
        const std::lock_guard lock(m_mutex);
        --m_running;
    }
    m_freed.notify_one();
}

PluginHostCalls::Outcome PluginHostCalls::exchange(const Call& call, Reply& reply,
                                                   FaultReport& fault) {
    std::uint32_t faultedAt = 0;
    return exchange(call, reply, fault, faultedAt);
}

PluginHostCalls::Outcome PluginHostCalls::exchange(const Call& call, Reply& reply,
                                                   FaultReport& fault, std::uint32_t& faultedAt) {
    // A host that ended while it was idle (killed from outside) is noticed
    // when the request cannot be sent; the call goes to a fresh one then.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto host = acquire();
        if (!host) {
            return Outcome::Unavailable;
        }
        if (!host::sendMessage(host->socket(), call.request, call.fd)) {
            host->kill();
            host.reset();
            retire();
            continue;
        }
        Outcome outcome = converse(*host, call, reply, fault, faultedAt);
        if (outcome == Outcome::Answered && call.finish && !call.finish(*host, reply)) {
            outcome = Outcome::Unavailable;
            host->kill();
            host.reset();
            retire();
            return outcome;
        }
        if (outcome == Outcome::Answered) {
            release(std::move(host));
        } else {
            host->kill();
            host.reset();
            retire();
        }
        return outcome;
    }
    return Outcome::Unavailable;
}

PluginHostCalls::Outcome PluginHostCalls::converse(host::HostProcess& host, const Call& call,
                                                   Reply& reply, FaultReport& fault,
                                                   std::uint32_t& faultedAt) {
    faultedAt = 0;
    fault = FaultReport{};
    fault.operation = call.operation;
    const auto ended = [&](FaultKind kind) {
        fault.kind = kind;
        fault.code = faultCode(kind);
        return Outcome::Faulted;
    };
    for (;;) {
        switch (host::receiveMessage(host.socket(), reply.message, reply.fd, call.limit)) {
        case host::ReceiveStatus::TimedOut:
            return ended(FaultKind::Timeout);
        case host::ReceiveStatus::Closed:
        case host::ReceiveStatus::Garbled:
            return ended(FaultKind::ProcessEnded);
        case host::ReceiveStatus::Message:
            break;
        }
        MessageReader reader(reply.message);
        switch (reader.type()) {
        case Message::Progress: {
            int done = 0;
            int total = 0;
            if (!host::readProgress(reader, done, total) || reply.fd) {
                return ended(FaultKind::ProcessEnded);
            }
            const int answer =
                call.progress != nullptr ? call.progress(done, total, call.userData) : 0;
            MessageWriter back(Message::ProgressAnswer);
            back.i32(answer);
            if (!host::sendMessage(host.socket(), back.data())) {
                return ended(FaultKind::ProcessEnded);
            }
            continue; // progress starts the time limit again
        }
        case Message::Fault: {
            host::FaultPhase phase = host::FaultPhase::Call;
            if (!host::readFault(reader, fault, phase, faultedAt)) {
                return ended(FaultKind::ProcessEnded);
            }
            fault.operation = phaseOperation(phase, call.operation);
            return Outcome::Faulted;
        }
        case Message::Answer:
        case Message::Loaded:
        case Message::LoadFailed:
            return Outcome::Answered;
        default:
            return ended(FaultKind::ProcessEnded);
        }
    }
}

LoadOutcome PluginHostCalls::load(PluginSlot& slot, std::string& error, FaultReport& fault) {
    if (std::optional<PluginInformation> known = m_information.find(slot.module.path())) {
        slot.module.adoptInformation(std::move(known->information), known->hasConfigurationDialog);
        slot.hostLoaded = true;
        return LoadOutcome::Loaded;
    }
    MessageWriter request(Message::Load);
    request.text(slot.module.path());
    Reply reply;
    const Call call{"LoadDLL", request.data(), -1, m_options.limits.load};
    switch (exchange(call, reply, fault)) {
    case Outcome::Faulted:
        return LoadOutcome::Faulted;
    case Outcome::Unavailable:
        error = "vemra-spi-host";
        return LoadOutcome::Failed;
    case Outcome::Answered:
        break;
    }
    MessageReader reader(reply.message);
    if (reader.type() == Message::LoadFailed) {
        if (!reader.text(error, 4096) || !reader.complete()) {
            error.clear();
        }
        return LoadOutcome::Failed;
    }
    host::LoadedReply loaded;
    if (reply.fd || !host::readLoaded(reader, loaded)) {
        error = "vemra-spi-host";
        return LoadOutcome::Failed;
    }
    m_information.put(slot.module.path(), {loaded.hasConfigurationDialog, loaded.information});
    slot.module.adoptInformation(std::move(loaded.information), loaded.hasConfigurationDialog);
    slot.hostLoaded = true;
    return LoadOutcome::Loaded;
}

void PluginHostCalls::unload(PluginSlot& slot) {
    // Hosts keep the library; the registry no longer calls it.
    slot.hostLoaded = false;
}

bool PluginHostCalls::isSupported(PluginSlot& slot, const std::string& fileName,
                                  std::span<const std::byte> header, bool& takes,
                                  FaultReport& fault) {
    takes = false;
    MessageWriter request(Message::IsSupported);
    request.text(slot.module.path());
    request.text(fileName);
    request.bytes(header.first(std::min<std::size_t>(header.size(), 8192)));
    Reply reply;
    const Call call{"IsSupportedSub", request.data(), -1, m_options.limits.identify};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    int answer = 0;
    takes =
        outcome == Outcome::Answered && codeAnswer(reply.message, reply.fd, answer) && answer != 0;
    return true;
}

bool PluginHostCalls::firstSupporting(std::span<PluginSlot* const> asked,
                                      const std::string& fileName,
                                      std::span<const std::byte> header, int& winner,
                                      int& faultedAt, FaultReport& fault) {
    // One exchange for the whole list: identification asks every plug-in
    // about every file, and a round trip costs more than most answers.
    winner = -1;
    if (asked.empty()) {
        return true;
    }
    MessageWriter request(Message::IsSupportedAny);
    request.text(fileName);
    request.bytes(header.first(std::min<std::size_t>(header.size(), 8192)));
    request.u32(static_cast<std::uint32_t>(asked.size()));
    for (const PluginSlot* slot : asked) {
        request.text(slot->module.path());
    }
    Reply reply;
    const Call call{"IsSupportedSub", request.data(), -1, m_options.limits.identify};
    std::uint32_t at = 0;
    const Outcome outcome = exchange(call, reply, fault, at);
    if (outcome == Outcome::Faulted) {
        // A host that ended without saying where is blamed on the first.
        faultedAt = at < asked.size() ? static_cast<int>(at) : 0;
        return false;
    }
    int answer = -1;
    if (outcome == Outcome::Answered && codeAnswer(reply.message, reply.fd, answer) &&
        answer >= 0 && static_cast<std::size_t>(answer) < asked.size()) {
        winner = answer;
    }
    return true;
}

bool PluginHostCalls::identifyBatch(std::span<PluginSlot* const> plugins, bool moveToFront,
                                    std::span<const host::BatchQuestion> files,
                                    std::vector<std::int32_t>& winners) {
    winners.clear();
    if (files.empty() || files.size() > host::kMaxBatchFiles ||
        plugins.size() > host::kMaxBatchPlugins) {
        return false;
    }
    std::vector<std::string_view> paths;
    paths.reserve(plugins.size());
    for (const PluginSlot* slot : plugins) {
        paths.emplace_back(slot->module.path());
    }
    MessageWriter body(Message::IdentifyBatch);
    host::writeIdentifyBatch(body, moveToFront, paths, files);
    if (body.data().size() > host::kMaxBatchBytes) {
        return false;
    }
    const std::span<const std::byte> parts[] = {body.data()};
    const host::UniqueFd bytes = host::sealedBytes(parts, body.data().size());
    if (!bytes) {
        return false;
    }
    MessageWriter request(Message::IdentifyBatch);
    request.u64(body.data().size());
    Reply reply;
    FaultReport fault;
    const Call call{"IsSupportedSub", request.data(), bytes.get(), m_options.limits.identify};
    if (exchange(call, reply, fault) != Outcome::Answered || reply.fd) {
        return false;
    }
    MessageReader reader(reply.message);
    return host::readBatchAnswer(reader, files.size(), plugins.size(), winners);
}

bool PluginHostCalls::pictureInfo(PluginSlot& slot, const PluginSource& source,
                                  PluginPictureInfo& out, ResultCode& code, FaultReport& fault) {
    out = {};
    code = ResultCode::Failure;
    MessageWriter request(Message::PictureInfo);
    request.text(slot.module.path());
    writeSource(request, source);
    const host::UniqueFd bytes = sourceBytes(source);
    if (source.isMemory() && source.number() > 0 && !bytes) {
        code = ResultCode::OutOfMemory;
        return true;
    }
    Reply reply;
    const Call call{"GetPictureInfo", request.data(), bytes.get(), m_options.limits.info};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    MessageReader reader(reply.message);
    int answer = 0;
    if (outcome == Outcome::Answered && !reply.fd && host::readInfoAnswer(reader, answer, out)) {
        code = static_cast<ResultCode>(answer);
        if (code != ResultCode::Success) {
            out = {};
        }
    }
    return true;
}

bool PluginHostCalls::readPictureInPlace(host::HostProcess& host, Reply& reply, PictureBuffer& out,
                                         ResultCode& code) {
    MessageReader reader(reply.message);
    int answer = 0;
    host::PictureInPlace place;
    if (reply.fd || !host::readPictureInPlace(reader, answer, place, MemoryBlock::kMaxBytes)) {
        return true; // a failure code, or a memfd: read after the exchange
    }
    reply.message.clear();
    PictureBuffer picture = PictureBuffer::allocate(static_cast<std::size_t>(place.total));
    if (picture.isNull()) {
        code = ResultCode::OutOfMemory;
        host::sendMessage(host.socket(), MessageWriter(Message::Release).data());
        return true;
    }
    std::byte* data = picture.block().data();
    std::memcpy(data, place.head.data(), place.head.size());
    if (place.pixelBytes > 0) {
        iovec local{data + place.head.size(), static_cast<std::size_t>(place.pixelBytes)};
        iovec remote{reinterpret_cast<void*>(static_cast<std::uintptr_t>(place.pixelAddress)),
                     static_cast<std::size_t>(place.pixelBytes)};
        const ssize_t got = ::process_vm_readv(host.pid(), &local, 1, &remote, 1, 0);
        if (got < 0 && (errno == EPERM || errno == ENOSYS || errno == EACCES)) {
            // Not allowed here: from now on pictures come in memfds.
            m_inPlace = false;
            if (!host::sendMessage(host.socket(), MessageWriter(Message::SharePicture).data()) ||
                host::receiveMessage(host.socket(), reply.message, reply.fd,
                                     m_options.limits.picture) != host::ReceiveStatus::Message) {
                return false;
            }
            return true;
        }
        if (got < 0 || static_cast<std::uint64_t>(got) != place.pixelBytes) {
            code = ResultCode::InvalidData;
            return false; // an address that is not there: the host is not to be trusted
        }
    }
    host::sendMessage(host.socket(), MessageWriter(Message::Release).data());
    if (!picture.isValid()) {
        code = ResultCode::InvalidData;
        return true;
    }
    code = ResultCode::Success;
    out = std::move(picture);
    return true;
}

bool PluginHostCalls::picture(PluginSlot& slot, const PluginSource& source, PictureBuffer& out,
                              ProgressCallback progress, intptr_t userData, ResultCode& code,
                              FaultReport& fault) {
    out = {};
    code = ResultCode::Failure;
    MessageWriter request(Message::Picture);
    request.text(slot.module.path());
    writeSource(request, source);
    request.u32(m_inPlace ? 1 : 0);
    const host::UniqueFd bytes = sourceBytes(source);
    if (source.isMemory() && source.number() > 0 && !bytes) {
        code = ResultCode::OutOfMemory;
        return true;
    }
    Reply reply;
    Call call{"GetPicture", request.data(), bytes.get(), m_options.limits.picture,
              progress,     userData};
    call.finish = [&](host::HostProcess& host, Reply& answer) {
        return readPictureInPlace(host, answer, out, code);
    };
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    if (!out.isNull() || reply.message.empty()) {
        return true; // read in place (or refused there)
    }
    int answer = 0;
    std::uint64_t size = 0;
    if (outcome != Outcome::Answered || !sizedAnswer(reply.message, answer, size)) {
        return true;
    }
    code = static_cast<ResultCode>(answer);
    if (code != ResultCode::Success) {
        return true;
    }
    // The picture as the host merged it, mapped in place: never copied here.
    PictureBuffer picture =
        PictureBuffer::adopt(host::mapSealed(reply.fd.get(), size, MemoryBlock::kMaxBytes));
    if (!picture.isValid()) {
        code = ResultCode::InvalidData;
        return true;
    }
    out = std::move(picture);
    return true;
}

bool PluginHostCalls::archiveInfo(PluginSlot& slot, const PluginSource& source,
                                  std::vector<ArchiveEntry>& out, bool& gotList, ResultCode& code,
                                  FaultReport& fault) {
    out.clear();
    gotList = false;
    code = ResultCode::Failure;
    MessageWriter request(Message::ArchiveInfo);
    request.text(slot.module.path());
    writeSource(request, source);
    const host::UniqueFd bytes = sourceBytes(source);
    Reply reply;
    const Call call{"GetArchiveInfo", request.data(), bytes.get(), m_options.limits.archiveList};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    int answer = 0;
    std::uint64_t size = 0;
    if (outcome != Outcome::Answered || !sizedAnswer(reply.message, answer, size) ||
        size % sizeof(ArchiveEntry) != 0 || size > kMaxListBytes) {
        return true;
    }
    code = static_cast<ResultCode>(answer);
    // The host sends a list (possibly of no members) whenever the plug-in
    // returned one.
    gotList = static_cast<bool>(reply.fd);
    if (size > 0) {
        const MemoryBlock list = host::mapSealed(reply.fd.get(), size, kMaxListBytes);
        if (list.empty()) {
            gotList = false;
            code = ResultCode::Failure;
            return true;
        }
        out.resize(list.size() / sizeof(ArchiveEntry));
        std::memcpy(out.data(), list.data(), list.size());
        // The host stopped at the terminating record; one in the middle ends
        // the list here too.
        const auto end = std::find_if(out.begin(), out.end(),
                                      [](const ArchiveEntry& e) { return e.method[0] == 0; });
        out.erase(end, out.end());
    }
    return true;
}

bool PluginHostCalls::fileToMemory(PluginSlot& slot, const std::string& archivePath,
                                   std::uint32_t position, SpiBlock& out, ProgressCallback progress,
                                   intptr_t userData, ResultCode& code, FaultReport& fault) {
    out.reset();
    code = ResultCode::Failure;
    MessageWriter request(Message::FileToMemory);
    request.text(slot.module.path());
    request.text(hostPath(archivePath));
    request.u32(position);
    Reply reply;
    const Call call{"GetFile", request.data(), -1, m_options.limits.file, progress, userData};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    int answer = 0;
    std::uint64_t size = 0;
    if (outcome != Outcome::Answered || !sizedAnswer(reply.message, answer, size)) {
        return true;
    }
    code = static_cast<ResultCode>(answer);
    if (code != ResultCode::Success) {
        return true;
    }
    if (size == 0) {
        // An empty member: a block of no bytes, as a plug-in hands it over.
        out = SpiBlock(SpiAlloc(0));
        return true;
    }
    MemoryBlock member = host::mapSealed(reply.fd.get(), size, MemoryBlock::kMaxBytes);
    if (member.empty()) {
        code = ResultCode::OutOfMemory;
        return true;
    }
    out = SpiBlock::adopt(std::move(member));
    return true;
}

bool PluginHostCalls::fileToFolder(PluginSlot& slot, const std::string& archivePath,
                                   std::uint32_t position, const std::string& folder,
                                   ProgressCallback progress, intptr_t userData, ResultCode& code,
                                   FaultReport& fault) {
    code = ResultCode::Failure;
    MessageWriter request(Message::FileToFolder);
    request.text(slot.module.path());
    request.text(hostPath(archivePath));
    request.u32(position);
    request.text(hostPath(folder));
    Reply reply;
    const Call call{"GetFile", request.data(), -1, m_options.limits.file, progress, userData};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    int answer = 0;
    if (outcome == Outcome::Answered && codeAnswer(reply.message, reply.fd, answer)) {
        code = static_cast<ResultCode>(answer);
    }
    return true;
}

bool PluginHostCalls::configurationDialog(PluginSlot& slot, void* /*parent*/, int function,
                                          int& result, FaultReport& fault) {
    // The program's window cannot cross into another process: the plug-in
    // gets no parent and shows its own top-level window, if it can.
    result = -1;
    MessageWriter request(Message::ConfigurationDialog);
    request.text(slot.module.path());
    request.i32(function);
    Reply reply;
    const Call call{"ConfigurationDlg", request.data(), -1, m_options.limits.dialog};
    const Outcome outcome = exchange(call, reply, fault);
    if (outcome == Outcome::Faulted) {
        return false;
    }
    int answer = 0;
    if (outcome == Outcome::Answered && codeAnswer(reply.message, reply.fd, answer)) {
        result = answer;
    }
    return true;
}

} // namespace vemra
