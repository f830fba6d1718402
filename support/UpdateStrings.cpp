#include "UpdateStrings.h"

#include <cctype>
#include <cwchar>
#include <sstream>

std::string WideToUtf8(const std::wstring& text)
{
    // The local encoding is UTF-8, so the wide-to-local conversion is this one.
    return WideToAnsi(text);
}

std::wstring Utf8ToWide(const std::string& text)
{
    return AnsiToWide(text);
}

std::string& ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> SplitString(const std::string& text, char separator, bool skipEmpty)
{
    std::vector<std::string> fields;
    std::istringstream in(text);
    std::string field;
    while (std::getline(in, field, separator)) {
        if (skipEmpty && field.empty())
            continue;
        fields.push_back(field);
    }
    return fields;
}

std::string VersionFieldNumber(const std::string& field, bool wholeField)
{
    size_t i = 0;
    while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i])))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    const size_t digitsStart = i;
    while (i < field.size() && std::isdigit(static_cast<unsigned char>(field[i])))
        ++i;
    const size_t digitsEnd = i;
    if (wholeField) {
        while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i])))
            ++i;
        if (digitsStart == digitsEnd || i != field.size())
            return "0";
    }
    size_t first = digitsStart;
    while (first < digitsEnd && field[first] == '0')
        ++first;
    if (first == digitsEnd)
        return "0";
    std::string number = field.substr(first, digitsEnd - first);
    return negative ? "-" + number : number;
}

int CompareDecimalNumbers(const std::string& a, const std::string& b)
{
    const bool negativeA = !a.empty() && a[0] == '-';
    const bool negativeB = !b.empty() && b[0] == '-';
    if (negativeA != negativeB)
        return negativeA ? -1 : 1;
    const std::string& digitsA = negativeA ? a.substr(1) : a;
    const std::string& digitsB = negativeB ? b.substr(1) : b;
    int order = 0;
    if (digitsA.size() != digitsB.size())
        order = digitsA.size() < digitsB.size() ? -1 : 1;
    else if (digitsA != digitsB)
        order = digitsA < digitsB ? -1 : 1;
    return negativeA ? -order : order;
}

int CompareVersionString(const std::string& a, const std::string& b)
{
    if (a == b)
        return 0;
    const std::vector<std::string> fieldsA = SplitString(a, '.', false);
    const std::vector<std::string> fieldsB = SplitString(b, '.', false);
    const size_t common = std::min(fieldsA.size(), fieldsB.size());
    for (size_t i = 0; i < common; ++i) {
        const int order = CompareDecimalNumbers(VersionFieldNumber(fieldsA[i], false),
                                                VersionFieldNumber(fieldsB[i], false));
        if (order != 0)
            return order;
    }
    return fieldsA.size() >= fieldsB.size() ? 1 : -1;
}
