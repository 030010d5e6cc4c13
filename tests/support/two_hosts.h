#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace tallybell::testing {

/// Two network hosts for one test, joined by a veth pair on 198.18.0.0/24, each with multicast
/// routed to its veth end.
///
/// HereAndPeer: host A is the test's own namespace (198.18.0.1), host B a child namespace
/// (198.18.0.2). TwoChildren: both hosts are child namespaces, for an end-to-end test that runs
/// the application (TALLYBELL_BIN) in A and the peer in B.
///
/// A child namespace lives as long as a process in it: a `sleep infinity` started by
/// `unshare --net`. Commands enter it with nsenter. Each test already runs in a namespace of its
/// own, so the interface names are fixed. Processes started in a host must end before the
/// TwoHosts does, or they keep that namespace (and its veth end) alive.
class TwoHosts {
public:
    enum class Layout { HereAndPeer, TwoChildren };
    enum class Host { A, B };

    static constexpr const char* kAddressA = "198.18.0.1";
    static constexpr const char* kAddressB = "198.18.0.2";
    static constexpr const char* kInterfaceA = "tb-veth-a";
    static constexpr const char* kInterfaceB = "tb-veth-b";
    static constexpr int kRunTimeoutMs = 10000;

    explicit TwoHosts(Layout layout = Layout::HereAndPeer);
    ~TwoHosts();
    TwoHosts(const TwoHosts&) = delete;
    TwoHosts& operator=(const TwoHosts&) = delete;

    /// Whether both hosts came up; Failure() says what went wrong when not.
    bool IsReady() const { return failure_.isEmpty(); }
    const QString& Failure() const { return failure_; }

    /// Deletes the veth pair and makes it again, with the same names, addresses and routes, as
    /// when a network manager or a driver replaces an interface: the new one has a new index.
    bool ReplaceLink();

    /// The address of a host on the veth link.
    static QString Address(Host host);
    /// command, prefixed so that it runs in host's namespace.
    QStringList Command(Host host, const QStringList& command) const;

    struct Result {
        bool finished = false;
        int exitCode = -1;
        QString output;
        QString errors;
    };
    /// Runs command in host until it ends (the event loop runs meanwhile) or timeoutMs pass,
    /// when it is killed and finished stays false.
    Result Run(Host host, const QStringList& command, int timeoutMs = kRunTimeoutMs) const;
    /// Starts command in host; the caller waits for it. Started when the result's state is
    /// not NotRunning.
    std::unique_ptr<QProcess> Start(Host host, const QStringList& command) const;

    /// The path of one of our executables: $TALLYBELL_BIN/name, else ../bin beside the test.
    static QString Bin(const QString& name);

private:
    bool setUp(Layout layout);
    bool createLink();
    std::unique_ptr<QProcess> startNamespace();
    bool configure(Host host, const char* interface);
    bool waitForCarrier(Host host, const char* interface);
    bool exec(const QStringList& command);
    qint64 pidOf(Host host) const;

    Layout layout_;
    std::unique_ptr<QProcess> hostA_;
    std::unique_ptr<QProcess> hostB_;
    bool vethCreated_ = false;
    bool loopbackRouteReplaced_ = false;
    QString failure_;
};

} // namespace tallybell::testing
