#include "framework/core/debug_log.h"
#include "preferences/prefs.h"

#include <QDir>
#include <QFile>
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
        R"({"alarmName":"Bo","extra":{"list":[1,2.5,true,null]},"port":"1"})";
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
    writePrefs(R"({"alarmName":"Bo"})");
    Prefs& prefs = store();
    ASSERT_TRUE(prefs.Load());
    for (int read = 0; read < 2; ++read) {
        const Auto port = lookup("port");
        EXPECT_TRUE(port.IsText());
        EXPECT_EQ(port, Auto(Text("")));
    }
    EXPECT_EQ(prefs.mPreferences->KeyCount(), 2u);
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readPrefs(), R"({"alarmName":"Bo","port":""})");
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
        EXPECT_FALSE(prefs.Load()) << content.toStdString();
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
        EXPECT_FALSE(prefs.Load());
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

// A value no one can read as text fails for its own key only: that key takes its stand-in and
// the rest load, members of our own and others alike.
TEST_F(PrefsTest, ASettingWithoutTextTakesItsStandInAndTheRestLoad) {
    writePrefs(R"({"alarmName":{},"port":[40002],"mCastIP":"239.9.9.9","extra":{"a":[1]}})");
    Prefs& prefs = store();
    ASSERT_TRUE(prefs.Load());
    EXPECT_EQ(lookup("alarmName"), Auto(Text("")));
    EXPECT_EQ(lookup("port"), Auto(Text("40001")));
    EXPECT_EQ(lookup("mCastIP"), Auto(Text("239.9.9.9")));
    EXPECT_NE(lookup("extra").ToDictionary(), nullptr);
}

// Nothing the user wrote is lost: the first save over a file that did not load keeps its bytes
// beside it, replacing an older copy, and says so once; later saves leave the copy alone. Through
// a symbolic link the save replaces what the link points to, as an editor does.
TEST_F(PrefsTest, TheFirstSaveOverAFileThatDidNotLoadKeepsItsBytesBeside) {
    const QByteArray damaged = R"({"alarmName":"Ann","port":"40555","mCastIP":"239.9.9.9",})";
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("settings.json");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    ASSERT_TRUE(QDir().mkpath(folderPath()));
    ASSERT_TRUE(QFile::link(target, filePath()));
    const QString copy = filePath() + ".damaged";
    {
        QFile older(copy);
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("an older copy");
    }

    Prefs& prefs = store();
    EXPECT_FALSE(prefs.Load());
    assign("alarmName", Auto(fw::String("Bo")));
    fw::DebugLogCapture log;
    ASSERT_TRUE(prefs.Save());
    const auto readAll = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    EXPECT_EQ(readAll(copy), damaged);
    EXPECT_EQ(readAll(target), R"({"alarmName":"Bo"})");
    EXPECT_TRUE(QFileInfo(filePath()).isSymLink());
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Kept the preferences file that could not be used as " +
                                       copy.toStdString()});

    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readAll(copy), damaged);
    EXPECT_EQ(log.Lines().size(), 1u);
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
