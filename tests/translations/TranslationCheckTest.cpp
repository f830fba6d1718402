#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct Language {
  const char* code;    // the program's code
  const char* qtCode;  // the .ts target language
};
const Language kLanguages[] = {{"de", "de"}, {"jp", "ja"}, {"rus", "ru"}};
void PrintTo(const Language& lang, std::ostream* os) { *os << lang.code; }
const char* const kSourceDirs[] = {"core", "ui", "library", "dialogs", "recognition", "support", "app"};

// "context: source" of every message without a finished, non-empty translation.
QStringList Untranslated(const QString& tsPath) {
  QStringList out;
  QFile file(tsPath);
  if (!file.open(QIODevice::ReadOnly)) return {"cannot read " + tsPath};
  QXmlStreamReader xml(&file);
  QString context, source;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (xml.name() == QLatin1String("source")) {
      source = xml.readElementText();
    } else if (xml.name() == QLatin1String("translation")) {
      const QString type = xml.attributes().value("type").toString();
      if (type == "obsolete" || type == "vanished") continue;
      const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      if (type == "unfinished" || text.trimmed().isEmpty()) out << context + ": " + source;
    }
  }
  if (xml.hasError()) out << "XML error in " + tsPath + ": " + xml.errorString();
  return out;
}

class TranslationCheck : public ::testing::TestWithParam<Language> {};

}  // namespace

TEST_P(TranslationCheck, EveryTextOfTheSourcesIsTranslated) {
  const Language lang = GetParam();
  const QString ts = QStringLiteral(SONACAP_TEST_SOURCE_DIR "/translations/sonacap_%1.ts").arg(lang.code);
  ASSERT_TRUE(QFile::exists(ts)) << ts.toStdString();

  const QStringList inFile = Untranslated(ts);
  EXPECT_TRUE(inFile.isEmpty()) << inFile.size() << " unfinished in " << ts.toStdString() << ":\n  "
                                << inFile.join("\n  ").toStdString();

  // Merge the sources into a copy: texts the file lacks arrive unfinished.
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString copy = tmp.filePath(QFileInfo(ts).fileName());
  ASSERT_TRUE(QFile::copy(ts, copy));
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  QStringList args = {"-silent", "-locations", "none", "-no-obsolete"};
  for (const char* dir : kSourceDirs) {
    const QString path = QStringLiteral(SONACAP_TEST_SOURCE_DIR "/") + dir;
    if (QDir(path).exists()) args << path;
  }
  args << "-target-language" << lang.qtCode << "-ts" << copy;
  QProcess lupdate;
  lupdate.start(QStringLiteral(SONACAP_LUPDATE), args);
  ASSERT_TRUE(lupdate.waitForFinished(120000));
  ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

  QStringList missing = Untranslated(copy);
  for (const QString& known : inFile) missing.removeAll(known);
  EXPECT_TRUE(missing.isEmpty()) << missing.size() << " texts of the sources are not in " << ts.toStdString()
                                 << " (build the update_translations target, then translate):\n  "
                                 << missing.join("\n  ").toStdString();
}

TEST_P(TranslationCheck, CompiledCatalogsLoadBesideTheProgram) {
  const Language lang = GetParam();
  const QString folder = QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/language");
  QTranslator program;
  ASSERT_TRUE(program.load(QStringLiteral("sonacap_%1.qm").arg(lang.code), folder));
  EXPECT_FALSE(program.translate("CStatusBar", "Recording").isEmpty());
  QTranslator qt;
  ASSERT_TRUE(qt.load(QStringLiteral("qt_%1.qm").arg(lang.code), folder));
  // Qt's own dialog texts come from this catalogue.
  EXPECT_FALSE(qt.translate("QPlatformTheme", "Cancel").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslationCheck, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.code); });
