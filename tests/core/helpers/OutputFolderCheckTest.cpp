// The output-folder check over real folders: missing, creatable, unwritable,
// a file, and the kernel's own folders.
#include "../../common/SmallDisk.h"
#include "OutputFolderCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>

namespace {

const char* Name(OutputFolderProblem problem)
{
    switch (problem) {
    case OutputFolderProblem::None: return "None";
    case OutputFolderProblem::NoFolder: return "NoFolder";
    case OutputFolderProblem::NotAFolder: return "NotAFolder";
    case OutputFolderProblem::SystemFolder: return "SystemFolder";
    case OutputFolderProblem::CannotCreate: return "CannotCreate";
    case OutputFolderProblem::NotWritable: return "NotWritable";
    }
    return "?";
}

// A folder nobody can write in. Read-only permissions stop every user but
// root; root gets a read-only disk. Empty when neither can be had.
class UnwritableFolder {
public:
    UnwritableFolder()
    {
        if (geteuid() == 0) {
            disk = std::make_unique<SmallDisk>(1u << 20, true);
            if (disk->Mounted())
                path = QString::fromStdString(disk->Path());
            return;
        }
        path = home.filePath("locked");
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~UnwritableFolder()
    {
        if (!disk && !path.isEmpty())
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path;

private:
    QTemporaryDir home;
    std::unique_ptr<SmallDisk> disk;
};

struct Case {
    const char* what;
    std::function<QString()> folder;   // made by the case
    OutputFolderProblem whenChecked;
    OutputFolderProblem whenCreated;
    bool existsAfterCreate;
};

}  // namespace

TEST(OutputFolderCheck, TableOfFolders)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    UnwritableFolder locked;
    if (locked.path.isEmpty())
        GTEST_SKIP() << "no read-only folder can be had here";
    const auto file = [&] {
        const QString path = tmp.filePath("a-file");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    };
    using P = OutputFolderProblem;
    const Case cases[] = {
        {"an existing folder", [&] { return tmp.path(); }, P::None, P::None, true},
        {"a missing folder in a writable one", [&] { return tmp.filePath("new/deeper"); }, P::None, P::None, true},
        {"no folder", [] { return QStringLiteral("  "); }, P::NoFolder, P::NoFolder, false},
        {"a file", file, P::NotAFolder, P::NotAFolder, false},
        {"a folder below a file", [&] { return file() + "/below"; }, P::CannotCreate, P::CannotCreate, false},
        {"an unwritable folder", [&] { return locked.path; }, P::NotWritable, P::NotWritable, true},
        {"a missing folder in an unwritable one", [&] { return locked.path + "/new"; }, P::CannotCreate,
         P::CannotCreate, false},
        {"the kernel's folder under /sys", [] { return QStringLiteral("/sys/kernel"); }, P::SystemFolder,
         P::SystemFolder, true},
        {"/proc itself", [] { return QStringLiteral("/proc"); }, P::SystemFolder, P::SystemFolder, true},
        {"a missing folder under /proc", [] { return QStringLiteral("/proc/sonacap-songs"); }, P::SystemFolder,
         P::SystemFolder, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = c.folder();
        const bool existed = QFileInfo(folder).exists();
        EXPECT_STREQ(Name(CheckOutputFolder(folder, OutputFolderUse::Check)), Name(c.whenChecked));
        EXPECT_EQ(QFileInfo(folder).exists(), existed) << "a check alone changed the disk";
        int error = -1;
        const OutputFolderProblem created = CheckOutputFolder(folder, OutputFolderUse::Create, &error);
        EXPECT_STREQ(Name(created), Name(c.whenCreated));
        EXPECT_EQ(QFileInfo(folder).isDir(), c.existsAfterCreate);
        if (created == P::CannotCreate || created == P::NotWritable) {
            EXPECT_GT(error, 0) << "the system's reason goes to the log";
        }
        // No trace of the write check is left behind.
        if (QFileInfo(folder).isDir() && created == P::None) {
            EXPECT_TRUE(QDir(folder).entryList({".sonacap-*"}, QDir::Hidden | QDir::Files).isEmpty());
        }

        const QString text = OutputFolderProblemText(created, folder);
        EXPECT_EQ(text.isEmpty(), created == P::None);
        if (created != P::None && created != P::NoFolder) {
            EXPECT_TRUE(text.contains(folder)) << text.toStdString();
        }
    }
}
