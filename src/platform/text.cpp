#include "platform/text.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

// A per-thread switch to the C locale for printf-family calls; uselocale only
// affects the calling thread, so other threads and the UI keep their locale.
class CLocaleScope {
public:
    CLocaleScope() {
        static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        previous_ = uselocale(cLocale);
    }
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

}  // namespace

void Text_CopyN(char* dst, std::size_t size, std::string_view src) {
    if (size == 0) return;
    std::size_t n = src.size() < size - 1 ? src.size() : size - 1;
    std::memcpy(dst, src.data(), n);
    std::memset(dst + n, 0, size - n);
}

std::size_t Text_FieldLength(const char* field, std::size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size;
}

std::size_t Text_AppendFixed(std::string& out, double value, int decimals) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) {
        // Only values beyond 1e300 can get here; fall back to the bounded printf.
        std::string s = Text_Format("%.*f", decimals, value);
        out += s;
        return s.size();
    }
    std::size_t n = static_cast<std::size_t>(res.ptr - buf);
    out.append(buf, n);
    return n;
}

std::string Text_FormatFixed(double value, int decimals) {
    std::string s;
    Text_AppendFixed(s, value, decimals);
    return s;
}

std::string Text_Format(const char* format, ...) {
    CLocaleScope c;
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    std::string out;
    if (n < 0) {
        va_end(ap2);
        return out;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, ap2);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(ap2);
    return out;
}

int Text_FormatInto(char* dst, std::size_t size, const char* format, ...) {
    CLocaleScope c;
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(dst, size, format, ap);
    va_end(ap);
    if (size > 0) {
        std::size_t used = std::strlen(dst);
        std::memset(dst + used, 0, size - used);
    }
    return n;
}

bool Text_ParseDouble(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    double v = 0.0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars refuses under- and overflow; the printf family gives +-HUGE_VAL or 0.
        std::string copy(text);
        CLocaleScope c;
        char* end = nullptr;
        v = std::strtod(copy.c_str(), &end);
        if (end != copy.c_str() + copy.size()) return false;
        value = v;
        return true;
    }
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
    value = v;
    return true;
}

bool Text_ParseInt(std::string_view text, long long& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    long long v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
    value = v;
    return true;
}

bool Text_ParseLeadingDouble(std::string_view text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    double v = 0.0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        std::string copy(text);
        CLocaleScope c;
        v = std::strtod(copy.c_str(), nullptr);
    } else if (res.ec != std::errc()) {
        return false;
    }
    value = v;
    return true;
}

bool Text_IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) return false;
        i += 1 + static_cast<std::size_t>(extra);
    }
    return true;
}

std::string Text_Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + 8);
    Text_AppendLatin1AsUtf8(out, latin1);
    return out;
}

void Text_AppendLatin1AsUtf8(std::string& out, std::string_view latin1) {
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

std::string Text_Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        bool valid = extra > 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        unsigned long cp = 0;
        if (valid) {
            cp = c & (0x3F >> extra);
            for (int k = 1; k <= extra; ++k) {
                unsigned char cc = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
                if ((cc & 0xC0) != 0x80) {
                    valid = false;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        if (!valid) {
            out.push_back(static_cast<char>(c));  // not UTF-8: take the byte as Latin-1
            continue;
        }
        out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += static_cast<std::size_t>(extra);
    }
    return out;
}
