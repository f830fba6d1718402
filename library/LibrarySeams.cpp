#include "LibrarySeams.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
TagEditorRunner& Editor()
{
    static TagEditorRunner runner;
    return runner;
}

FileRevealer& Revealer()
{
    static FileRevealer revealer;
    return revealer;
}
} // namespace

void SetTagEditorRunner(TagEditorRunner runner)
{
    Editor() = std::move(runner);
}

bool RunTagEditor(MusicInfoRow* record, QWidget* parent)
{
    if (!record)
        return false;
    if (!Editor()) {
        qWarning() << "RunTagEditor: no tag editor installed";
        return false;
    }
    return Editor()(record, parent);
}

void SetFileRevealer(FileRevealer revealer)
{
    Revealer() = std::move(revealer);
}

bool RevealFileInFileManager(const QString& path)
{
    return Revealer() ? Revealer()(path) : DefaultRevealFile(path);
}

bool DefaultRevealFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Asked whether or not a file manager runs yet: the bus starts one that
    // provides the service on demand, and answers at once when none does.
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           service, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        qWarning() << "DefaultRevealFile: ShowItems failed:" << reply.errorMessage();
    }
    // No file manager service: open the folder that holds the file.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}
