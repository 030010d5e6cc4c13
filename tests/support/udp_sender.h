#pragma once

#include <cstdint>
#include <string>

namespace tallybell::testing {

/// A plain POSIX UDP sender for tests: datagrams to any address (a group included) from one
/// socket, optionally bound to a chosen source address.
class UdpSender {
public:
    /// source: the address to send from ("" lets the kernel choose); ttl: multicast hops.
    explicit UdpSender(const std::string& source = "", int ttl = 1);
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    /// Sends one datagram; false (and Error() says why) when the kernel refused it.
    bool Send(const std::string& address, std::uint16_t port, const std::string& payload);
    /// The source port the kernel gave this sender.
    std::uint16_t Port() const;
    const std::string& Error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

/// Sends one UDP datagram on loopback whose IP source is source, which no socket may send from: a
/// group or the broadcast through a raw socket, 0.0.0.0 as a frame on lo (the kernel fills a zero
/// source in for a raw socket, and lets one in only towards the broadcast). Empty when sent, else
/// why not.
std::string SendForged(const std::string& source, const std::string& address, std::uint16_t port,
                       const std::string& payload);

} // namespace tallybell::testing
