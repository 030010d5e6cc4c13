#include "app/alarm_socket.h"

#include "app/alarm_protocol.h"
#include "app/ui/alarm_window.h"
#include "framework/core/debug_log.h"
#include "framework/gui/runtime.h"

namespace tallybell {

namespace {
const fw::ClassEvents socketEvents("Socket", {"DataAvailable"});
} // namespace

void Socket::Event_DataAvailable() {
    std::shared_ptr<fw::Datagram> datagram = Read(nullptr);
    const fw::String payload = fw::Deref(datagram).Data;
    try {
        dispatch(payload);
    } catch (...) {
        // A window that came up but failed part-way (no horn) must still answer this sender,
        // not the one before it.
        recordSender(datagram->Address);
        throw;
    }
    // Recorded after the dispatch, so the alarm's own handlers still see the previous sender.
    recordSender(datagram->Address);
}

void Socket::dispatch(const fw::String& payload) {
    if (fw::Compare(payload, kAlarmCommand) == 0) {
        fw::Deref(Window1()).Show();
        fw::Deref(Window1()).Alarm();
    } else if (fw::Compare(payload, kCancelCommand) == 0) {
        fw::Deref(Window1()).Hide();
    }
}

void Socket::recordSender(const fw::String& address) {
    // A source that is no one host (0.0.0.0, the broadcast, a group) cannot be answered: the
    // acknowledgement would go nowhere, or back to this machine. The earlier target stays.
    if (fw::IsUnicastAddress(address)) {
        rxIP = address;
    }
    fw::DebugLog("Alert recieved from " + address);
}

void Socket::reply(const fw::String& msg) {
    const fw::String local = LocalAddress();
    if (fw::Compare(rxIP, local) != 0) {
        if (Write(rxIP, msg)) {
            fw::DebugLog("Replied to " + rxIP);
        } else {
            fw::DebugLog("Could not reply to " + rxIP + ": " + LastErrorMessage());
        }
    } else {
        fw::DebugLog("Local Alarm, no ACK sent");
    }
}

bool Socket::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, "Socket", eventName, true);
}

} // namespace tallybell
