#include "SystemHelpers.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTextCodec>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

const char* const kProgramSubFolder = "/Tavrel/Sonacap";

namespace {

// XDG_TEMPLATES_DIR has no QStandardPaths location: read it the way
// xdg-user-dirs writes it ($XDG_CONFIG_HOME/user-dirs.dirs).
QString TemplatesFolder()
{
    const QString home = QDir::homePath();
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = home + "/.config";
    QFile file(config + "/user-dirs.dirs");
    if (file.open(QIODevice::ReadOnly)) {
        QTextStream in(&file);
        in.setCodec("UTF-8");
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.startsWith(QLatin1String("XDG_TEMPLATES_DIR=")))
                continue;
            QString value = line.mid(int(strlen("XDG_TEMPLATES_DIR=")));
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            if (value.startsWith(QLatin1String("$HOME")))
                value = home + value.mid(5);
            if (value.startsWith('/'))
                return QDir::cleanPath(value);
        }
    }
    return home + "/Templates";
}

QString BaseFolder(int kind)
{
    switch (kind) {
    case kFolderPrograms:
        return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    case kFolderDocuments:
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case kFolderDesktop:
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case kFolderTemplates:
        return TemplatesFolder();
    case kFolderAppData:
        // The generic data folder, not the organisation/application one, so the
        // path does not depend on when the application names are set.
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    case kFolderVideos:
        return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    case kFolderMusic:
        return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    case kFolderPictures:
        return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    default:
        return QString();
    }
}

QMutex g_hookLock;  // guards g_shutdownHook
ShutdownHook g_shutdownHook;

bool DefaultShutdown()
{
    return LogindPowerOff(QDBusConnection::systemBus());
}

}  // namespace

int GetSpecialFolderPath(QString& out, int kind)
{
    QString base = BaseFolder(kind);
    if (base.isEmpty())
        return 1;
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    if (base == QLatin1String("/"))
        base.clear();
    out = base + QLatin1String(kProgramSubFolder);
    return 0;
}

int GetSpecialFolderPath(char* out, size_t outSize, int kind)
{
    if (!out)
        return 1;
    QString path;
    if (GetSpecialFolderPath(path, kind) != 0)
        return 1;
    const QByteArray utf8 = path.toUtf8();
    if (static_cast<size_t>(utf8.size()) + 1 > outSize) {
        qDebug() << "GetSpecialFolderPath path does not fit" << outSize << "bytes:" << path;
        return 1;
    }
    memcpy(out, utf8.constData(), static_cast<size_t>(utf8.size()) + 1);
    return 0;
}

int CreateDirectoryTree(const char* utf8Path)
{
    if (!utf8Path || !*utf8Path)
        return EINVAL;
    // File names on this platform are UTF-8 bytes: use the path as given.
    const QByteArray path(utf8Path);
    // Walk from the root, creating each missing component; an existing
    // component must be a folder.
    int from = 1;
    while (true) {
        const int slash = path.indexOf('/', from);
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (!part.isEmpty() && part != "/") {
            if (::mkdir(part.constData(), 0777) != 0) {
                const int err = errno;
                struct stat st;
                if (err == EEXIST) {
                    if (::stat(part.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
                        return ENOTDIR;
                } else if (::stat(part.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    // Exists but not writable above it (e.g. EACCES on a parent); fine.
                } else {
                    return err;
                }
            }
        }
        if (slash < 0)
            break;
        from = slash + 1;
    }
    return 0;
}

ShutdownHook SetShutdownHook(ShutdownHook hook)
{
    QMutexLocker guard(&g_hookLock);
    ShutdownHook previous = g_shutdownHook;
    g_shutdownHook = std::move(hook);
    return previous;
}

bool ShutdownComputer()
{
    ShutdownHook hook;
    {
        QMutexLocker guard(&g_hookLock);
        hook = g_shutdownHook;
    }
    const bool accepted = hook ? hook() : DefaultShutdown();
    qDebug() << "ShutdownComputer accepted:" << accepted;
    return accepted;
}

bool LogindPowerOff(const QDBusConnection& bus)
{
    if (!bus.isConnected()) {
        qDebug() << "ShutdownComputer no bus:" << bus.lastError().message();
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PowerOff");
    call << false;  // not interactive: never wait for a password prompt
    const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, 25000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qDebug() << "ShutdownComputer PowerOff refused:" << reply.errorName() << reply.errorMessage();
        return false;
    }
    return true;
}

QString GetAppFileVersion()
{
#if defined(SONACAP_VERSION_MAJOR)
    return QStringLiteral("%1.%2.%3.%4")
        .arg(SONACAP_VERSION_MAJOR + 0)
        .arg(SONACAP_VERSION_MINOR + 0)
        .arg(SONACAP_VERSION_PATCH + 0)
        .arg(SONACAP_VERSION_TWEAK + 0);
#else
    return QString();
#endif
}

int AnsiToUtf8(char** out, const char* ansi)
{
    if (!ansi)
        return 1;
    if (!out)
        return 0;
    const size_t length = strlen(ansi);
    // The local encoding is UTF-8: the text only needs checking and copying.
    QTextCodec::ConverterState state;
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    codec->toUnicode(ansi, static_cast<int>(length), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return 0;
    char* copy = new char[length + 1];
    memcpy(copy, ansi, length + 1);
    *out = copy;
    return 1;
}
