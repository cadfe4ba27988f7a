#pragma once

#include "imaging/host_channel.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace vemra::host {

// One running vemra-spi-host, spoken to over a socket pair. The host ends
// when its socket closes; the destructor closes it and reaps the process,
// killing it when it does not end at once.
class HostProcess {
public:
    // Starts `program` with its end of the socket as descriptor 3. Null when
    // it cannot be started (`error` says why).
    static std::unique_ptr<HostProcess> start(const std::string& program, std::string* error);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    int socket() const { return m_socket.get(); }
    pid_t pid() const { return m_pid; }
    // Ends the process at once (it stopped answering or sent nonsense).
    void kill();
    // Its resident memory in bytes, 0 when unknown.
    std::uint64_t residentBytes() const;
    // Calls answered so far.
    int answered = 0;

private:
    HostProcess(UniqueFd socket, pid_t pid) : m_socket(std::move(socket)), m_pid(pid) {}

    UniqueFd m_socket;
    pid_t m_pid = -1;
};

} // namespace vemra::host
