#pragma once

#include "framework/core/string.h"
#include "framework/core/udp_socket.h"

namespace tallybell {

/// The alarm socket: dispatches "ALARM" and "ALARM_CANCEL" to the alarm window, remembers who
/// sent the last datagram and answers them.
class Socket : public fw::UDPSocket {
public:
    /// The reply target: the source address of the last datagram this socket received from one
    /// host (a datagram from 0.0.0.0, the broadcast or a group leaves it as it was).
    fw::String rxIP;

    /// Sends msg to the reply target, unless that is this machine's own address.
    void reply(const fw::String& msg);

    bool IsEventImplemented(const fw::String& eventName) const;

protected:
    void Event_DataAvailable() override;

private:
    void dispatch(const fw::String& payload);
    void recordSender(const fw::String& address);
};

} // namespace tallybell
