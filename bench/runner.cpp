#include "bench/runner.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <sys/stat.h>

namespace tallybell::bench {

namespace {

using Host = testing::TwoHosts::Host;

/// The namespace file a host's commands enter: nsenter's --net=<file> in its command prefix.
std::string namespaceFile(const testing::TwoHosts& hosts, Host host) {
    for (const QString& part : hosts.Command(host, {})) {
        if (part.startsWith("--net=")) {
            return part.mid(6).toStdString();
        }
    }
    return {};
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

Bench::Bench(const Options& options, testing::TwoHosts& hosts) : options_(options), hosts_(hosts) {
    netnsA_ = namespaceFile(hosts_, Host::A);
    netnsB_ = namespaceFile(hosts_, Host::B);
    if (netnsA_.empty() || netnsB_.empty()) {
        error_ = "the hosts have no namespaces of their own";
    } else if (!folder_.isValid() || !writePreferences()) {
        error_ = "cannot write the preferences in a temporary folder";
    }
}

bool Bench::writePreferences() {
    const QDir root(folder_.path());
    if (!root.mkpath("config/Tallybell") || !root.mkpath("runtime") ||
        ::chmod(root.filePath("runtime").toLocal8Bit().constData(), 0700) != 0) {
        return false;
    }
    QFile prefs(root.filePath("config/Tallybell/Tallybell.prefs"));
    const QByteArray json = QByteArray(R"({"alarmName":")") + kUserName + R"(","port":")" +
                            QByteArray::number(kPort) + R"(","mCastIP":")" + kGroup + R"("})";
    return prefs.open(QIODevice::WriteOnly) && prefs.write(json) == json.size();
}

std::string Bench::Bin(const char* name) {
    return testing::TwoHosts::Bin(name).toStdString();
}

Child::Launch Bench::InHostA(std::vector<std::string> argv) const {
    Child::Launch launch;
    launch.argv = std::move(argv);
    launch.netns = netnsA_;
    const std::string root = folder_.path().toStdString();
    // The user's own configuration and session, sound server included, stay out of every run.
    launch.env = {"XDG_CONFIG_HOME=" + root + "/config", "XDG_RUNTIME_DIR=" + root + "/runtime",
                  "PULSE_SERVER=unix:" + root + "/runtime/no-sound-server",
                  "QT_QPA_PLATFORM=offscreen"};
    return launch;
}

Child::Launch Bench::Launch(Program program, const std::string& display) const {
    const std::string group = kGroup;
    const std::string port = std::to_string(kPort);
    Child::Launch launch;
    switch (program) {
    case Program::Tallybell:
        launch = InHostA({Bin("tallybell")});
        break;
    case Program::MinimalReceiver:
        launch = InHostA({Bin("tallybell-bench-minimal-receiver"), "--group", group, "--port", port,
                          "--max-seconds", "900"});
        break;
    case Program::BareWindow:
        launch = InHostA({Bin("tallybell-bench-bare-window"), "--max-seconds", "900"});
        break;
    }
    if (!display.empty()) {
        for (std::string& variable : launch.env) {
            if (variable.rfind("QT_QPA_PLATFORM=", 0) == 0) {
                variable = "QT_QPA_PLATFORM=xcb";
            }
        }
        launch.env.push_back("DISPLAY=" + display);
    }
    return launch;
}

Child::Launch Bench::PeerLaunch() const {
    Child::Launch launch;
    launch.argv = {Bin("tallybell-bench-peer"), "--group",       kGroup, "--port",
                   std::to_string(kPort),       "--max-seconds", "900"};
    launch.netns = netnsB_;
    return launch;
}

std::string Bench::ReadyLine(Program program) {
    if (program == Program::BareWindow) {
        return "ready";
    }
    return std::string("Joined multicast group ") + kGroup + ":" + std::to_string(kPort);
}

bool Bench::StartAndWait(Child& child, const Child::Launch& launch, const std::string& readyLine,
                         bool onStdout, const std::string& what) {
    if (!child.Start(launch)) {
        Note(what + " did not start: " + child.Error());
        return false;
    }
    auto& lines = onStdout ? child.out : child.err;
    const bool ready = WaitUntil(
        {&child}, [&] { return TakeLine(lines, readyLine) || !child.Running(); }, kReadyTimeoutMs);
    if (!ready || !child.Running()) {
        Note(what + " did not get ready: " + child.errLog.substr(0, 2000));
        return false;
    }
    return true;
}

void Bench::Note(const std::string& note) {
    std::fprintf(stderr, "  note: %s\n", note.c_str());
    notes_.push_back(note);
}

void Bench::PrintTable() const {
    const char* format = "%-40s %-22s %-38s %-7s %-24s %s\n";
    std::printf("\n");
    std::printf(format, "figure", "tallybell", "machine (same work, same run)", "ratio", "goal",
                "met");
    std::printf("%s\n", std::string(140, '-').c_str());
    for (const Row& row : rows_) {
        const char* met = !row.met ? "n/a" : (*row.met ? "yes" : "NO");
        std::printf(format, row.figure.c_str(), row.tallybell.c_str(), row.machine.c_str(),
                    row.ratio.c_str(), row.goal.c_str(), met);
    }
    if (!notes_.empty()) {
        std::printf("\nNotes:\n");
        for (const std::string& note : notes_) {
            std::printf("- %s\n", note.c_str());
        }
    }
    std::fflush(stdout);
}

bool Bench::AllMet() const {
    for (const Row& row : rows_) {
        if (row.met && !*row.met) {
            return false;
        }
    }
    return true;
}

std::string Ms(double ms) {
    return fixed(ms, ms < 10 ? 3 : 1) + " ms";
}

std::string Ratio(double ours, double machine) {
    if (machine <= 0) {
        return "-";
    }
    return fixed(ours / machine, 2) + "x";
}

std::string Percent(double percent) {
    return fixed(percent, 3) + " %";
}

std::string Mb(double kb) {
    return fixed(kb / 1024.0, 1) + " MB";
}

} // namespace tallybell::bench
