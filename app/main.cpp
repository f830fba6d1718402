// The program's entry: interface scale, single instance, language, database,
// font, style sheet, the main window and the event loop; then the shutdown.
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CMainUI.h"
#include "CSingleInstanceMutex.h"
#include "CStdinCommands.h"
#include "CTerminateWatcher.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"
#include "ProgramLog.h"
#include "ProgramTranslator.h"
#include "SystemHelpers.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QResource>
#include <QScreen>
#include <QSettings>
#include <QTextStream>
#include <QTranslator>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
const char* const kInstanceName = "tavrel{05CA3FED-B449-4e0b-83F5-7FD612E378E9}";

// The installer's language choice: a native-format settings entry under the
// maker's and the product's names, so a packaging step can write it.
QString InstallerLanguage(const QString& displayName)
{
    QSettings installer(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrel Software"),
                        displayName);
    const QString code = installer.value(QStringLiteral("0/LanNowCode"), QString()).toString();
    if (code == QLatin1String("jp") || code == QLatin1String("de") || code == QLatin1String("rus"))
        return code;
    return QStringLiteral("en");
}

QTranslator* LoadTranslator(const QString& file, const QString& folder, QObject* parent)
{
    auto* translator = new QTranslator(parent);
    if (translator->load(file, folder))
        QCoreApplication::installTranslator(translator);
    return translator;
}

// For the start-up benchmark: with SONACAP_QUIT_WHEN_IDLE set, the program
// prints "shown and idle" once its window is exposed and the event loop is
// about to wait with nothing queued, then quits the ordinary way. Unset, the
// program behaves as always.
void QuitWhenIdle(QWidget* window)
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, window, [=] {
        const QWindow* handle = window->windowHandle();
        if (!handle || !handle->isExposed() || dispatcher->hasPendingEvents())
            return;
        QObject::disconnect(*connection);
        std::printf("shown and idle\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
}
} // namespace

int main(int argc, char* argv[])
{
    // The window draws and moves its own frame, which needs X11 (XWayland
    // under a Wayland session); an explicit choice is left alone.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    const QScreen* screen = QGuiApplication::primaryScreen();
    SetInterfaceScale(ComputeInterfaceScale(screen ? screen->size().width() : 1920));

    const QString programDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(programDir);
    QCoreApplication::setOrganizationName(QStringLiteral("tavrel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavrel.com"));
    CAppSettings* settings = CAppSettings::GetInstance();
    QCoreApplication::setApplicationName(settings->GetDisplayName());

    const QString skin = programDir + QStringLiteral("/skin.rcc");
    QResource::registerResource(skin, QString());

    CSingleInstanceMutex instance(QString::fromLatin1(kInstanceName));
    if (instance.IsAlreadyRunning())
        return 1;

    // Dated program logs, in a folder of their own beside the library.
    StartProgramLog(settings->GetLogPath() + QStringLiteral("/log"));
    qDebug() << "\nRecorder Application start ##########################################";
    // A report the last run never finished left a copy of the user's data.
    CBugReport::RemoveLeftovers();

    if (settings->GetLanguage().isEmpty())
        settings->SetLanguage(InstallerLanguage(settings->GetDisplayName()));
    const QString language = settings->GetLanguage();
    const QString languageDir = programDir + QStringLiteral("/language");
    QTranslator* appTranslator =
        LoadTranslator(QStringLiteral("sonacap_") + language + QStringLiteral(".qm"), languageDir, &app);
    QTranslator* qtTranslator =
        LoadTranslator(QStringLiteral("qt_") + language + QStringLiteral(".qm"), languageDir, &app);
    CMainUI::SetTranslators(appTranslator, qtTranslator);
    // The preferences dialog replaces this object when the user switches the
    // language, so translators never stack.
    SetProgramTranslator(appTranslator);

    settings->InitWebLinks();
    settings->SetCurrentVersion(GetAppFileVersion());
    DB_OpenDatabase();

    const int fontId = QFontDatabase::addApplicationFont(programDir + QStringLiteral("/font/DejaVuSans.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (!families.isEmpty()) {
        QFont font(families.first());
        font.setPixelSize(static_cast<int>(12.0 * GetInterfaceScale()));
        QApplication::setFont(font);
    }

    QFile css(QStringLiteral(":/prefix/StyleSheet1.css"));
    if (css.open(QIODevice::ReadOnly)) {
        QTextStream stream(&css);
        const QString text = stream.readAll();
        css.close();
        app.setStyleSheet(ScaleStyleSheetSizes(text, GetInterfaceScale()));
    }

    int code = 0;
    {
        // Asked to end from outside, the program keeps the song being
        // recorded whole; watched until the window and its engine are gone.
        CTerminateWatcher terminate;
        CMainUI window(nullptr);
        QObject::connect(&terminate, &CTerminateWatcher::Terminated, &window, &CMainUI::QuitFinishingRecording);
        window.show();
        window.CheckUpdateOnStart();
        if (!qEnvironmentVariableIsEmpty("SONACAP_QUIT_WHEN_IDLE"))
            QuitWhenIdle(&window);
        // For the whole-program benchmark only: commands on standard input.
        if (!qEnvironmentVariableIsEmpty("SONACAP_COMMANDS_ON_STDIN"))
            new CStdinCommands(&window);
        code = app.exec();
        QResource::unregisterResource(skin, QString());
        qDebug() << "\nRecorder Application exit ##########################################";
    }
    StopProgramLog();
    return code;
}
