#include "platform/program_runner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vemra {
namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    void reset() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

} // namespace

ProgramRun runProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    ProgramRun run;
    if (argv.empty() || argv[0].empty())
        return run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return run;
    Descriptor reader{pipeEnds[0]};
    Descriptor writer{pipeEnds[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writer.fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writer.reset();
    if (spawned != 0)
        return run;
    run.started = true;

    // Read until the program closes its output or the time is up.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            break;
        }
        pollfd p{reader.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(reader.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const std::size_t room = kMaxProgramOutput - run.output.size();
        run.output.append(buffer, std::min(static_cast<std::size_t>(n), room));
    }
    // A program may close its output and still run on: it gets the rest of
    // the time, then it is killed.
    if (run.timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, run.timedOut ? 0 : WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return run;
        if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
        } else if (done == 0) {
            ::usleep(5000);
        }
    }
    if (run.timedOut)
        return run;
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

bool programOnPath(const std::string& name) {
    if (name.empty())
        return false;
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        if (folder.empty())
            folder = ".";
        if (::access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        rest.remove_prefix(colon + 1);
    }
}

} // namespace vemra
