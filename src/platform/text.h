#pragma once
// Small text helpers shared by every module: bounded copies into the fixed-size
// Latin-1 fields of stored records, locale-independent number formatting and
// parsing, and the Latin-1 to UTF-8 conversion used at the output edges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Copies src into a fixed-size field, cutting it to size - 1 bytes and always
// terminating it. The rest of the field is zero-filled so that stored records
// never carry stale bytes.
void Text_CopyN(char* dst, std::size_t size, std::string_view src);

template <std::size_t N>
inline void Text_Copy(char (&dst)[N], std::string_view src) { Text_CopyN(dst, N, src); }

// Length of a possibly unterminated fixed-size field.
std::size_t Text_FieldLength(const char* field, std::size_t size);

template <std::size_t N>
inline std::string_view Text_View(const char (&field)[N]) { return {field, Text_FieldLength(field, N)}; }

// "%.<decimals>f" in the C locale, whatever the process locale is.
std::string Text_FormatFixed(double value, int decimals);
// Appends the same to out; returns the number of characters written.
std::size_t Text_AppendFixed(std::string& out, double value, int decimals);

// printf-style formatting that always uses the C locale for numbers.
std::string Text_Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Bounded printf-style formatting into a fixed field (C locale); cut like Text_CopyN.
int Text_FormatInto(char* dst, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Parses a whole text (leading/trailing blanks allowed) as a double in the C locale.
bool Text_ParseDouble(std::string_view text, double& value);
bool Text_ParseInt(std::string_view text, long long& value);
// The number at the start of a text, as strtod would read it in the C locale
// ("-50.3 dBm" is -50.3); false when the text does not start with one.
bool Text_ParseLeadingDouble(std::string_view text, double& value);

// True when the bytes are well-formed UTF-8 (names from the disk or the
// command line may be UTF-8 or Latin-1).
bool Text_IsUtf8(std::string_view text);
// Latin-1 bytes to UTF-8 (every byte >= 0x80 becomes two bytes).
std::string Text_Latin1ToUtf8(std::string_view latin1);
// Appends the same to out, without a temporary (the per-sample paths of the exports).
void Text_AppendLatin1AsUtf8(std::string& out, std::string_view latin1);
// UTF-8 to Latin-1; characters outside Latin-1 become '?'. Invalid sequences pass byte by byte.
std::string Text_Utf8ToLatin1(std::string_view utf8);
