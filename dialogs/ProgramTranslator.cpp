#include "ProgramTranslator.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace {
QPointer<QTranslator>& Current()
{
    static QPointer<QTranslator> translator;
    return translator;
}
} // namespace

QTranslator* ProgramTranslator()
{
    if (!Current())
        Current() = new QTranslator(QCoreApplication::instance());
    return Current();
}

void SetProgramTranslator(QTranslator* translator)
{
    Current() = translator;
}
