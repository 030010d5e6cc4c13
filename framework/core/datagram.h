#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>

namespace fw {

/// One UDP datagram: its payload and the address (dotted IPv4 text) and port it came from.
class Datagram : public Object {
public:
    String Data;
    String Address;
    std::int64_t Port = 0;
};

} // namespace fw
