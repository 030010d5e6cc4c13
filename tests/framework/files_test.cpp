#include "framework/core/folder_item.h"
#include "framework/core/text_encoding.h"
#include "framework/core/text_input_stream.h"
#include "framework/core/text_output_stream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fw {
namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    }

    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    std::shared_ptr<FolderItem> item(const std::string& name) const {
        return std::make_shared<FolderItem>(path(name));
    }
    void writeFile(const std::string& name, const QByteArray& bytes) const {
        QFile file(QString::fromStdString(path(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << file.errorString().toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray readFile(const std::string& name) const {
        QFile file(QString::fromStdString(path(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const {
        return QDir(dir_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    }

    QTemporaryDir dir_;
};

TEST_F(FilesTest, ChildNamesAnItemWhetherItExistsOrNot) {
    const auto folder = item("");
    const auto child = folder->Child(Text("a b"), true);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->NativePath(), path("a b"));
    EXPECT_EQ(child->Name(), "a b");
    EXPECT_FALSE(child->Exists());
    for (const char* bad : {"", ".", "..", "x/y"}) {
        EXPECT_EQ(folder->Child(Text(bad)), nullptr) << bad;
    }
}

TEST_F(FilesTest, ChildFollowsASymbolicLinkWhenAsked) {
    writeFile("target", "x");
    ASSERT_TRUE(
        QFile::link(QString::fromStdString(path("target")), QString::fromStdString(path("link"))));
    EXPECT_EQ(item("")->Child(Text("link"), true)->NativePath(), path("target"));
    EXPECT_EQ(item("")->Child(Text("link"), false)->NativePath(), path("link"));
}

TEST_F(FilesTest, CreateAsFolderSucceedsOnceThereIsAFolderAndReportsWhatBlocksIt) {
    const auto folder = item("made");
    folder->CreateAsFolder();
    EXPECT_TRUE(folder->Exists());
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_NO_THROW(folder->CreateAsFolder());
    EXPECT_THROW(item("missing/child")->CreateAsFolder(), IOException);
    writeFile("file", "x");
    EXPECT_THROW(item("file")->CreateAsFolder(), IOException);
}

TEST_F(FilesTest, ApplicationSupportIsTheXdgConfigFolderElseHomeConfig) {
    const auto support = SpecialFolder::ApplicationSupport();
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->NativePath(), path("config"));
    EXPECT_TRUE(support->IsFolder()); // a fresh account gets it made

    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", path("home").c_str(), 1);
    EXPECT_EQ(SpecialFolder::ApplicationSupport()->NativePath(), path("home/.config"));
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(SpecialFolder::ApplicationSupport(), nullptr);
    setenv("HOME", home.c_str(), 1);
}

TEST_F(FilesTest, ReadAllGivesTheWholeFileWithoutAUtf8Signature) {
    writeFile("plain", "line 1\nline 2\n\xC3\xA9");
    writeFile("signed", "\xEF\xBB\xBF{}");
    const auto plain = TextInputStream::Open(item("plain"), TextEncoding::UTF8());
    EXPECT_EQ(plain->ReadAll(), Text("line 1\nline 2\n\xC3\xA9"));
    EXPECT_EQ(plain->ReadAll(), Text(""));
    plain->Close();
    EXPECT_THROW(plain->ReadAll(), IOException);
    EXPECT_EQ(TextInputStream::Open(item("signed"), TextEncoding::UTF8())->ReadAll(), Text("{}"));
}

// A FIFO would block the open until a writer came, a device never ends, and renaming over either
// replaces the node itself: neither stream touches anything but a regular file.
TEST_F(FilesTest, StreamsOnWhatIsNoUsableFileRaiseAtOnceAndReplaceNothing) {
    QDir(dir_.path()).mkdir("folder");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const char* name : {"folder", "missing", "fifo"}) {
        EXPECT_THROW(TextInputStream::Open(item(name), TextEncoding::UTF8()), IOException) << name;
    }
    EXPECT_THROW(TextInputStream::Open(std::make_shared<FolderItem>("/dev/zero"), nullptr),
                 IOException);
    EXPECT_THROW(TextInputStream::Open(nullptr, TextEncoding::UTF8()), NilObjectException);
    for (const char* name : {"missing/out", "folder", "fifo"}) {
        EXPECT_THROW(TextOutputStream::Create(item(name), TextEncoding::UTF8()), IOException)
            << name;
    }
    struct stat status {};
    EXPECT_TRUE(::stat(path("fifo").c_str(), &status) == 0 && S_ISFIFO(status.st_mode));
    EXPECT_THROW(TextOutputStream::Create(nullptr, TextEncoding::UTF8()), NilObjectException);
}

TEST_F(FilesTest, ReadTakesAtMostWhatItIsAskedFor) {
    writeFile("plain", "abcdef");
    const auto stream = TextInputStream::Open(item("plain"), nullptr);
    EXPECT_EQ(stream->Read(4), Text("abcd"));
    EXPECT_EQ(stream->Read(4), Text("ef"));
}

// Nothing at the destination is ever replaced, not even a link, and only a regular file is
// copied.
TEST_F(FilesTest, CopyFileToMakesANewFileWithTheBytesAndReplacesNothing) {
    writeFile("source", "damaged {");
    item("source")->CopyFileTo(*item("copy"));
    EXPECT_EQ(readFile("copy"), "damaged {");

    writeFile("elsewhere", "untouched");
    ASSERT_TRUE(QFile::link(QString::fromStdString(path("elsewhere")),
                            QString::fromStdString(path("link"))));
    writeFile("taken", "an earlier copy");
    for (const char* taken : {"link", "taken", "copy"}) {
        SCOPED_TRACE(taken);
        EXPECT_THROW(item("source")->CopyFileTo(*item(taken)), IOException);
    }
    EXPECT_EQ(readFile("elsewhere"), "untouched");
    EXPECT_EQ(readFile("taken"), "an earlier copy");
    QDir(dir_.path()).mkdir("folder");
    EXPECT_THROW(item("folder")->CopyFileTo(*item("new")), IOException);
    EXPECT_THROW(item("missing")->CopyFileTo(*item("new")), IOException);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("new"))));
}

// Where no hard link can be made (another file system), the bytes are streamed: a sparse file's
// copy takes no more room than the file.
TEST_F(FilesTest, CopyFileToAcrossFileSystemsKeepsTheBytesAndTheHoles) {
    QTemporaryDir other(QStringLiteral("/dev/shm/files_test-XXXXXX"));
    struct stat here {};
    struct stat there {};
    if (!other.isValid() || ::stat(dir_.path().toLocal8Bit().constData(), &here) != 0 ||
        ::stat(other.path().toLocal8Bit().constData(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second file system to copy to";
    }
    constexpr qint64 kSize = qint64{64} * 1024 * 1024;
    {
        QFile sparse(QString::fromStdString(path("sparse")));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.write("head") == 4 && sparse.seek(kSize - 4) &&
                    sparse.write("tail") == 4);
    }
    const std::string copy = other.filePath("copy").toStdString();
    item("sparse")->CopyFileTo(FolderItem(copy));
    struct stat source {};
    struct stat copied {};
    ASSERT_EQ(::stat(path("sparse").c_str(), &source), 0);
    ASSERT_EQ(::stat(copy.c_str(), &copied), 0);
    EXPECT_NE(copied.st_ino, 0u);
    EXPECT_EQ(copied.st_size, kSize);
    EXPECT_LE(copied.st_blocks, source.st_blocks + 16) << "the holes were written out";
    QFile result(QString::fromStdString(copy));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.read(4), "head");
    ASSERT_TRUE(result.seek(kSize - 4));
    EXPECT_EQ(result.read(4), "tail");
}

// A file its owner cannot read would hand that mode on to its replacement.
TEST_F(FilesTest, OutputOverAFileItsOwnerCannotReadLeavesOneItCan) {
    writeFile("locked", "old");
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(path("locked")), {}));
    TextOutputStream::Create(item("locked"), nullptr)->Write(Text("new"));
    const auto mode = QFile::permissions(QString::fromStdString(path("locked")));
    EXPECT_TRUE(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readFile("locked"), "new");
}

TEST_F(FilesTest, OutputReplacesTheTargetOnlyWhenClosed) {
    writeFile("out", "old content");
    const auto stream = TextOutputStream::Create(item("out"), TextEncoding::UTF8());
    stream->Write(Text("new "));
    stream->Write(String("text"));
    EXPECT_EQ(readFile("out"), "old content");
    stream->Close();
    EXPECT_EQ(readFile("out"), "new text");
    EXPECT_NO_THROW(stream->Close());
    EXPECT_THROW(stream->Write(Text("late")), IOException);
    EXPECT_EQ(entries(), QStringList{"out"}); // no temporary file left behind
}

TEST_F(FilesTest, ReleasingAnOpenOutputStreamCompletesTheFile) {
    TextOutputStream::Create(item("out"), TextEncoding::UTF8())->Write(Text("released"));
    EXPECT_EQ(readFile("out"), "released");
}

TEST_F(FilesTest, AFolderRemovedBeforeCloseRaisesAndLeavesNothing) {
    QDir(dir_.path()).mkdir("gone");
    const auto stream = TextOutputStream::Create(item("gone/out"), TextEncoding::UTF8());
    stream->Write(Text("x"));
    ASSERT_TRUE(QDir(QString::fromStdString(path("gone"))).removeRecursively());
    EXPECT_THROW(stream->Close(), IOException);
    EXPECT_FALSE(item("gone")->Exists());
}

// The text is made durable on disk before it replaces the target: a disk that cannot make it
// durable leaves the earlier file as it was.
TEST_F(FilesTest, AFileThatCannotBeMadeDurableNeverReplacesTheTarget) {
    writeFile("out", "earlier");
    const auto stream = TextOutputStream::Create(item("out"), TextEncoding::UTF8());
    stream->Write(Text("later"));
    {
        const DiskSyncFailure failingDisk(EIO);
        EXPECT_THROW(stream->Close(), IOException);
    }
    EXPECT_EQ(readFile("out"), "earlier");
    EXPECT_EQ(entries(), QStringList{"out"});
}

// A write that the system refuses half-way (a full disk, simulated with a file-size limit that
// binds root too) must leave the earlier file whole, whether it fails at once (a large write) or
// only when the buffered text is completed (a small one).
TEST_F(FilesTest, AFailedWriteLeavesTheEarlierFileWhole) {
    writeFile("out", "earlier");
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int raised = 0;
    for (std::size_t size : {100000, 100}) {
        try {
            const auto stream = TextOutputStream::Create(item("out"), TextEncoding::UTF8());
            stream->Write(Text(std::string(size, 'x')));
            stream->Close();
        } catch (const IOException&) {
            ++raised;
        }
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(raised, 2);
    EXPECT_EQ(readFile("out"), "earlier");
    EXPECT_EQ(entries(), QStringList{"out"});
}

} // namespace
} // namespace fw
