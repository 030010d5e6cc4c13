#include "tests/support/two_hosts.h"

#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tallybell::testing {

namespace {

constexpr const char* kMulticastRoute = "224.0.0.0/4";
constexpr const char* kPrefixLength = "/24";
constexpr int kCommandTimeoutMs = 10000;

QString namespaceOf(const QString& pid) {
    return QFileInfo(QStringLiteral("/proc/%1/ns/net").arg(pid)).symLinkTarget();
}

QString commandOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(comm.readAll()).trimmed();
}

} // namespace

TwoHosts::TwoHosts(Layout layout) : layout_(layout) {
    if (!setUp(layout)) {
        failure_.prepend(QStringLiteral("two hosts: "));
    }
}

TwoHosts::~TwoHosts() {
    // Deleting our end removes both at once; killing the sleepers then ends the namespaces.
    if (vethCreated_ && layout_ == Layout::HereAndPeer) {
        exec({"ip", "link", "del", kInterfaceA});
    }
    for (auto* host : {&hostA_, &hostB_}) {
        if (*host) {
            (*host)->kill();
            (*host)->waitForFinished(kCommandTimeoutMs);
        }
    }
    if (loopbackRouteReplaced_) {
        exec({"ip", "route", "replace", kMulticastRoute, "dev", "lo"});
    }
}

bool TwoHosts::setUp(Layout layout) {
    if (layout == Layout::TwoChildren && !(hostA_ = startNamespace())) {
        return false;
    }
    if (!(hostB_ = startNamespace())) {
        return false;
    }
    loopbackRouteReplaced_ = layout == Layout::HereAndPeer;
    return createLink();
}

bool TwoHosts::createLink() {
    if (!exec({"ip", "link", "add", kInterfaceA, "type", "veth", "peer", "name", kInterfaceB})) {
        return false;
    }
    vethCreated_ = true;
    const QString pidB = QString::number(pidOf(Host::B));
    if (!exec({"ip", "link", "set", kInterfaceB, "netns", pidB})) {
        return false;
    }
    if (layout_ == Layout::TwoChildren &&
        !exec({"ip", "link", "set", kInterfaceA, "netns", QString::number(pidOf(Host::A))})) {
        return false;
    }
    return configure(Host::A, kInterfaceA) && configure(Host::B, kInterfaceB) &&
           waitForCarrier(Host::A, kInterfaceA) && waitForCarrier(Host::B, kInterfaceB);
}

bool TwoHosts::ReplaceLink() {
    failure_.clear();
    if (!exec(Command(Host::A, {"ip", "link", "del", kInterfaceA}))) {
        return false;
    }
    vethCreated_ = false;
    return createLink();
}

// unshare execs the sleeper once the namespace exists, so seeing "sleep" in the child means
// it has its own namespace; moving a veth end there before that would move it nowhere.
std::unique_ptr<QProcess> TwoHosts::startNamespace() {
    auto sleeper = std::make_unique<QProcess>();
    sleeper->start("unshare", {"--net", "sleep", "infinity"});
    if (!sleeper->waitForStarted(kCommandTimeoutMs)) {
        failure_ = "unshare did not start: " + sleeper->errorString();
        return nullptr;
    }
    const qint64 pid = sleeper->processId();
    const bool inOwnNamespace =
        WaitFor([&] { return sleeper->state() != QProcess::Running || commandOf(pid) == "sleep"; });
    const QString own = namespaceOf("self");
    if (!inOwnNamespace || sleeper->state() != QProcess::Running ||
        namespaceOf(QString::number(pid)) == own) {
        failure_ = "no child network namespace: " + sleeper->readAllStandardError();
        sleeper->kill();
        sleeper->waitForFinished(kCommandTimeoutMs);
        return nullptr;
    }
    return sleeper;
}

bool TwoHosts::configure(Host host, const char* interface) {
    const QString address = Address(host) + kPrefixLength;
    // The route goes after "up": the kernel refuses a route over an interface that is down.
    return exec(Command(host, {"ip", "link", "set", "lo", "up"})) &&
           exec(Command(host, {"ip", "addr", "add", address, "dev", interface})) &&
           exec(Command(host, {"ip", "link", "set", interface, "multicast", "on", "up"})) &&
           exec(Command(host, {"ip", "route", "replace", kMulticastRoute, "dev", interface}));
}

// The link is usable once both ends are up; the operational state follows asynchronously.
bool TwoHosts::waitForCarrier(Host host, const char* interface) {
    Result shown;
    const bool up = WaitFor([&] {
        shown = Run(host, {"ip", "-o", "link", "show", "dev", interface});
        return shown.exitCode == 0 && shown.output.contains("LOWER_UP");
    });
    if (!up) {
        failure_ =
            QStringLiteral("%1 has no carrier: %2%3").arg(interface, shown.output, shown.errors);
    }
    return up;
}

bool TwoHosts::exec(const QStringList& command) {
    QProcess process;
    process.start(command.first(), command.mid(1));
    const bool ended = process.waitForFinished(kCommandTimeoutMs);
    if (ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        return true;
    }
    if (failure_.isEmpty()) {
        failure_ = command.join(' ') + " failed: " + process.errorString() + " " +
                   QString::fromUtf8(process.readAllStandardError()).trimmed();
    }
    return false;
}

qint64 TwoHosts::pidOf(Host host) const {
    const auto& sleeper = host == Host::A ? hostA_ : hostB_;
    return sleeper ? sleeper->processId() : 0;
}

QString TwoHosts::Address(Host host) {
    return host == Host::A ? kAddressA : kAddressB;
}

QStringList TwoHosts::Command(Host host, const QStringList& command) const {
    const qint64 pid = pidOf(host);
    if (pid == 0) {
        return command; // host A of HereAndPeer: this very namespace
    }
    return QStringList{"nsenter", QStringLiteral("--net=/proc/%1/ns/net").arg(pid), "--"} + command;
}

TwoHosts::Result TwoHosts::Run(Host host, const QStringList& command, int timeoutMs) const {
    Result result;
    auto process = Start(host, command);
    result.finished = WaitFor([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
    if (!result.finished) {
        process->kill();
        process->waitForFinished(kCommandTimeoutMs);
    } else if (process->exitStatus() == QProcess::NormalExit) {
        result.exitCode = process->exitCode();
    }
    result.output = QString::fromUtf8(process->readAllStandardOutput());
    result.errors = QString::fromUtf8(process->readAllStandardError());
    if (result.exitCode < 0) {
        result.errors += process->errorString();
    }
    return result;
}

std::unique_ptr<QProcess> TwoHosts::Start(Host host, const QStringList& command) const {
    const QStringList full = Command(host, command);
    auto process = std::make_unique<QProcess>();
    process->start(full.first(), full.mid(1));
    process->waitForStarted(kCommandTimeoutMs);
    return process;
}

QString TwoHosts::Bin(const QString& name) {
    const QByteArray dir = qgetenv("TALLYBELL_BIN");
    if (!dir.isEmpty()) {
        return QDir(QString::fromLocal8Bit(dir)).filePath(name);
    }
    return QDir(QCoreApplication::applicationDirPath() + "/../bin").filePath(name);
}

} // namespace tallybell::testing
