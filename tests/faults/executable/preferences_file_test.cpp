// Unusable and unexpected preferences files under the real executable: each case loads to the
// documented result (an object is loaded; anything else, a file that cannot be read included,
// gives the defaults), start-up always reaches the join, the process lives on and quits on SIGTERM,
// SIGINT or SIGHUP with 0, and loading never touches the file. Only the name prompt saves, and at
// quit it closes like any window: where the defaults were taken, that close writes them, after
// keeping the bytes of the file that did not load beside it.
#include "tests/support/alarm_defaults.h"
#include "tests/support/running_process.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace tallybell::testing {
namespace {

constexpr int kLivesMs = 500;
constexpr qsizetype kTenMegabytes = qsizetype{10} * 1024 * 1024;
constexpr rlim_t kFileSizeLimit = 16; // smaller than any settings object, and than the copy
const char* const kJoined = kJoinedDefault.c_str();
const QByteArray kSettings = PrefsNamed("Ann").chopped(1); // open: the cases end it their way

enum class Layout { File, FolderAtFile, FileAtFolder, FifoAtFile, LinkToDevZero };
// What the name prompt's close at quit leaves: nothing to do (no prompt was open), the defaults
// saved (over a file that did not load, or not wholly: its bytes kept beside it first), or a
// failed save, whose message nobody answers at a termination and goes to the log.
enum class AfterQuit { Unchanged, DefaultsSaved, KeptAndDefaultsSaved, SaveFailed };

struct PrefsCase {
    const char* name;
    Layout layout;
    QByteArray (*content)();
    bool loaded;
    const char* openEnd; // the beginning of the line that ends the Open event
    AfterQuit afterQuit;
    bool saveFails = false; // a file-size limit stops every write
    int quitSignal = SIGTERM;
    const char* reported = "Preferences not used: "; // how the log begins the line that says so
};

const PrefsCase kCases[] = {
    {"Empty", Layout::File, [] { return QByteArray(); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"TruncatedMidObject", Layout::File, [] { return kSettings.left(30); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"Array", Layout::File, [] { return QByteArray(R"(["alarmName","Ann"])"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"String", Layout::File, [] { return QByteArray(R"("Ann")"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"Number", Layout::File, [] { return QByteArray("40001"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"True", Layout::File, [] { return QByteArray("true"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"False", Layout::File, [] { return QByteArray("false"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"Null", Layout::File, [] { return QByteArray("null"); }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"TextAfterTheObject", Layout::File, [] { return kSettings + "} x"; }, false, kJoined,
     AfterQuit::KeptAndDefaultsSaved},
    {"NotUtf8", Layout::File, [] { return QByteArray("{\"alarmName\":\"\xC3\x28\"}"); }, false,
     kJoined, AfterQuit::KeptAndDefaultsSaved},
    {"TenMegabytesOfNesting", Layout::File, [] { return QByteArray(kTenMegabytes, '['); }, false,
     kJoined, AfterQuit::KeptAndDefaultsSaved},
    {"TenMegabyteObject", Layout::File,
     [] { return kSettings + ",\"notes\":\"" + QByteArray(kTenMegabytes, 'x') + "\"}"; }, false,
     kJoined, AfterQuit::KeptAndDefaultsSaved},
    {"TrailingCommaAndAHangUp", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","port":"40555","mCastIP":"239.9.9.9",})"); },
     false, kJoined, AfterQuit::KeptAndDefaultsSaved, false, SIGHUP},
    {"SignatureAndLineEndAndAnInterrupt", Layout::File,
     [] { return "\xEF\xBB\xBF" + kSettings + "}\n"; }, true, kJoined, AfterQuit::Unchanged, false,
     SIGINT, nullptr},
    {"PortAsNumber", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","port":40003,"mCastIP":"239.1.2.4"})"); }, true,
     "Joined multicast group 239.1.2.4:40003", AfterQuit::Unchanged, false, SIGTERM, nullptr},
    {"PortAsObject", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","port":{"n":40003},"mCastIP":"239.1.2.4"})"); },
     true, kJoined, AfterQuit::Unchanged, false, SIGTERM, "Preferences value not used in "},
    // A port or group that could not be bound or joined takes its default, and says so.
    {"PortOutOfRange", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","port":"65536","mCastIP":"239.1.2.4"})"); }, true,
     kJoined, AfterQuit::Unchanged, false, SIGTERM, "Preferences value not used in "},
    {"PortMissing", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","mCastIP":"239.1.2.4"})"); }, true, kJoined,
     AfterQuit::Unchanged, false, SIGTERM, "Preferences value not used in "},
    {"GroupNotMulticast", Layout::File,
     [] { return QByteArray(R"({"alarmName":"Ann","port":"40001","mCastIP":"10.0.0.1"})"); }, true,
     kJoined, AfterQuit::Unchanged, false, SIGTERM, "Preferences value not used in "},
    {"NameAndGroupAsArrays", Layout::File,
     [] { return QByteArray(R"({"alarmName":["Ann"],"port":"40001","mCastIP":["239.9.9.9"]})"); },
     true, kJoined, AfterQuit::KeptAndDefaultsSaved, false, SIGTERM,
     "Preferences value not used in "},
    {"NameAsNull", Layout::File,
     [] { return QByteArray(R"({"alarmName":null,"port":"40001","mCastIP":"239.1.2.4"})"); }, true,
     kJoined, AfterQuit::DefaultsSaved, false, SIGTERM, nullptr},
    {"FolderInPlaceOfTheFile", Layout::FolderAtFile, [] { return QByteArray(); }, false, kJoined,
     AfterQuit::SaveFailed},
    {"FifoInPlaceOfTheFile", Layout::FifoAtFile, [] { return QByteArray(); }, false, kJoined,
     AfterQuit::SaveFailed},
    {"LinkToDevZero", Layout::LinkToDevZero, [] { return QByteArray(); }, false, kJoined,
     AfterQuit::SaveFailed},
    {"FileInPlaceOfTheFolder", Layout::FileAtFolder, [] { return QByteArray("not a folder"); },
     false, kJoined, AfterQuit::SaveFailed},
    {"SaveCutShort", Layout::File, [] { return QByteArray("[1,2,3,4,5,6,7,8,9]"); }, false, kJoined,
     AfterQuit::SaveFailed, true},
};

void PrintTo(const PrefsCase& given, std::ostream* out) {
    *out << given.name;
}

/// What a path holds, down to the inode: a save replaces the file by renaming over it.
struct Snapshot {
    bool exists = false;
    bool folder = false;
    ino_t inode = 0;
    qint64 modifiedNs = 0;
    QByteArray bytes;

    bool operator==(const Snapshot&) const = default;
    std::string Describe() const {
        return exists ? (folder ? "folder" : "file") + std::string(" inode ") +
                            std::to_string(inode) + ", modified " + std::to_string(modifiedNs) +
                            ", " + std::to_string(bytes.size()) + " bytes"
                      : "nothing";
    }
};

Snapshot snapshotOf(const QString& path) {
    Snapshot shot;
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return shot;
    }
    shot.exists = true;
    shot.folder = S_ISDIR(status.st_mode);
    shot.inode = status.st_ino;
    shot.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    QFile file(path);
    // Only a regular file's bytes: a FIFO would wait for a writer and /dev/zero never ends.
    if (S_ISREG(status.st_mode) && file.open(QIODevice::ReadOnly)) {
        shot.bytes = file.readAll();
    }
    return shot;
}

// Runs in the child between fork and exec: only async-signal-safe calls. An ignored SIGXFSZ
// stays ignored across exec, so a write past the limit fails as on a full disk.
void limitFileSize() {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = kFileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
}

class PreferencesFile : public ::testing::TestWithParam<PrefsCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(config_.isValid());
        const PrefsCase& given = GetParam();
        if (given.layout == Layout::FileAtFolder) {
            target_ = config_.filePath("Tallybell");
            write(target_, given.content());
            return;
        }
        ASSERT_TRUE(QDir(config_.path()).mkpath("Tallybell"));
        target_ = config_.filePath("Tallybell/Tallybell.prefs");
        if (given.layout == Layout::FolderAtFile) {
            ASSERT_TRUE(QDir().mkpath(target_ + "/inside"));
        } else if (given.layout == Layout::FifoAtFile) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(target_).constData(), 0600), 0);
        } else if (given.layout == Layout::LinkToDevZero) {
            ASSERT_TRUE(QFile::link("/dev/zero", target_));
        } else {
            write(target_, given.content());
        }
    }

    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(file.errorString());
        ASSERT_EQ(file.write(bytes), bytes.size()) << qPrintable(file.errorString());
    }

    QTemporaryDir config_;
    QString target_;
};

TEST_P(PreferencesFile, LoadsToTheDocumentedResultLeavesTheFileAndTheProcessLives) {
    const PrefsCase& given = GetParam();
    const Snapshot before = snapshotOf(target_);
    RunningProcess app;
    ASSERT_TRUE(app.Start(RunningProcess::AppCommand(config_.path()),
                          given.saveFails ? limitFileSize : nullptr));

    const QString openEnd = app.WaitForLineStarting({"Joined multicast group ", "Unhandled "});
    ASSERT_FALSE(openEnd.isEmpty()) << "the Open event did not end: " << qPrintable(app.Errors());
    EXPECT_TRUE(openEnd.startsWith(given.openEnd)) << qPrintable(openEnd);
    EXPECT_EQ(app.Lines().contains("Preferences loaded"), given.loaded) << qPrintable(app.Errors());
    if (given.reported) {
        EXPECT_FALSE(app.Lines()
                         .filter(QRegularExpression(
                             "^" + QRegularExpression::escape(given.reported) + ".*Tallybell"))
                         .isEmpty())
            << qPrintable(app.Errors());
    } else {
        EXPECT_TRUE(app.Lines().filter("Preferences not used").isEmpty() &&
                    app.Lines().filter("Preferences value not used").isEmpty())
            << qPrintable(app.Errors());
    }
    EXPECT_TRUE(app.LivesFor(kLivesMs)) << qPrintable(app.Errors());
    const Snapshot loaded = snapshotOf(target_);
    EXPECT_TRUE(loaded == before) << "loading changed the file: " << before.Describe() << " -> "
                                  << loaded.Describe();

    const std::optional<int> exit = app.Terminate(given.quitSignal);
    ASSERT_TRUE(exit.has_value()) << "signal " << given.quitSignal
                                  << " did not end it normally: " << qPrintable(app.Errors());
    EXPECT_EQ(*exit, 0) << qPrintable(app.Errors());

    const Snapshot after = snapshotOf(target_);
    // The bytes of a file that existed but did not load are kept beside it before it is replaced.
    const QString copy = target_ + ".damaged";
    // A save that fails after the copy leaves the copy: the bytes are then in two places.
    EXPECT_EQ(QFile::exists(copy),
              given.afterQuit == AfterQuit::KeptAndDefaultsSaved || given.saveFails);
    if (QFile::exists(copy)) {
        EXPECT_TRUE(snapshotOf(copy).bytes == before.bytes) << "the kept copy differs";
        EXPECT_TRUE(
            app.Lines().contains("Kept the preferences file that could not be used as " + copy))
            << qPrintable(app.Errors());
    }
    EXPECT_EQ(app.Lines().contains("Could not save preferences."),
              given.afterQuit == AfterQuit::SaveFailed)
        << qPrintable(app.Errors());
    if (given.afterQuit == AfterQuit::Unchanged || given.afterQuit == AfterQuit::SaveFailed) {
        EXPECT_TRUE(after == before)
            << "changed at quit: " << before.Describe() << " -> " << after.Describe() << "\n"
            << qPrintable(app.Errors());
        return;
    }
    // The prompt that the empty name opened closes at quit and commits the defaults, whole.
    EXPECT_TRUE(app.Lines().contains("Preferences saved")) << qPrintable(app.Errors());
    QJsonParseError error{};
    const QJsonDocument saved = QJsonDocument::fromJson(after.bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << after.bytes.left(200).constData();
    EXPECT_EQ(saved.object(), (QJsonObject{{"alarmName", ""},
                                           {"port", QString::number(kDefaultPort)},
                                           {"mCastIP", kDefaultGroup}}));
}

INSTANTIATE_TEST_SUITE_P(, PreferencesFile, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PrefsCase>& info) {
                             return std::string(info.param.name);
                         });

// A huge damaged file (3 GiB, sparse) is kept at the first save in constant memory and in no
// more room than the file takes: the copy is the same bytes, not a dense duplicate. Two starts
// with two damaged files keep both.
TEST(PreferencesFileCopies, AHugeDamagedFileIsKeptCheaplyAndASecondGetsItsOwnName) {
    constexpr off_t kHuge = off_t{3} * 1024 * 1024 * 1024;
    constexpr long kMostResidentKiB = 512L * 1024;
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid() && QDir(config.path()).mkpath("Tallybell"));
    const QString target = config.filePath("Tallybell/Tallybell.prefs");
    {
        QFile sparse(target);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.write("{") == 1 &&
                    sparse.resize(kHuge));
    }
    RunningProcess first;
    ASSERT_TRUE(first.Start(RunningProcess::AppCommand(config.path())));
    ASSERT_TRUE(first.WaitForLine(QString::fromStdString(kJoinedDefault)))
        << qPrintable(first.Errors());
    EXPECT_EQ(first.Terminate(), 0) << qPrintable(first.Errors()); // the prompt commits at quit
    const QString copy = target + ".damaged";
    EXPECT_TRUE(
        first.Lines().contains("Kept the preferences file that could not be used as " + copy))
        << qPrintable(first.Errors());
    struct stat kept {};
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &kept), 0);
    EXPECT_EQ(kept.st_size, kHuge);
    EXPECT_LT(kept.st_blocks, 1024) << "a dense copy of a sparse file";
    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, kMostResidentKiB) << "the copy went through memory";

    {
        QFile second(target);
        ASSERT_TRUE(second.open(QIODevice::WriteOnly) && second.write("{\"second\"") > 0);
    }
    RunningProcess again;
    ASSERT_TRUE(again.Start(RunningProcess::AppCommand(config.path())));
    ASSERT_TRUE(again.WaitForLine(QString::fromStdString(kJoinedDefault)))
        << qPrintable(again.Errors());
    EXPECT_EQ(again.Terminate(), 0) << qPrintable(again.Errors());
    EXPECT_EQ(QFileInfo(copy).size(), kHuge) << "the first copy was replaced";
    QFile secondCopy(copy + ".2");
    ASSERT_TRUE(secondCopy.open(QIODevice::ReadOnly));
    EXPECT_EQ(secondCopy.readAll(), "{\"second\"");
}

} // namespace
} // namespace tallybell::testing
