#pragma once

// The application's default group and port in the forms tests meet them: a preferences file, a
// log line, the peer's arguments.

#include "app/alarm_protocol.h"

#include <QByteArray>

#include <string>

namespace tallybell::testing {

/// The default port as text, as the preferences file and the alarm test peer take it.
inline const std::string kDefaultPortText = std::to_string(kDefaultPort);
/// What the application logs once start-up has joined the default group.
inline const std::string kJoinedDefault =
    std::string("Joined multicast group ") + kDefaultGroup + ":" + kDefaultPortText;

/// A preferences file that names the user, with the default port and group.
inline QByteArray PrefsNamed(const std::string& name) {
    return QByteArray::fromStdString(R"({"alarmName":")" + name + R"(","port":")" +
                                     kDefaultPortText + R"(","mCastIP":")" + kDefaultGroup +
                                     R"("})");
}

} // namespace tallybell::testing
