#pragma once

#include "tests/support/two_hosts.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace tallybell::testing {

/// Makes the link from host B to host A lose, duplicate and reorder datagrams. With netem where
/// the kernel has it; else with what a kernel without netem usually still has: an htb class that
/// drops (a zero-length queue), a slow htb class that holds datagrams back while others overtake
/// them, and a mirred action that sends copies. Those three pick datagrams by the low bits of
/// their source port, which the kernel gives each sending socket at random. Returns what it
/// installed, or an empty text with failure set.
QString ImpairLinkFromB(const TwoHosts& hosts, QString& failure);

/// The UDP datagrams to one port that reach this namespace's IP layer from one source, in the
/// order they arrive: a raw socket gets its copy just before UDP delivers the datagram.
class Arrivals {
public:
    struct Arrival {
        std::string payload;
        std::int64_t atMs; // on a monotonic clock
    };

    Arrivals(const char* source, std::uint16_t port);
    ~Arrivals();
    Arrivals(const Arrivals&) = delete;
    Arrivals& operator=(const Arrivals&) = delete;

    /// Empty when the capture is open; else why not.
    const std::string& Error() const { return error_; }
    /// Takes in what has arrived meanwhile; everything so far.
    const std::vector<Arrival>& Poll();
    /// Milliseconds since the last arrival (or since the capture opened).
    std::int64_t QuietMs() const;

private:
    int fd_ = -1;
    std::uint32_t source_ = 0; // network order
    std::uint16_t port_ = 0;
    std::int64_t openedMs_ = 0;
    std::string error_;
    std::vector<Arrival> arrivals_;
};

} // namespace tallybell::testing
