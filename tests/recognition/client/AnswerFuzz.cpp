// Fuzz entry point: any bytes as a service's answer, through the JSON reader
// and the walks that read an identify answer and a track answer.
#include "JsonReader.h"
#include "RecognitionResult.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <cstdlib>

namespace {
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = (qInstallMessageHandler(Quiet), true);
    (void)quiet;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    bool ok = false;
    const QVariant value = QVariantJsonParse(text, ok);
    // A failure gives back nothing a caller could mistake for data.
    if (!ok) {
        const int type = value.userType();
        const bool empty = !value.isValid() || (type == QMetaType::QVariantMap && value.toMap().isEmpty())
                           || (type == QMetaType::QVariantList && value.toList().isEmpty());
        if (!empty)
            std::abort();
    }
    const QVariantMap answer = value.toMap();
    IdentifyFields fields;
    ParseResult(answer, fields);
    ChooseImageUrl(answer);
    return 0;
}
