#pragma once

#include <cstdint>

namespace tallybell {

// The alarm datagrams: each is one whole payload, compared exactly.
inline constexpr const char* kAlarmCommand = "ALARM";
inline constexpr const char* kCancelCommand = "ALARM_CANCEL";
inline constexpr const char* kAckPrefix = "ACK,";
// The largest UDP payload over IPv4 (65,535 less the IP and UDP headers): an acknowledgement
// must fit one datagram.
inline constexpr std::int64_t kLargestPayload = 65507;

// The alarm port and group of a first start (the preferences' defaults).
inline constexpr std::int64_t kDefaultPort = 40001;
inline constexpr const char* kDefaultGroup = "239.1.2.4";

} // namespace tallybell
