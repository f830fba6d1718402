#include "InterfaceScale.h"

#include <QRegExp>
#include <atomic>

namespace {
// Written by main() before any widget exists, then only read; atomic so that
// worker threads that size images may read it too.
std::atomic<double> g_interfaceScale{1.0};

double ClampScale(double scale)
{
    if (!(scale >= 1.0))  // also catches NaN
        return 1.0;
    if (scale > 2.0)
        return 2.0;
    return scale;
}
}  // namespace

double ComputeInterfaceScale(int screenWidthPixels)
{
    return ClampScale(screenWidthPixels / 1920.0);
}

double GetInterfaceScale()
{
    return g_interfaceScale.load(std::memory_order_relaxed);
}

void SetInterfaceScale(double scale)
{
    g_interfaceScale.store(ClampScale(scale), std::memory_order_relaxed);
}

int ScaledPixels(int designPixels)
{
    return ScaledPixels(designPixels, GetInterfaceScale());
}

int ScaledPixels(int designPixels, double scale)
{
    return static_cast<int>(designPixels * scale);  // truncates toward zero
}

QString ScaledStyleNumber(double designPixels)
{
    return ScaledStyleNumber(designPixels, GetInterfaceScale());
}

QString ScaledStyleNumber(double designPixels, double scale)
{
    return QString::number(designPixels * scale, 'g', 6);
}

QString ScaleStyleSheetSizes(const QString& styleSheet, double scale)
{
    QString text = styleSheet;
    const QRegExp digits("[0-9]+");
    const QRegExp px("px");
    int i = 0;
    while (i < text.length()) {
        if (text.mid(i, 5) != QLatin1String("SIZE_")) {
            ++i;
            continue;
        }
        const int start = text.indexOf(digits, i);
        const int end = text.indexOf(px, i);
        // A token needs digits before its "px"; anything else stays as written.
        if (start < 0 || end < 0 || start > end) {
            ++i;
            continue;
        }
        // Only blanks and one sign may stand between "SIZE_" and the digits;
        // otherwise the digits belong to later text, which must stay.
        QString sign = text.mid(i + 5, start - (i + 5));
        sign.remove(QRegExp("\\s"));
        if (!sign.isEmpty() && sign != QLatin1String("-")) {
            ++i;
            continue;
        }
        QString number = text.mid(start, end - start);
        number.replace(QRegExp("\\s"), QString());
        bool ok = false;
        const int value = number.toInt(&ok, 10);
        if (!ok) {
            ++i;
            continue;
        }
        text.remove(i, end - i);
        text.insert(i, sign + QString::number(value * scale, 'g', 6));
        i = text.indexOf(px, i);
        if (i < 0)
            break;
    }
    return text;
}
