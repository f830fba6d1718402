#include "ProgramTranslator.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

QTranslator* ProgramTranslator()
{
    static QPointer<QTranslator> translator;
    if (!translator)
        translator = new QTranslator(QCoreApplication::instance());
    return translator;
}
