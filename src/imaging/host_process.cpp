#include "imaging/host_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace vemra::host {
namespace {

// The host's environment: the program's, with leak detection off for a
// sanitizer build of the host. Plug-ins that leak are the host's business
// (it is replaced, never asked to exit cleanly), and a leak report at its end
// would only hide the report that matters.
std::vector<std::string> hostEnvironment() {
    std::vector<std::string> out;
    std::string asan = "ASAN_OPTIONS=detect_leaks=0";
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("ASAN_OPTIONS=")) {
            asan = std::string(entry) + ":detect_leaks=0";
        } else {
            out.emplace_back(entry);
        }
    }
    out.push_back(asan);
    return out;
}

} // namespace

std::unique_ptr<HostProcess> HostProcess::start(const std::string& program, std::string* error) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        if (error != nullptr) {
            *error = std::strerror(errno);
        }
        return nullptr;
    }
    UniqueFd mine(pair[0]);
    UniqueFd theirs(pair[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copy, so only descriptor 3 reaches
    // the host; every other descriptor of ours is close-on-exec.
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The host starts with the default signal actions, whatever ours are.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const std::vector<std::string> environment = hostEnvironment();
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    std::string name = program;
    char* argv[] = {name.data(), nullptr};
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        if (error != nullptr) {
            *error = std::strerror(failed);
        }
        return nullptr;
    }
    return std::unique_ptr<HostProcess>(new HostProcess(std::move(mine), pid));
}

void HostProcess::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    m_socket.reset();
}

std::uint64_t HostProcess::residentBytes() const {
    const std::string path = "/proc/" + std::to_string(m_pid) + "/statm";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return 0;
    }
    unsigned long long size = 0;
    unsigned long long resident = 0;
    const int got = std::fscanf(file, "%llu %llu", &size, &resident);
    std::fclose(file);
    return got == 2 ? resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

HostProcess::~HostProcess() {
    // A closed socket ends a waiting host; one busy in a plug-in gets a
    // moment, then is killed, so that closing the program never waits on it.
    m_socket.reset();
    if (m_pid <= 0) {
        return;
    }
    for (int i = 0; i < 20; ++i) {
        const pid_t done = ::waitpid(m_pid, nullptr, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill();
}

} // namespace vemra::host
