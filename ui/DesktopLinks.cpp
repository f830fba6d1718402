#include "DesktopLinks.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {
DesktopNotice& Notice()
{
    static DesktopNotice notice;
    return notice;
}

DesktopOpener& Opener()
{
    static DesktopOpener opener;
    return opener;
}
}  // namespace

void SetDesktopNotice(DesktopNotice notice)
{
    Notice() = std::move(notice);
}

void SetDesktopOpener(DesktopOpener opener)
{
    Opener() = std::move(opener);
}

QString NotOpenedText(const QUrl& url)
{
    if (url.isLocalFile())
        return QCoreApplication::translate("DesktopLinks", "No file manager could open this folder. Open it yourself:\n%1")
            .arg(QDir::toNativeSeparators(url.toLocalFile()));
    return QCoreApplication::translate("DesktopLinks", "No web browser could open this page. Open it yourself:\n%1")
        .arg(url.toString());
}

void TellNotOpened(QWidget* parent, const QUrl& url)
{
    qWarning() << "Nothing on this desktop could open" << url.toString();
    if (Notice())
        Notice()(parent, NotOpenedText(url));
}

bool OpenWithDesktop(QWidget* parent, const QUrl& url)
{
    if (Opener() ? Opener()(url) : QDesktopServices::openUrl(url))
        return true;
    TellNotOpened(parent, url);
    return false;
}
