#pragma once

#include "framework/core/datagram.h"
#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>
#include <memory>

namespace fw {

class TextEncoding;

/// Whether address is the dotted IPv4 address of one host, which can be answered: not 0.0.0.0/8,
/// a group, a reserved address or the broadcast 255.255.255.255.
bool IsUnicastAddress(const String& address);

/// Whether address is the dotted IPv4 address of a multicast group (224.0.0.0/4).
bool IsMulticastGroup(const String& address);

// A POSIX socket on a QSocketNotifier rather than QUdpSocket: QUdpSocket binds with address
// reuse on Unix (a second instance would share the port instead of failing to bind), and the
// checks behind IsConnected need the interface a membership was joined on and the kernel's route
// to the group, which QUdpSocket does not expose.

/// An IPv4 UDP socket with multicast. Connect binds Port on every IPv4 address without address
/// reuse and receives only the groups it joined; DataAvailable is raised once per waiting
/// datagram.
class UDPSocket : public Object {
public:
    UDPSocket();
    ~UDPSocket() override;

    std::int64_t Port() const;
    void Port(std::int64_t port);
    /// Multicast TTL (0..255, default 1); applied when set and at Connect.
    std::int64_t RouterHops() const;
    void RouterHops(std::int64_t hops);
    /// Multicast loopback: whether datagrams this host sends to a group come back to it
    /// (default false).
    bool SendToSelf() const;
    void SendToSelf(bool on);

    /// Binds the port; a port outside 1..65535 or a refused bind leaves the socket unconnected.
    void Connect();
    /// False when the socket is not bound, the group is not an IPv4 address or the kernel
    /// refuses the membership.
    bool JoinMulticastGroup(const String& group);
    void LeaveMulticastGroup(const String& group);
    /// One waiting datagram (payload up to 65,535 bytes), or Nil when none waits.
    std::shared_ptr<Datagram> Read(const TextEncoding* encoding = nullptr);
    /// One unicast datagram to address at this socket's own port; true when the kernel took it.
    /// An unusable address or a refused send (a payload too large) sends nothing and raises
    /// Error.
    bool Write(const String& address, const String& data);
    bool Write(const Datagram& datagram);
    /// The source address the kernel would use towards the joined group, as dotted text.
    String LocalAddress() const;
    /// Whether Connect bound the port and nothing closed it since.
    bool IsBound() const;
    /// Bound, no receive failed, a group joined, and every membership still delivers: it is on
    /// the interface that the kernel's route to the group takes now, and the kernel still holds
    /// it there. A socket that joined nothing is not connected.
    bool IsConnected() const;
    void Close();
    /// Discards every waiting datagram.
    void Purge();
    /// The last error code (errno), 0 when none.
    std::int64_t LastErrorCode() const;
    /// The last error in words, empty when none.
    String LastErrorMessage() const;

    class Impl;

protected:
    /// Raised once per waiting datagram, from the event loop and never recursively. A handler
    /// that reads nothing leaves its datagram waiting and the event rests until the next Read or
    /// Purge. The handler may release the socket, if it is held by a shared_ptr.
    virtual void Event_DataAvailable() {}
    /// Raised when a send or receive fails.
    virtual void Event_Error(std::int64_t /*code*/) {}

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace fw
