#include "JsonReader.h"

#include <QVariantList>
#include <QVariantMap>

namespace {

enum Token {
    kNone = 0,
    kObjectBegin = 1,
    kObjectEnd = 2,
    kArrayBegin = 3,
    kArrayEnd = 4,
    kColon = 5,
    kComma = 6,
    kString = 7,
    kNumber = 8,
    kTrue = 9,
    kFalse = 10,
    kNull = 11,
};

// One call's state: the text, the position (in UTF-16 code units) that every
// step advances, the shared success flag and the current nesting depth.
class Reader {
public:
    Reader(const QString& text, bool& ok) : m_text(text), m_length(text.size()), m_ok(ok) {}

    QVariant ReadValue()
    {
        switch (LookAhead()) {
        case kObjectBegin:
        case kArrayBegin:
            if (m_depth >= JsonReaderMaxDepth) {
                m_ok = false;
                return QVariant();
            }
            return LookAhead() == kObjectBegin ? ReadObject() : ReadArray();
        case kString:
            return ReadString();
        case kNumber:
            return ReadNumber();
        case kTrue:
            NextToken(m_position);
            return true;
        case kFalse:
            NextToken(m_position);
            return false;
        case kNull:
            NextToken(m_position);
            return QVariant();
        default:
            m_ok = false;
            return QVariant();
        }
    }

private:
    void SkipBlanks(int& position) const
    {
        while (position < m_length) {
            const ushort c = m_text.at(position).unicode();
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            ++position;
        }
    }

    bool WordAt(int position, QLatin1String word) const
    {
        return m_length - position >= word.size() && m_text.midRef(position, word.size()) == word;
    }

    int NextToken(int& position) const
    {
        SkipBlanks(position);
        if (position >= m_length)
            return kNone;
        const ushort c = m_text.at(position).unicode();
        ++position;
        switch (c) {
        case '{': return kObjectBegin;
        case '}': return kObjectEnd;
        case '[': return kArrayBegin;
        case ']': return kArrayEnd;
        case ':': return kColon;
        case ',': return kComma;
        case '"': return kString;
        case '-':
        case '0': case '1': case '2': case '3': case '4':
        case '5': case '6': case '7': case '8': case '9':
            return kNumber;
        default:
            break;
        }
        --position;
        if (WordAt(position, QLatin1String("true"))) {
            position += 4;
            return kTrue;
        }
        if (WordAt(position, QLatin1String("false"))) {
            position += 5;
            return kFalse;
        }
        if (WordAt(position, QLatin1String("null"))) {
            position += 4;
            return kNull;
        }
        return kNone;
    }

    int LookAhead() const
    {
        int copy = m_position;
        return NextToken(copy);
    }

    // An object or an array: commas anywhere between entries are skipped,
    // `closer` ends it, the end of the text fails it; `readEntry` reads one
    // member or element into the container and tells whether it could.
    template <typename Container, typename ReadEntry>
    QVariant ReadContainer(int closer, ReadEntry readEntry)
    {
        NextToken(m_position);
        ++m_depth;
        Container container;
        bool complete = false;
        for (;;) {
            const int token = LookAhead();
            if (token == kNone) {
                m_ok = false;
                break;
            }
            if (token == kComma) {
                NextToken(m_position);
                continue;
            }
            if (token == closer) {
                NextToken(m_position);
                complete = true;
                break;
            }
            if (!readEntry(container))
                break;
        }
        --m_depth;
        return complete ? QVariant(container) : QVariant(Container());
    }

    QVariant ReadObject()
    {
        return ReadContainer<QVariantMap>(kObjectEnd, [this](QVariantMap& map) {
            // The key is read as a string whatever the token was.
            const QString key = ReadString().toString();
            if (!m_ok)
                return false;
            if (NextToken(m_position) != kColon) {
                m_ok = false;
                return false;
            }
            const QVariant value = ReadValue();
            if (!m_ok)
                return false;
            map.insert(key, value);
            return true;
        });
    }

    QVariant ReadArray()
    {
        return ReadContainer<QVariantList>(kArrayEnd, [this](QVariantList& list) {
            const QVariant value = ReadValue();
            if (!m_ok)
                return false;
            list.append(value);
            return true;
        });
    }

    QVariant ReadString()
    {
        SkipBlanks(m_position);
        ++m_position;   // the opening quote, whatever it is
        QString text;
        while (m_position < m_length) {
            const QChar c = m_text.at(m_position++);
            if (c == QLatin1Char('"'))
                return text;
            if (c != QLatin1Char('\\')) {
                text.append(c);
                continue;
            }
            if (m_position >= m_length)
                break;
            const QChar escaped = m_text.at(m_position++);
            switch (escaped.unicode()) {
            case '"':
            case '\\':
            case '/':
                text.append(escaped);
                break;
            case 'b': text.append(QChar(8)); break;
            case 'f': text.append(QChar(12)); break;
            case 'n': text.append(QChar(10)); break;
            case 'r': text.append(QChar(13)); break;
            case 't': text.append(QChar(9)); break;
            case 'u':
                if (m_length - m_position < 4) {
                    m_position = m_length;
                    break;
                }
                // An invalid number counts as 0.
                text.append(QChar(m_text.midRef(m_position, 4).toUShort(nullptr, 16)));
                m_position += 4;
                break;
            default:
                break;   // an unknown escape is dropped with its backslash
            }
        }
        m_ok = false;
        return QVariant();
    }

    QVariant ReadNumber()
    {
        SkipBlanks(m_position);
        const int start = m_position;
        while (m_position < m_length) {
            const ushort c = m_text.at(m_position).unicode();
            if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
                break;
            ++m_position;
        }
        const QString number = m_text.mid(start, m_position - start);
        bool converted = false;
        if (number.contains(QLatin1Char('.')))
            return number.toDouble();   // 0 when it does not convert
        if (number.startsWith(QLatin1Char('-'))) {
            const int i = number.toInt(&converted);
            if (converted)
                return i;
            const qlonglong ll = number.toLongLong(&converted);
            if (converted)
                return ll;
            return number;
        }
        const uint u = number.toUInt(&converted);
        if (converted)
            return u;
        const qulonglong ull = number.toULongLong(&converted);
        if (converted)
            return ull;
        return number;
    }

    const QString& m_text;
    const int m_length;
    bool& m_ok;
    int m_position = 0;
    int m_depth = 0;
};

} // namespace

QVariant QVariantJsonParse(const QString& json, bool& ok)
{
    ok = true;
    if (json.isNull())
        return QVariant();
    Reader reader(json, ok);
    return reader.ReadValue();
}
