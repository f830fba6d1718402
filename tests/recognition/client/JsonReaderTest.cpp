// The lenient JSON reader: its own rules case by case, its depth limit, and
// agreement with QJsonDocument on strict JSON.
#include "JsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariantList>
#include <QVariantMap>
#include <gtest/gtest.h>

#include <random>

namespace {

QVariant Map(std::initializer_list<std::pair<const char*, QVariant>> entries)
{
    QVariantMap map;
    for (const auto& [key, value] : entries)
        map.insert(QString::fromUtf8(key), value);
    return map;
}

QVariant List(std::initializer_list<QVariant> values)
{
    return QVariantList(values);
}

// Equal values of equal types, all the way down.
::testing::AssertionResult Same(const QVariant& actual, const QVariant& expected)
{
    if (actual.userType() != expected.userType())
        return ::testing::AssertionFailure()
               << "type " << actual.typeName() << " instead of " << expected.typeName();
    if (expected.userType() == QMetaType::QVariantMap) {
        const QVariantMap a = actual.toMap();
        const QVariantMap e = expected.toMap();
        if (a.keys() != e.keys())
            return ::testing::AssertionFailure() << "keys differ";
        for (auto it = e.cbegin(); it != e.cend(); ++it) {
            auto inner = Same(a.value(it.key()), it.value());
            if (!inner)
                return inner << " under " << it.key().toStdString();
        }
        return ::testing::AssertionSuccess();
    }
    if (expected.userType() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        if (a.size() != e.size())
            return ::testing::AssertionFailure() << a.size() << " elements instead of " << e.size();
        for (int i = 0; i < e.size(); ++i) {
            auto inner = Same(a.at(i), e.at(i));
            if (!inner)
                return inner << " at " << i;
        }
        return ::testing::AssertionSuccess();
    }
    if (actual != expected)
        return ::testing::AssertionFailure()
               << actual.toString().toStdString() << " instead of " << expected.toString().toStdString();
    return ::testing::AssertionSuccess();
}

TEST(JsonReaderTest, LenientRules)
{
    struct Case {
        const char* name;
        QString text;
        bool ok;
        QVariant value;   // compared when ok
    };
    const Case cases[] = {
        {"null text", QString(), true, QVariant()},
        {"empty text", QStringLiteral(""), false, {}},
        {"only blanks", QStringLiteral(" \t\r\n"), false, {}},
        {"array without commas", QStringLiteral("[1 2]"), true, List({1u, 2u})},
        {"extra commas", QStringLiteral("[,1,,2,]"), true, List({1u, 2u})},
        {"members without commas", QStringLiteral("{\"a\": 1 \"b\": 2}"), true, Map({{"a", 1u}, {"b", 2u}})},
        {"repeated key keeps the last", QStringLiteral("{\"a\":1,\"a\":2}"), true, Map({{"a", 2u}})},
        {"negative is signed 32-bit", QStringLiteral("-5"), true, -5},
        {"largest unsigned 32-bit", QStringLiteral("4294967295"), true, 4294967295u},
        {"beyond 32 bits", QStringLiteral("4294967296"), true, QVariant(qulonglong(4294967296ull))},
        {"below signed 32-bit", QStringLiteral("-2147483649"), true, QVariant(qlonglong(-2147483649ll))},
        {"beyond 64 bits stays text", QStringLiteral("18446744073709551616"), true,
         QStringLiteral("18446744073709551616")},
        {"no shape check", QStringLiteral("12-3"), true, QStringLiteral("12-3")},
        {"exponent without point stays text", QStringLiteral("1e5"), true, QStringLiteral("1e5")},
        {"point and exponent", QStringLiteral("1.5e3"), true, 1500.0},
        {"point that does not convert", QStringLiteral("1.2.3"), true, 0.0},
        {"lone minus", QStringLiteral("-"), true, QStringLiteral("-")},
        {"words by their letters", QStringLiteral("truex"), true, true},
        {"word lists", QStringLiteral(" [true,false,null]"), true, List({true, false, QVariant()})},
        {"cut word", QStringLiteral("nul"), false, {}},
        {"unicode escape", QStringLiteral("\"\\u00e9\""), true, QString(QChar(0xe9))},
        {"surrogate pair escapes", QStringLiteral("\"\\ud83c\\udfb5\""), true, QStringLiteral("\U0001F3B5")},
        {"invalid hex counts as 0", QStringLiteral("\"\\uZZZZ\""), true, QString(QChar(0))},
        {"unknown escape dropped", QStringLiteral("\"a\\qb\""), true, QStringLiteral("ab")},
        {"simple escapes", QStringLiteral("\"\\b\\f\\n\\r\\t\\/\\\\\\\"\""), true,
         QStringLiteral("\b\f\n\r\t/\\\"")},
        {"control characters kept", QStringLiteral("\"a\tb\nc\""), true, QStringLiteral("a\tb\nc")},
        {"text beyond Latin-1", QStringLiteral("{\"t\":\"日本\"}"), true, Map({{"t", QStringLiteral("日本")}})},
        {"text after the value", QStringLiteral("{} and then anything"), true, QVariantMap()},
        {"cut unicode escape", QStringLiteral("\"\\u12\""), false, {}},
        {"unterminated string", QStringLiteral("\"abc"), false, {}},
        {"trailing backslash", QStringLiteral("\"abc\\"), false, {}},
        {"key without colon", QStringLiteral("{\"a\" 1}"), false, {}},
        {"member without value", QStringLiteral("{\"a\":}"), false, {}},
        {"unquoted key", QStringLiteral("{abc:1}"), false, {}},
        {"number as key", QStringLiteral("{1:2}"), false, {}},
        {"cut array", QStringLiteral("[1,"), false, {}},
        {"cut object", QStringLiteral("{"), false, {}},
        {"wrong closer", QStringLiteral("[}"), false, {}},
        {"failure inside", QStringLiteral("[1,{\"a\":x}]"), false, {}},
        {"value position holds a colon", QStringLiteral(":"), false, {}},
        {"character beyond Latin-1", QStringLiteral("日"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = !c.ok;
        const QVariant value = QVariantJsonParse(c.text, ok);
        EXPECT_EQ(ok, c.ok);
        if (c.ok) {
            EXPECT_TRUE(Same(value, c.value));
        }
    }
}

TEST(JsonReaderTest, DeepNestingFailsInsteadOfOverflowingTheStack)
{
    auto nested = [](int depth, const char* open, const char* close) {
        return QString(QLatin1String(open)).repeated(depth) + QString(QLatin1String(close)).repeated(depth);
    };
    // {"a":{"a":...{}...}} with `depth` objects.
    auto objects = [](int depth) {
        return QString(QLatin1String("{\"a\":")).repeated(depth - 1) + QLatin1String("{}")
               + QString(QLatin1Char('}')).repeated(depth - 1);
    };
    struct Case {
        const char* name;
        QString text;
        bool ok;
    };
    const Case cases[] = {
        {"arrays at the limit", nested(JsonReaderMaxDepth, "[", "]"), true},
        {"arrays beyond the limit", nested(JsonReaderMaxDepth + 1, "[", "]"), false},
        {"objects at the limit", objects(JsonReaderMaxDepth), true},
        {"objects beyond the limit", objects(JsonReaderMaxDepth + 1), false},
        {"very deep arrays", nested(1000000, "[", "]"), false},
        {"very deep objects", nested(300000, "{\"k\":", "}"), false},
        {"very deep and cut", QString(QLatin1String("[{\"a\":")).repeated(300000), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = !c.ok;
        QVariantJsonParse(c.text, ok);
        EXPECT_EQ(ok, c.ok);
    }
}

// ---------------------------------------------------------------- against QJsonDocument

class StrictJson {
public:
    explicit StrictJson(unsigned seed) : m_random(seed) {}

    QJsonValue Value(int depth)
    {
        const int kind = Pick(depth > 4 ? 4 : 6);
        switch (kind) {
        case 0: return QJsonValue(Pick(2) == 0);
        case 1: return QJsonValue(QJsonValue::Null);
        case 2: return QJsonValue(Text());
        case 3: return QJsonValue(Number());
        case 4: return QJsonValue(Object(depth + 1));
        default: return QJsonValue(Array(depth + 1));
        }
    }
    QJsonObject Object(int depth)
    {
        QJsonObject object;
        const int count = Pick(6);
        for (int i = 0; i < count; ++i)
            object.insert(Text(), Value(depth));
        return object;
    }
    QJsonArray Array(int depth)
    {
        QJsonArray array;
        const int count = Pick(6);
        for (int i = 0; i < count; ++i)
            array.append(Value(depth));
        return array;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    QString Text()
    {
        static const QString alphabet = QStringLiteral("abcXYZ019 _-\"\\/\b\f\n\r\t\x01\x1f\u00e9\u65e5\U0001F3B5");
        QString text;
        const int length = Pick(10);
        for (int i = 0; i < length; ++i) {
            int at = Pick(alphabet.size());
            if (alphabet.at(at).isLowSurrogate())
                --at;
            text.append(alphabet.at(at));
            if (alphabet.at(at).isHighSurrogate())
                text.append(alphabet.at(at + 1));
        }
        return text;
    }
    double Number()
    {
        // Integers within 32 bits, and eighths that print with a point and
        // without an exponent (a strict exponent-only number is text here).
        const qint64 whole = std::uniform_int_distribution<qint64>(-2147483648ll, 2147483647ll)(m_random);
        if (Pick(2) == 0)
            return static_cast<double>(whole);
        return static_cast<double>(whole % 1000000) + (1 + Pick(7)) / 8.0;
    }
    std::mt19937 m_random;
};

::testing::AssertionResult Agree(const QVariant& ours, const QJsonValue& theirs)
{
    switch (theirs.type()) {
    case QJsonValue::Null:
        return ours.isValid() ? ::testing::AssertionFailure() << "null became a value"
                              : ::testing::AssertionSuccess();
    case QJsonValue::Bool:
        return ours.userType() == QMetaType::Bool && ours.toBool() == theirs.toBool()
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "bool differs";
    case QJsonValue::String:
        return ours.userType() == QMetaType::QString && ours.toString() == theirs.toString()
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "string differs: " << ours.toString().toStdString();
    case QJsonValue::Double: {
        const double d = theirs.toDouble();
        const bool whole = d == static_cast<double>(static_cast<qint64>(d));
        const int expectedType = !whole ? QMetaType::Double : d < 0 ? QMetaType::Int : QMetaType::UInt;
        if (ours.userType() != expectedType || ours.toDouble() != d)
            return ::testing::AssertionFailure()
                   << "number " << d << " read as " << ours.typeName() << " " << ours.toString().toStdString();
        return ::testing::AssertionSuccess();
    }
    case QJsonValue::Array: {
        const QVariantList list = ours.toList();
        const QJsonArray array = theirs.toArray();
        if (ours.userType() != QMetaType::QVariantList || list.size() != array.size())
            return ::testing::AssertionFailure() << "array differs";
        for (int i = 0; i < array.size(); ++i) {
            auto inner = Agree(list.at(i), array.at(i));
            if (!inner)
                return inner;
        }
        return ::testing::AssertionSuccess();
    }
    case QJsonValue::Object: {
        const QVariantMap map = ours.toMap();
        const QJsonObject object = theirs.toObject();
        if (ours.userType() != QMetaType::QVariantMap || map.keys() != object.keys())
            return ::testing::AssertionFailure() << "object keys differ";
        for (auto it = object.begin(); it != object.end(); ++it) {
            auto inner = Agree(map.value(it.key()), it.value());
            if (!inner)
                return inner << " under " << it.key().toStdString();
        }
        return ::testing::AssertionSuccess();
    }
    default:
        return ::testing::AssertionFailure() << "unexpected type";
    }
}

TEST(JsonReaderTest, AgreesWithQJsonDocumentOnStrictJson)
{
    StrictJson generator(20240601u);
    for (int i = 0; i < 400; ++i) {
        SCOPED_TRACE(i);
        const QJsonDocument document = i % 2 ? QJsonDocument(generator.Object(0)) : QJsonDocument(generator.Array(0));
        const QByteArray text = document.toJson(i % 3 ? QJsonDocument::Compact : QJsonDocument::Indented);
        QJsonParseError error{};
        const QJsonDocument theirs = QJsonDocument::fromJson(text, &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError);
        bool ok = false;
        const QVariant ours = QVariantJsonParse(QString::fromUtf8(text), ok);
        ASSERT_TRUE(ok) << text.toStdString();
        const QJsonValue root = theirs.isObject() ? QJsonValue(theirs.object()) : QJsonValue(theirs.array());
        ASSERT_TRUE(Agree(ours, root)) << text.toStdString();
    }
}

} // namespace
