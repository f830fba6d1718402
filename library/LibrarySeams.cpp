#include "LibrarySeams.h"

#include "DesktopLinks.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
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

QuestionAsker& Asker()
{
    static QuestionAsker asker;
    return asker;
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

bool FileManagerShowItem(const QDBusConnection& bus, const QString& path, std::function<void(bool accepted)> done)
{
    if (path.isEmpty() || !bus.isConnected())
        return false;
    // Asked whether or not a file manager runs yet: the bus starts one that
    // provides the service on demand, and answers at once when none does.
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    // A proper URI: spaces and other characters percent-encoded.
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    call << QStringList{url.toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         const bool accepted = !finished->isError();
                         if (!accepted)
                             qWarning() << "FileManagerShowItem: ShowItems failed:" << finished->error().message();
                         finished->deleteLater();
                         if (done)
                             done(accepted);
                     });
    return true;
}

bool RevealFile(const QDBusConnection& bus, const QString& path)
{
    if (path.isEmpty())
        return false;
    // No file manager service: the folder that holds the file is opened;
    // when nothing opens that either, the user is told where it is.
    const auto openFolder = [path] {
        OpenWithDesktop(QApplication::activeWindow(), QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    if (FileManagerShowItem(bus, path, [openFolder](bool accepted) {
            if (!accepted)
                openFolder();
        }))
        return true;
    openFolder();
    return true;
}

bool DefaultRevealFile(const QString& path)
{
    return RevealFile(QDBusConnection::sessionBus(), path);
}

void SetQuestionAsker(QuestionAsker asker)
{
    Asker() = std::move(asker);
}

int AskLibraryQuestion(QWidget* parent, const QString& text, const QList<DialogButtonInfo>& buttons, bool checkBox,
                       bool* checked)
{
    if (checked)
        *checked = false;
    if (!Asker()) {
        qWarning() << "AskLibraryQuestion: no question dialog installed:" << text;
        return 0;
    }
    return Asker()(parent, text, buttons, checkBox, checked);
}
