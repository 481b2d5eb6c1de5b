// A save that cannot write its file gives the system's reason, as every other
// failure does, and leaves the file as it was: the program's line then reads
// "Cannot save ... project0.dat: Read-only file system".
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "system/ReplaceFile.h"

namespace {

constexpr uid_t kNobody = 65534;

enum class Unwritable { FileNotWritable, FolderNotWritable, ReadOnlyFileSystem, Directory };

// Sets up the case in a child process (dropping root, or mounting the folder
// read-only in a mount namespace of its own) and tries to replace the file
// there. The reason given, "unsupported" when the case cannot be made here.
QString reasonInChild(Unwritable kind, const QString& folder, const QString& path)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const QByteArray encodedFolder = QFile::encodeName(folder);
        const QByteArray encodedPath = QFile::encodeName(path);
        bool made = true;
        switch (kind) {
        case Unwritable::FileNotWritable:
        case Unwritable::FolderNotWritable:
            // Root writes anywhere: the case is made for an ordinary user.
            if (::geteuid() == 0)
                made = ::chown(encodedFolder.constData(), kNobody, kNobody) == 0 &&
                       ::chown(encodedPath.constData(), kNobody, kNobody) == 0 && ::setgroups(0, nullptr) == 0 &&
                       ::setresgid(kNobody, kNobody, kNobody) == 0 && ::setresuid(kNobody, kNobody, kNobody) == 0;
            break;
        case Unwritable::ReadOnlyFileSystem:
            made = ::unshare(CLONE_NEWNS) == 0 &&
                   ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount(encodedFolder.constData(), encodedFolder.constData(), nullptr, MS_BIND, nullptr) == 0 &&
                   ::mount(nullptr, encodedFolder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
            break;
        case Unwritable::Directory:
            break;
        }
        QString reason = QStringLiteral("unsupported");
        if (made && replaceFile(path, [](QFileDevice& file) { return writeAll(file, "new", 3); }, &reason))
            reason = QStringLiteral("written");
        const QByteArray bytes = reason.toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(channel[1], bytes.constData(), size_t(bytes.size()));
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray bytes;
    char chunk[256];
    for (ssize_t count; (count = ::read(channel[0], chunk, sizeof chunk)) != 0;) {
        if (count > 0)
            bytes.append(chunk, int(count));
        else if (errno != EINTR)
            break;
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(bytes);
}

}  // namespace

TEST(ReplaceFile, UnwritableTargetsGiveTheSystemsReasonAndStayAsTheyWere)
{
    const struct {
        const char* name;
        Unwritable kind;
        mode_t fileMode;
        mode_t folderMode;
        int error;
    } cases[] = {
        {"file not writable", Unwritable::FileNotWritable, 0444, 0755, EACCES},
        {"folder not writable", Unwritable::FolderNotWritable, 0644, 0555, EACCES},
        {"read-only file system", Unwritable::ReadOnlyFileSystem, 0644, 0755, EROFS},
        {"a directory in its place", Unwritable::Directory, 0, 0755, EISDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath("data");
        const QString path = folder + "/project0.dat";
        ASSERT_TRUE(QDir().mkpath(folder));
        if (c.kind == Unwritable::Directory) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
            file.close();
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);

        const QString reason = reasonInChild(c.kind, folder, path);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        if (reason == QLatin1String("unsupported")) {
            std::printf("skipped \"%s\": the case cannot be made here\n", c.name);
            continue;
        }
        EXPECT_EQ(reason.toStdString(), std::strerror(c.error));
        if (c.kind != Unwritable::Directory) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), "old");
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot).size(), 1)
            << "no temporary file is left";
    }
}
