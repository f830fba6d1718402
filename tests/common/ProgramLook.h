#pragma once

// The program's look and languages in a widget test: its skin resources, the
// font it installs beside itself and its style sheet, as start-up sets them,
// and its compiled translations by language code. Also what a text looks like
// when painted: the ink it leaves, to tell a whole word from a clipped one.
//
// This folder has no CMakeLists.txt of its own; a test includes this header
// by path and needs SONACAP_TEST_OUTPUT_DIR and SONACAP_TEST_SOURCE_DIR.

#include "CAppSettings.h"
#include "InterfaceScale.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QResource>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTranslator>
#include <QXmlStreamReader>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace program_look {

// The program's language codes (English is the source and has no file).
inline const QStringList& Languages()
{
    static const QStringList codes = {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("jp"),
                                      QStringLiteral("rus")};
    return codes;
}

// Skin resources, interface font and style sheet at the given interface
// scale, as the program's start-up sets them. False when one of them is missing
// from the build folder.
inline bool Use(double scale)
{
    static bool registered = false;
    if (!registered)
        registered = QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc"));
    static QString family;
    if (family.isEmpty()) {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/font/DejaVuSans.ttf"));
        family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    if (!registered || family.isEmpty())
        return false;
    SetInterfaceScale(scale);
    QFont font(family);
    font.setPixelSize(static_cast<int>(12.0 * scale));
    QApplication::setFont(font);
    QFile css(QStringLiteral(":/prefix/StyleSheet1.css"));
    if (!css.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(ScaleStyleSheetSizes(QTextStream(&css).readAll(), scale));
    return true;
}

// The program's translation of `code` installed for its lifetime, with the
// settings' language set to it; English again afterwards.
class Language {
public:
    explicit Language(const QString& code)
    {
        CAppSettings::GetInstance()->SetLanguage(code);
        if (code == QLatin1String("en"))
            return;
        translator = std::make_unique<QTranslator>();
        loaded = translator->load(QStringLiteral("sonacap_%1.qm").arg(code),
                                  QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/language"));
        if (loaded)
            QCoreApplication::installTranslator(translator.get());
    }
    ~Language()
    {
        if (loaded)
            QCoreApplication::removeTranslator(translator.get());
        CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
    }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;
    bool Loaded() const { return loaded || !translator; }

private:
    std::unique_ptr<QTranslator> translator;
    bool loaded = false;
};

// Runs `check` in every language at interface scales 1 and 1.5, with the
// program's look and the language installed, then leaves the style sheet
// empty and the scale at 1 again.
inline void InEveryLanguage(const std::function<void(double scale, const QString& code)>& check)
{
    for (const double scale : {1.0, 1.5}) {
        ASSERT_TRUE(Use(scale)) << "skin.rcc or the interface font is missing from the build";
        for (const QString& code : Languages()) {
            SCOPED_TRACE(QStringLiteral("%1 at scale %2").arg(code).arg(scale).toStdString());
            Language language(code);
            ASSERT_TRUE(language.Loaded());
            check(scale, code);
        }
    }
    qApp->setStyleSheet(QString());
    SetInterfaceScale(1.0);
}

// Source text to translation of every finished message of the language's
// .ts file, in all contexts (English: empty).
inline QHash<QString, QString> Translations(const QString& code)
{
    QHash<QString, QString> out;
    QFile file(QStringLiteral(SONACAP_TEST_SOURCE_DIR "/translations/sonacap_%1.ts").arg(code));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (type.isEmpty() && !text.isEmpty())
                out.insert(source, text);
        }
    }
    return out;
}

// Columns [first, last] that hold any ink (alpha above 40) in `image`;
// first > last when there is none.
struct Ink {
    int first = 0;
    int last = -1;
    int Width() const { return last - first + 1; }
};

inline Ink InkOf(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    ink.first = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) > 40) {
                ink.first = std::min(ink.first, x);
                ink.last = std::max(ink.last, x);
            }
        }
    }
    return ink;
}

// The ink `text` leaves painted whole in `font`, with room on every side.
inline Ink InkOfText(const QString& text, const QFont& font)
{
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 4 * metrics.height(), 3 * metrics.height(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2 * metrics.height(), metrics.height() + metrics.ascent(), text);
    painter.end();
    return InkOf(image);
}

}  // namespace program_look
