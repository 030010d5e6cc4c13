#include "framework/core/debug_log.h"
#include "preferences/prefs.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tallybell {
namespace {

using fw::Auto;
using fw::Text;
using ModernPreferences::Preferences;

const QByteArray kSample = R"({"alarmName":"Ann","port":"40001","mCastIP":"239.1.2.4"})";
constexpr qsizetype kLargestFile = qsizetype{1024} * 1024;

/// kSample and trailing white space, size bytes in all: still the sample wherever it is cut.
QByteArray paddedSample(qsizetype size) {
    return kSample + QByteArray(size - kSample.size(), ' ');
}

// Every test gets its own Application Support folder and a fresh process-wide store.
class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        setenv("XDG_CONFIG_HOME", dir_.path().toUtf8().constData(), 1);
        Preferences = nullptr;
    }
    void TearDown() override { Preferences = nullptr; }

    QString folderPath() const { return dir_.filePath("Tallybell"); }
    QString filePath() const { return dir_.filePath("Tallybell/Tallybell.prefs"); }
    void writePrefs(const QByteArray& bytes) const {
        ASSERT_TRUE(QDir().mkpath(folderPath()));
        QFile file(filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << file.errorString().toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray readPrefs() const {
        QFile file(filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    Prefs& store() {
        ModernPreferences::Initialise(Text("Tallybell"));
        return *Preferences;
    }
    static Auto lookup(const char* key) { return Preferences->Operator_Lookup(Text(key)); }
    static void assign(const char* key, Auto value) {
        Preferences->Operator_Lookup(Text(key), std::move(value));
    }

    QTemporaryDir dir_;
};

TEST_F(PrefsTest, FirstStartCreatesTheFolderButNoFileAndTheDefaultsSaveWhole) {
    Prefs& prefs = store();
    EXPECT_FALSE(prefs.Load());
    EXPECT_TRUE(QFileInfo(folderPath()).isDir());
    EXPECT_FALSE(QFile::exists(filePath()));
    assign("alarmName", Auto(Text("")));
    assign("port", Auto(Text("40001")));
    assign("mCastIP", Auto(Text("239.1.2.4")));
    assign("alarmName", Auto(fw::String("Ann")));
    ASSERT_TRUE(prefs.Save());
    // Exactly the object: no line end after the closing brace.
    EXPECT_EQ(readPrefs(), kSample);
    EXPECT_EQ(QDir(folderPath()).entryList(QDir::Files), QStringList{"Tallybell.prefs"});
}

TEST_F(PrefsTest, LoadReplacesTheDictionaryAndKeepsUnknownMembersThroughASave) {
    const QByteArray content =
        R"({"alarmName":"Bo","extra":{"list":[1,2.5,true,null]},"port":"1","mCastIP":"224.0.0.1"})";
    writePrefs(content);
    Prefs& prefs = store();
    assign("stale", Auto(Text("gone after load")));
    ASSERT_TRUE(prefs.Load());
    EXPECT_EQ(lookup("alarmName"), Auto(Text("Bo")));
    EXPECT_FALSE(prefs.mPreferences->HasKey(Auto(Text("stale"))));
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readPrefs(), content);
}

TEST_F(PrefsTest, AMissingKeyReadTwiceIsAddedOnceWithEmptyTextAndSaved) {
    writePrefs(R"({"port":"40001","mCastIP":"239.1.2.4"})");
    Prefs& prefs = store();
    ASSERT_TRUE(prefs.Load());
    for (int read = 0; read < 2; ++read) {
        const Auto name = lookup("alarmName");
        EXPECT_TRUE(name.IsText());
        EXPECT_EQ(name, Auto(Text("")));
    }
    EXPECT_EQ(prefs.mPreferences->KeyCount(), 3u);
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readPrefs(), R"({"port":"40001","mCastIP":"239.1.2.4","alarmName":""})");
}

TEST_F(PrefsTest, UnusableFilesGiveFalseAndStayByteForByteUnchanged) {
    const QByteArray cases[] = {
        "",
        "{",
        R"({"alarmName":"Bo")",
        "not json",
        "{}\n{}",
        "[1,2]",
        R"("text")",
        "42",
        "null",
        "true",
        "\xEF\xBB\xBF[]",
        R"({"alarmName":"\xFF"})",
    };
    for (const QByteArray& content : cases) {
        writePrefs(content);
        Prefs& prefs = store();
        assign("kept", Auto(Text("yes")));
        fw::DebugLogCapture log;
        EXPECT_FALSE(prefs.Load()) << content.toStdString();
        const std::string path = filePath().toStdString();
        EXPECT_TRUE(log.Lines() ==
                        std::vector<std::string>{"Preferences not used: " + path + ": not JSON"} ||
                    log.Lines() == std::vector<std::string>{"Preferences not used: " + path +
                                                            ": no settings object in it"})
            << content.toStdString() << ": " << ::testing::PrintToString(log.Lines());
        EXPECT_EQ(readPrefs(), content);
        EXPECT_EQ(lookup("kept"), Auto(Text("yes"))); // dictionary unchanged
        EXPECT_NE(prefs.mPreferencesFile, nullptr);   // Save still knows where to write
    }
}

TEST_F(PrefsTest, SaveBeforeLoadGivesFalseAndCreatesNothing) {
    Prefs& prefs = store();
    assign("alarmName", Auto(Text("Ann")));
    EXPECT_FALSE(prefs.Save());
    EXPECT_FALSE(QFileInfo::exists(folderPath()));
}

TEST_F(PrefsTest, ValuesKeepTheKindTheyWereAssignedInUntilALoad) {
    Prefs& prefs = store();
    assign("port", Auto(Text("40001")));
    assign("alarmName", Auto(fw::String("Ann")));
    assign("port", Auto(Text("40002")));
    EXPECT_TRUE(lookup("port").IsText());
    EXPECT_EQ(lookup("port"), Auto(Text("40002")));
    EXPECT_TRUE(lookup("alarmName").IsString());
    EXPECT_FALSE(prefs.Load());
    ASSERT_TRUE(prefs.Save());
    ASSERT_TRUE(prefs.Load());
    EXPECT_TRUE(lookup("alarmName").IsText()); // a JSON string reads back as Text
    EXPECT_EQ(lookup("alarmName"), Auto(Text("Ann")));
}

TEST_F(PrefsTest, AFailedSaveGivesFalseAndLeavesTheOldFile) {
    writePrefs(kSample);
    Prefs& prefs = store();
    ASSERT_TRUE(prefs.Load());
    // Small enough to sit in the stream's buffer, so the failure shows only when it is completed.
    assign("alarmName", Auto(Text(std::string(1000, 'x'))));

    // A write cut short (a full disk, simulated by a file-size limit that binds root too).
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = prefs.Save();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readPrefs(), kSample);
    EXPECT_EQ(QDir(folderPath()).entryList(QDir::Files), QStringList{"Tallybell.prefs"});

    // A folder where the file should be, and then the whole folder gone.
    ASSERT_TRUE(QFile::remove(filePath()));
    ASSERT_TRUE(QDir().mkpath(filePath()));
    EXPECT_FALSE(prefs.Save());
    EXPECT_TRUE(QFileInfo(filePath()).isDir());
    ASSERT_TRUE(QDir(folderPath()).removeRecursively());
    EXPECT_FALSE(prefs.Save());
    EXPECT_FALSE(QFileInfo::exists(folderPath()));
}

// What cannot be read fails the load as text that is not JSON does, at once: a folder, a FIFO
// (whose open would wait for a writer), an endless device, a file that fails on reading, one larger
// than any settings file.
TEST_F(PrefsTest, WhatCannotBeReadIsAFailedLoadThatTouchesNothing) {
    ASSERT_TRUE(QDir().mkpath(folderPath()));
    using Make = std::function<bool()>;
    const std::pair<const char*, Make> cases[] = {
        {"folder", [&] { return QDir().mkdir(filePath()); }},
        {"fifo", [&] { return ::mkfifo(QFile::encodeName(filePath()), 0600) == 0; }},
        {"device", [&] { return QFile::link("/dev/zero", filePath()); }},
        {"read fails", [&] { return QFile::link("/proc/self/mem", filePath()); }},
        {"too large",
         [&] {
             writePrefs(paddedSample(kLargestFile + 1));
             return true;
         }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(make());
        Prefs& prefs = store();
        assign("kept", Auto(Text("yes")));
        fw::DebugLogCapture log;
        EXPECT_FALSE(prefs.Load());
        // One line, naming the file and why.
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(
            log.Lines()[0].rfind("Preferences not used: " + filePath().toStdString() + ": ", 0), 0u)
            << log.Lines()[0];
        EXPECT_EQ(lookup("kept"), Auto(Text("yes")));
        ASSERT_EQ(std::remove(QFile::encodeName(filePath()).constData()),
                  0); // file or empty folder
    }
}

TEST_F(PrefsTest, AFileOfTheLargestSizeLoadsWhole) {
    writePrefs(paddedSample(kLargestFile));
    EXPECT_TRUE(store().Load());
    EXPECT_EQ(lookup("alarmName"), Auto(Text("Ann")));
}

// No folder for the file: the defaults serve, and a save says it could not write.
TEST_F(PrefsTest, WithoutAFolderToHoldTheFileLoadAndSaveGiveFalse) {
    ASSERT_TRUE(QFile(folderPath()).open(QIODevice::WriteOnly)); // a file where the folder goes
    EXPECT_FALSE(store().Load());
    EXPECT_FALSE(Preferences->Save());

    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_FALSE(store().Load());
    EXPECT_FALSE(Preferences->Save());
    setenv("HOME", home.c_str(), 1);
}

// A value the system cannot use (no text, a port or group that could not be bound or joined,
// missing) fails for its own key only: that key takes its stand-in with one line naming it, and
// the rest load. Values that work keep working as they are.
TEST_F(PrefsTest, AnUnusableSettingTakesItsStandInAndSaysSoAndTheRestLoad) {
    const std::pair<const char*, const char*> unusable[] = {
        {"port", "null"},
        {"port", "true"},
        {"port", R"("")"},
        {"port", R"("0")"},
        {"port", R"("65536")"},
        {"port", R"("-1")"},
        {"port", R"("1e309")"},
        {"port", "[40002]"},
        {"mCastIP", "null"},
        {"mCastIP", R"("")"},
        {"mCastIP", R"("10.0.0.1")"},
        {"mCastIP", R"("::1")"},
        {"mCastIP", R"("239.1.2.4 ")"},
        {"alarmName", "{}"},
    };
    const std::string path = filePath().toStdString();
    const QJsonObject usable{{"alarmName", "Ann"}, {"port", "40002"}, {"mCastIP", "239.9.9.9"}};
    for (const auto& [key, value] : unusable) {
        SCOPED_TRACE(std::string(key) + " " + value);
        QJsonObject given = usable;
        given.remove(key);
        QByteArray json = QJsonDocument(given).toJson(QJsonDocument::Compact);
        json.chop(1);
        writePrefs(json + ",\"" + key + "\":" + value + "}");
        Prefs& prefs = store();
        fw::DebugLogCapture log;
        ASSERT_TRUE(prefs.Load());
        const std::string standIn = std::string(key) == "port"      ? "40001"
                                    : std::string(key) == "mCastIP" ? "239.1.2.4"
                                                                    : "";
        EXPECT_EQ(lookup(key), Auto(Text(standIn)));
        std::string said = "Preferences value not used in " + path + ": ";
        said += std::string(key) + " " + value;
        said += ", taking \"" + standIn + "\"";
        EXPECT_EQ(log.Lines(), std::vector<std::string>{said});
        for (const auto& other : given.keys()) {
            EXPECT_EQ(lookup(other.toUtf8().constData()).ToText(),
                      Text(given[other].toString().toStdString()));
        }
    }
    for (const char* missing : {"port", "mCastIP"}) {
        QJsonObject given = usable;
        given.remove(missing);
        writePrefs(QJsonDocument(given).toJson(QJsonDocument::Compact));
        fw::DebugLogCapture log;
        ASSERT_TRUE(store().Load());
        EXPECT_EQ(log.Count(std::string("Preferences value not used in ") + path + ": " + missing +
                            " missing, taking \"" +
                            (std::string(missing) == "port" ? "40001" : "239.1.2.4") + "\""),
                  1u);
    }

    writePrefs(R"({"port":40003.9,"mCastIP":"224.0.0.1"})");
    fw::DebugLogCapture log;
    ASSERT_TRUE(store().Load());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{});
    EXPECT_EQ(lookup("port"), Auto(40003.9));
    EXPECT_EQ(lookup("mCastIP"), Auto(Text("224.0.0.1")));
}

// Nothing the user wrote is lost: the first save over a file that was not wholly used keeps its
// bytes beside it, under the first name no earlier copy holds, and says so once; later saves
// leave the copy alone. Through a symbolic link the save replaces what the link points to, as an
// editor does.
TEST_F(PrefsTest, TheFirstSaveOverAFileNotWhollyUsedKeepsItsBytesBesideAndNoCopyIsReplaced) {
    const QByteArray damaged = R"({"alarmName":"Ann","port":"40555","mCastIP":"239.9.9.9",})";
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("settings.json");
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const auto readAll = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    write(target, damaged);
    ASSERT_TRUE(QDir().mkpath(folderPath()));
    ASSERT_TRUE(QFile::link(target, filePath()));
    const QString older = filePath() + ".damaged";
    write(older, "an older copy");

    Prefs& prefs = store();
    EXPECT_FALSE(prefs.Load());
    assign("alarmName", Auto(fw::String("Bo")));
    fw::DebugLogCapture log;
    ASSERT_TRUE(prefs.Save());
    const QString copy = older + ".2";
    EXPECT_EQ(readAll(older), "an older copy");
    EXPECT_EQ(readAll(copy), damaged);
    EXPECT_EQ(readAll(target), R"({"alarmName":"Bo"})");
    EXPECT_TRUE(QFileInfo(filePath()).isSymLink());
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Kept the preferences file that could not be used as " +
                                       copy.toStdString()});
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readAll(copy), damaged);
    EXPECT_EQ(log.Lines().size(), 1u);

    // A second damaged file, here one whose group cannot be joined, gets a name of its own.
    const QByteArray unusable = R"({"alarmName":"Cy","port":"40001","mCastIP":"10.0.0.1"})";
    write(target, unusable);
    ASSERT_TRUE(store().Load());
    ASSERT_TRUE(Preferences->Save());
    EXPECT_EQ(readAll(copy), damaged);
    EXPECT_EQ(readAll(older + ".3"), unusable);
}

// A copy that cannot be made stops the save, whose own write would have worked: the user's bytes
// stay where they are.
TEST_F(PrefsTest, ACopyThatCannotBeMadeStopsTheSaveAndTheFileStays) {
    const QByteArray damaged = "{\"alarmName\":";
    writePrefs(damaged);
    const QString copy = filePath() + ".damaged";
    ASSERT_TRUE(QDir().mkdir(copy));
    for (int number = 2; number <= 100; ++number) {
        ASSERT_TRUE(QDir().mkdir(copy + "." + QString::number(number))); // every name taken
    }
    Prefs& prefs = store();
    EXPECT_FALSE(prefs.Load());
    assign("alarmName", Auto(fw::String("Bo")));
    fw::DebugLogCapture log;
    EXPECT_FALSE(prefs.Save());
    EXPECT_EQ(readPrefs(), damaged);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].rfind("Preferences not saved: ", 0), 0u) << log.Lines()[0];

    ASSERT_TRUE(QDir().rmdir(copy + ".100"));
    EXPECT_TRUE(prefs.Save()) << "a free name lets the save go on";
    QFile kept(copy + ".100");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
}

TEST_F(PrefsTest, AStoreWithoutADictionaryReadsMinusOneAndIgnoresAssignments) {
    Prefs bare;
    EXPECT_EQ(bare.Get(Text("port")), Auto(-1));
    bare.Set(Text("port"), Auto(Text("1")));
    EXPECT_EQ(bare.Operator_Lookup(Text("port")), Auto(-1));
    EXPECT_FALSE(bare.Save());
}

TEST_F(PrefsTest, AMissingKeyIsAddedThroughTheProcessStore) {
    Prefs other(Text("Other"));
    EXPECT_THROW(other.Get(Text("k")), fw::NilObjectException);
    store();
    EXPECT_EQ(other.Get(Text("k")), Auto(Text("")));
    EXPECT_FALSE(other.mPreferences->HasKey(Auto(Text("k"))));
    EXPECT_TRUE(Preferences->mPreferences->HasKey(Auto(Text("k"))));
}

TEST_F(PrefsTest, ASecondInitialiseStartsAnEmptyStore) {
    store();
    assign("alarmName", Auto(Text("Ann")));
    const auto first = Preferences;
    ModernPreferences::Initialise(Text("Tallybell"));
    EXPECT_NE(Preferences, first);
    EXPECT_EQ(Preferences->mAppName, Text("Tallybell"));
    EXPECT_EQ(Preferences->mPreferences->KeyCount(), 0u);
    EXPECT_EQ(Preferences->mPreferencesFile, nullptr);
}

} // namespace
} // namespace tallybell
