#include "framework/core/udp_socket.h"

#include "framework/core/events.h"
#include "framework/core/scoped_fd_p.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#ifdef __linux__
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#endif

namespace fw {

namespace {

constexpr std::int64_t kLowestPort = 1;
constexpr std::int64_t kHighestPort = 65535;
constexpr std::size_t kMaxPayload = 65535;
constexpr std::int64_t kHighestHops = 255;
// Room for a burst of alarms while the event loop is busy elsewhere; the kernel caps the request
// at its configured maximum, which is fine.
constexpr int kReceiveBufferBytes = 1 << 20;
// DataAvailable events raised for a burst before the event loop gets its turn again.
constexpr int kEventsPerRound = 64;
// Purge stops after this many datagrams so a flood cannot hold the event loop forever.
constexpr int kPurgeLimit = 1 << 16;

bool isPort(std::int64_t port) {
    return port >= kLowestPort && port <= kHighestPort;
}

/// Dotted IPv4 text to an address; anything else (names, IPv6, embedded NULs) is refused.
bool parseIPv4(const String& text, in_addr& address) {
    const std::string& bytes = text.Bytes();
    if (bytes.empty() || bytes.find('\0') != std::string::npos) {
        return false;
    }
    return ::inet_pton(AF_INET, bytes.c_str(), &address) == 1;
}

String dottedText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text)) {
        return String();
    }
    return String(text);
}

sockaddr_in socketAddress(in_addr address, std::int64_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr = address;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    return result;
}

#ifdef __linux__
// The index of the interface that the kernel's route to group leads over now (what a join on
// "any interface" takes), asked of the routing table as `ip route get` does; 0 when there is no
// route or the table cannot be asked.
unsigned routeInterface(in_addr group) {
    const ScopedFd route(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (route.get() < 0) {
        return 0;
    }
    struct Request {
        nlmsghdr header;
        rtmsg message;
        rtattr destination;
        in_addr group;
    } request{};
    static_assert(sizeof(Request) == NLMSG_LENGTH(sizeof(rtmsg)) + RTA_LENGTH(sizeof(in_addr)));
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.message.rtm_family = AF_INET;
    request.message.rtm_dst_len = 32;
    request.destination.rta_type = RTA_DST;
    request.destination.rta_len = RTA_LENGTH(sizeof(in_addr));
    request.group = group;
    if (::send(route.get(), &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request)) {
        return 0;
    }
    alignas(nlmsghdr) char reply[4096];
    ssize_t got = -1;
    do {
        got = ::recv(route.get(), reply, sizeof reply, 0);
    } while (got < 0 && errno == EINTR);
    auto* header = reinterpret_cast<nlmsghdr*>(reply);
    // One answer: the route, or an error such as "network unreachable".
    if (got < 0 || !NLMSG_OK(header, static_cast<unsigned>(got)) ||
        header->nlmsg_type != RTM_NEWROUTE) {
        return 0;
    }
    auto* message = static_cast<rtmsg*>(NLMSG_DATA(header));
    int length = static_cast<int>(RTM_PAYLOAD(header));
    for (rtattr* attribute = RTM_RTA(message); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_OIF) {
            unsigned index = 0;
            std::memcpy(&index, RTA_DATA(attribute), sizeof index);
            return index;
        }
    }
    return 0;
}

// Whether this socket holds its membership of group on that interface: the kernel answers the
// socket's source filter only for a membership the socket has there.
bool socketHolds(int fd, in_addr group, unsigned interface) {
    group_filter filter{};
    filter.gf_interface = interface;
    auto* address = reinterpret_cast<sockaddr_in*>(&filter.gf_group);
    address->sin_family = AF_INET;
    address->sin_addr = group;
    socklen_t length = sizeof filter;
    return ::getsockopt(fd, IPPROTO_IP, MCAST_MSFILTER, &filter, &length) == 0;
}

// Whether the interface itself still holds the group, as the kernel lists it in this network
// namespace's /proc/net/igmp: an index line ("2\teth0 : ...") followed by its groups, one a line
// ("\t\t\t\t040201EF ..."), each the address as stored, in hexadecimal. True when the list
// cannot be read: the socket's own answer then stands alone.
bool interfaceHolds(in_addr group, unsigned interface) {
    std::FILE* list = std::fopen("/proc/net/igmp", "re");
    if (!list) {
        return true;
    }
    bool held = false;
    unsigned current = 0;
    char line[256];
    while (!held && std::fgets(line, sizeof line, list)) {
        if (line[0] == '\t') {
            held = current == interface &&
                   static_cast<std::uint32_t>(std::strtoul(line, nullptr, 16)) == group.s_addr;
        } else if (line[0] >= '0' && line[0] <= '9') {
            current = static_cast<unsigned>(std::strtoul(line, nullptr, 10));
        }
    }
    (void)std::fclose(list); // read-only: nothing can be lost on close
    return held;
}

// A membership delivers while it is on the interface the group's route takes now and both the
// socket and that interface still hold it. A link that is merely down and back keeps it; one
// deleted and made again (a new index), or a route moved to another interface, does not: only a
// new join gets a membership there.
bool membershipDelivers(int fd, in_addr group) {
    const unsigned interface = routeInterface(group);
    return interface != 0 && socketHolds(fd, group, interface) && interfaceHolds(group, interface);
}
#else
// Elsewhere the kernel is not asked: a membership stands while the socket does.
bool membershipDelivers(int, in_addr) {
    return true;
}
#endif

} // namespace

bool IsMulticastGroup(const String& address) {
    in_addr parsed{};
    return parseIPv4(address, parsed) && IN_MULTICAST(ntohl(parsed.s_addr));
}

bool IsUnicastAddress(const String& address) {
    in_addr parsed{};
    if (!parseIPv4(address, parsed)) {
        return false;
    }
    const std::uint32_t host = ntohl(parsed.s_addr);
    const std::uint32_t firstOctet = host >> 24;
    // 0.0.0.0/8 is "this network", 224.0.0.0/4 the groups, 240.0.0.0/4 reserved and the broadcast.
    return firstOctet != 0 && firstOctet < 224;
}

class UDPSocket::Impl {
public:
    explicit Impl(UDPSocket& owner) : owner_(owner), notifier_(QSocketNotifier::Read) {
        readBuffer_.resize(kMaxPayload);
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_,
                         [this] { onReadable(); });
    }

    ~Impl() { close(); }

    UDPSocket& owner_;
    std::int64_t port_ = 0;
    std::int64_t hops_ = 1;
    bool sendToSelf_ = false;
    int fd_ = -1;
    int error_ = 0;
    // A receive failed: the socket hears nothing more, whatever its descriptor says.
    bool failed_ = false;
    std::vector<in_addr> groups_;

    void connect();
    void close();
    bool join(const String& group);
    void leave(const String& group);
    std::shared_ptr<Datagram> read(const TextEncoding* encoding);
    bool send(const String& address, std::int64_t port, const String& data);
    void purge();
    String localAddress() const;
    bool connected() const;
    void applyHops();
    void applyLoop();

private:
    void onReadable();
    void onQueued();
    void dispatch();
    bool raiseDataAvailable();
    bool datagramWaiting() const;
    void updateNotifier();
    int receiveOne(std::string& payload, sockaddr_in& from);
    void fail(int code);
    std::shared_ptr<Object> keepAlive() const;
    void releaseLater(std::shared_ptr<Object> keepAlive);
    bool setOption(int level, int name, int value);

    QSocketNotifier notifier_;
    std::vector<char> readBuffer_;
    // Counts reads (and anything else that shows the owner is taking datagrams), so a dispatch
    // can tell whether its handler took one.
    std::uint64_t takes_ = 0;
    bool dispatching_ = false;
    // A dispatch for a datagram still waiting is posted to the loop; the notifier rests meanwhile.
    bool queued_ = false;
    // Set when a handler took nothing: the datagram stays waiting and DataAvailable rests until
    // the next Read or Purge, instead of being raised over and over for the same datagram.
    bool parked_ = false;
};

std::shared_ptr<Object> UDPSocket::Impl::keepAlive() const {
    return owner_.weak_from_this().lock();
}

// A handler may drop the last reference to this socket (the watchdog replaces it). Ours then
// releases the port at once and lets the event loop free the object, outside the notifier's signal.
void UDPSocket::Impl::releaseLater(std::shared_ptr<Object> keepAlive) {
    if (!keepAlive || keepAlive.use_count() != 1) {
        return;
    }
    close();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QTimer::singleShot(0, app, [keepAlive = std::move(keepAlive)] {});
    }
}

void UDPSocket::Impl::onReadable() {
    notifier_.setEnabled(false);
    dispatch();
}

void UDPSocket::Impl::onQueued() {
    queued_ = false;
    if (fd_ < 0) {
        return;
    }
    if (!datagramWaiting()) {
        updateNotifier(); // taken meanwhile by a Read outside any handler
        return;
    }
    dispatch();
}

// Each event is raised after the previous handler returned, never from inside one. A burst is
// handed out a batch per loop round, so other events get their turn in between.
void UDPSocket::Impl::dispatch() {
    std::shared_ptr<Object> alive = keepAlive();
    bool more = true;
    for (int i = 0; i < kEventsPerRound && more; ++i) {
        const bool taken = raiseDataAvailable();
        const bool released = alive && alive.use_count() == 1;
        more = taken && !released && datagramWaiting();
    }
    if (more) {
        queued_ = true;
        QMetaObject::invokeMethod(
            &notifier_, [this] { onQueued(); }, Qt::QueuedConnection);
    } else {
        updateNotifier();
    }
    releaseLater(std::move(alive));
}

// Whether the handler took a datagram (or otherwise showed it is taking them) and the socket
// is still open.
bool UDPSocket::Impl::raiseDataAvailable() {
    const std::uint64_t takesBefore = takes_;
    dispatching_ = true;
    RaiseEvent([this] { owner_.Event_DataAvailable(); });
    dispatching_ = false;
    parked_ = takes_ == takesBefore;
    return !parked_ && fd_ >= 0;
}

bool UDPSocket::Impl::datagramWaiting() const {
    if (fd_ < 0) {
        return false;
    }
    pollfd waiting{fd_, POLLIN, 0};
    int ready = -1;
    do {
        ready = ::poll(&waiting, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A failed poll says "none": the notifier, level-triggered, still reports what waits.
    return ready > 0 && (waiting.revents & POLLIN) != 0;
}

void UDPSocket::Impl::updateNotifier() {
    notifier_.setEnabled(fd_ >= 0 && !dispatching_ && !parked_ && !queued_);
}

void UDPSocket::Impl::fail(int code) {
    error_ = code;
    std::shared_ptr<Object> alive = keepAlive();
    RaiseEvent([this, code] { owner_.Event_Error(code); });
    releaseLater(std::move(alive));
}

bool UDPSocket::Impl::setOption(int level, int name, int value) {
    if (::setsockopt(fd_, level, name, &value, sizeof value) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

void UDPSocket::Impl::applyHops() {
    if (fd_ < 0) {
        return;
    }
    // Checked here too: a huge value must not wrap into a valid one on the way to an int.
    if (hops_ < 0 || hops_ > kHighestHops) {
        error_ = EINVAL;
        return;
    }
    setOption(IPPROTO_IP, IP_MULTICAST_TTL, static_cast<int>(hops_));
}

void UDPSocket::Impl::applyLoop() {
    if (fd_ >= 0) {
        setOption(IPPROTO_IP, IP_MULTICAST_LOOP, sendToSelf_ ? 1 : 0);
    }
}

void UDPSocket::Impl::connect() {
    close();
    ++takes_;
    parked_ = false;
    if (!isPort(port_)) {
        error_ = EINVAL;
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    // Deliberately no SO_REUSEADDR: a second instance must fail here rather than share alarms.
    const sockaddr_in any = socketAddress(in_addr{htonl(INADDR_ANY)}, port_);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        error_ = errno;
        ::close(fd);
        return;
    }
    fd_ = fd;
    error_ = 0;
    failed_ = false;
    applyHops();
    applyLoop();
    // Linux hands a socket bound to the port the datagrams of every group that any socket on the
    // host joined; only our own groups' alarms are ours.
    setOption(IPPROTO_IP, IP_MULTICAST_ALL, 0);
    // A smaller buffer only means less room for bursts; the recorded error tells.
    setOption(SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
    notifier_.setSocket(fd_);
    updateNotifier();
}

void UDPSocket::Impl::close() {
    notifier_.setEnabled(false);
    groups_.clear();
    if (fd_ < 0) {
        return;
    }
    // The descriptor is released even when close reports an error; keep the code for the caller.
    if (::close(fd_) != 0) {
        error_ = errno;
    }
    fd_ = -1;
}

bool UDPSocket::Impl::join(const String& group) {
    in_addr address{};
    if (fd_ < 0) {
        error_ = ENOTCONN;
        return false;
    }
    if (!parseIPv4(group, address)) {
        error_ = EINVAL;
        return false;
    }
    for (const in_addr& joined : groups_) {
        if (joined.s_addr == address.s_addr) {
            return true;
        }
    }
    ip_mreq request{};
    request.imr_multiaddr = address;
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        error_ = errno;
        return false;
    }
    groups_.push_back(address);
    return true;
}

void UDPSocket::Impl::leave(const String& group) {
    in_addr address{};
    if (fd_ < 0 || !parseIPv4(group, address)) {
        return;
    }
    for (auto it = groups_.begin(); it != groups_.end(); ++it) {
        if (it->s_addr != address.s_addr) {
            continue;
        }
        ip_mreq request{};
        request.imr_multiaddr = address;
        request.imr_interface.s_addr = htonl(INADDR_ANY);
        if (::setsockopt(fd_, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request) != 0) {
            error_ = errno;
        }
        groups_.erase(it);
        return;
    }
}

// One datagram from the kernel: 0 when one was taken, EAGAIN when none waits, else the error.
int UDPSocket::Impl::receiveOne(std::string& payload, sockaddr_in& from) {
    socklen_t fromLength = sizeof from;
    ssize_t received = -1;
    do {
        received = ::recvfrom(fd_, readBuffer_.data(), readBuffer_.size(), MSG_DONTWAIT,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        return errno == EWOULDBLOCK ? EAGAIN : errno;
    }
    payload.assign(readBuffer_.data(), static_cast<std::size_t>(received));
    return 0;
}

std::shared_ptr<Datagram> UDPSocket::Impl::read(const TextEncoding* encoding) {
    ++takes_;
    parked_ = false;
    if (fd_ < 0) {
        return nullptr;
    }
    std::string payload;
    sockaddr_in from{};
    const int result = receiveOne(payload, from);
    updateNotifier();
    if (result != 0) {
        if (result != EAGAIN) {
            failed_ = true;
            fail(result);
        }
        return nullptr;
    }
    auto datagram = std::make_shared<Datagram>();
    datagram->Data = String::FromBytes(std::move(payload), encoding);
    datagram->Address = dottedText(from.sin_addr);
    datagram->Port = ntohs(from.sin_port);
    return datagram;
}

bool UDPSocket::Impl::send(const String& address, std::int64_t port, const String& data) {
    in_addr destination{};
    if (fd_ < 0) {
        fail(ENOTCONN);
        return false;
    }
    if (!parseIPv4(address, destination)) {
        fail(address.IsEmpty() ? EDESTADDRREQ : EINVAL);
        return false;
    }
    const sockaddr_in to = socketAddress(destination, port);
    const std::string& bytes = data.Bytes();
    ssize_t sent = -1;
    do {
        sent = ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        fail(errno);
        return false;
    }
    if (static_cast<std::size_t>(sent) != bytes.size()) {
        fail(EMSGSIZE);
        return false;
    }
    return true;
}

void UDPSocket::Impl::purge() {
    ++takes_;
    parked_ = false;
    if (fd_ < 0) {
        return;
    }
    std::string payload;
    sockaddr_in from{};
    for (int i = 0; i < kPurgeLimit && receiveOne(payload, from) == 0; ++i) {
    }
    updateNotifier();
}

// The kernel's choice of source address towards the group: what a datagram this host sends
// there carries, so a looped-back alarm of our own compares equal to it.
String UDPSocket::Impl::localAddress() const {
    if (groups_.empty() || !isPort(port_)) {
        return String();
    }
    const ScopedFd scratch(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (scratch.get() < 0) {
        return String();
    }
    const sockaddr_in group = socketAddress(groups_.back(), port_);
    if (::connect(scratch.get(), reinterpret_cast<const sockaddr*>(&group), sizeof group) != 0) {
        return String();
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(scratch.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return String();
    }
    return dottedText(local.sin_addr);
}

// Listening only counts with a membership: a socket that joined nothing hears no alarm.
bool UDPSocket::Impl::connected() const {
    if (fd_ < 0 || failed_ || groups_.empty()) {
        return false;
    }
    for (const in_addr& joined : groups_) {
        if (!membershipDelivers(fd_, joined)) {
            return false;
        }
    }
    return true;
}

UDPSocket::UDPSocket() : impl_(std::make_unique<Impl>(*this)) {}

UDPSocket::~UDPSocket() = default;

std::int64_t UDPSocket::Port() const {
    return impl_->port_;
}

void UDPSocket::Port(std::int64_t port) {
    impl_->port_ = port;
}

std::int64_t UDPSocket::RouterHops() const {
    return impl_->hops_;
}

void UDPSocket::RouterHops(std::int64_t hops) {
    impl_->hops_ = hops;
    impl_->applyHops();
}

bool UDPSocket::SendToSelf() const {
    return impl_->sendToSelf_;
}

void UDPSocket::SendToSelf(bool on) {
    impl_->sendToSelf_ = on;
    impl_->applyLoop();
}

void UDPSocket::Connect() {
    impl_->connect();
}

bool UDPSocket::JoinMulticastGroup(const String& group) {
    return impl_->join(group);
}

void UDPSocket::LeaveMulticastGroup(const String& group) {
    impl_->leave(group);
}

std::shared_ptr<Datagram> UDPSocket::Read(const TextEncoding* encoding) {
    return impl_->read(encoding);
}

bool UDPSocket::Write(const String& address, const String& data) {
    return impl_->send(address, impl_->port_, data);
}

bool UDPSocket::Write(const Datagram& datagram) {
    const std::int64_t port = isPort(datagram.Port) ? datagram.Port : impl_->port_;
    return impl_->send(datagram.Address, port, datagram.Data);
}

String UDPSocket::LocalAddress() const {
    return impl_->localAddress();
}

bool UDPSocket::IsBound() const {
    return impl_->fd_ >= 0;
}

bool UDPSocket::IsConnected() const {
    return impl_->connected();
}

void UDPSocket::Close() {
    impl_->close();
}

void UDPSocket::Purge() {
    impl_->purge();
}

std::int64_t UDPSocket::LastErrorCode() const {
    return impl_->error_;
}

String UDPSocket::LastErrorMessage() const {
    return impl_->error_ == 0 ? String() : String(std::strerror(impl_->error_));
}

} // namespace fw
