#pragma once

// Text helpers of the update check. The "ANSI" texts of the update library
// are UTF-8 here; AnsiToUtf8, Utf8ToAnsi, AnsiToWide and WideToAnsi come from
// the log library's base (EngineUtils.h), which the program links anyway.

#include "EngineUtils.h"

#include <string>
#include <vector>

// UTF-8 and wide text (one code point per wchar_t); both end at the first NUL
// and stop at the first invalid sequence, keeping what came before.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Replaces every occurrence of `from`, resuming the search behind each
// inserted text (so a replacement that contains `from` is not replaced
// again). An empty `from` changes nothing.
std::string& ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// Fields of `text` between the separators. A trailing separator adds no empty
// field; empty fields inside stay unless skipEmpty is set.
std::vector<std::string> SplitString(const std::string& text, char separator, bool skipEmpty);

// Compares two versions field by field (fields split at "."; each counts as
// the number its leading digits make, 0 without digits). At the first
// differing field the greater number wins; when all common fields are equal,
// the version with at least as many fields counts as the greater one, so
// "1.0.0" > "1.0" and "1.0" < "1.0.0". Identical texts give 0. Numbers of any
// length compare exactly.
int CompareVersionString(const std::string& a, const std::string& b);

// The number a version field stands for, as a canonical decimal text ("-"
// sign only for non-zero values, no leading zeros): wholeField false reads
// like atoi (leading blanks, a sign, then digits up to the first other
// character); wholeField true accepts only blanks, a sign and digits and
// gives "0" for anything else (like QString::toInt, but without a range).
std::string VersionFieldNumber(const std::string& field, bool wholeField);
// -1, 0 or 1 for two texts made by VersionFieldNumber.
int CompareDecimalNumbers(const std::string& a, const std::string& b);
