#include "ProgramLog.h"

#include "Log.h"

#include <QByteArray>
#include <QDir>

namespace {

QtMessageHandler g_previous = nullptr;

void WriteToLog(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QByteArray line = text.toUtf8();
    const char* source = context.file ? context.file : "Qt";
    const char* function = context.function ? context.function : "";
    switch (type) {
    case QtDebugMsg:
        LogDebug(source, function, context.line, "%s", line.constData());
        break;
    case QtInfoMsg:
        LogInfo(source, function, context.line, "%s", line.constData());
        break;
    case QtWarningMsg:
        LogWarning(source, function, context.line, "%s", line.constData());
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        LogError(source, function, context.line, "%s", line.constData());
        break;
    }
    // Standard error keeps what it showed before.
    if (g_previous)
        g_previous(type, context, text);
}

} // namespace

void StartProgramLog(const QString& folder)
{
    QDir().mkpath(folder);
    InitLogSystem(kProgramLogName, QDir(folder).absolutePath().toUtf8().constData(), 0, 2, 0);
    g_previous = qInstallMessageHandler(&WriteToLog);
}

void StopProgramLog()
{
    qInstallMessageHandler(g_previous);
    g_previous = nullptr;
    ReleaseLogSystem();
}
