#include "core/base/DecimalText.h"

#include <charconv>
#include <cmath>

namespace {

// Writes into `text` (at least 64 chars) and returns the end. A value too
// large for 64 characters in fixed notation comes out in scientific notation.
char* formatFixed(char* text, double value, int decimals)
{
    char* const last = text + 64;
    if (!std::isfinite(value)) {
        // Spelt out: to_chars writes "-nan" for a NaN whose sign bit is set.
        const char* word = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        char* p = text;
        while (*word != '\0') *p++ = *word++;
        return p;
    }
    if (decimals < 0) decimals = 0;
    if (decimals > 17) decimals = 17;
    const std::to_chars_result result = std::to_chars(text, last, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return std::to_chars(text, last, value, std::chars_format::scientific).ptr;
    if (text[0] == '-') {
        // "-0.000": the minus belongs to a digit that was rounded away.
        bool allZero = true;
        for (const char* p = text + 1; p < result.ptr; ++p)
            if (*p != '0' && *p != '.') allZero = false;
        if (allZero) {
            for (char* p = text; p + 1 < result.ptr; ++p) *p = p[1];
            return result.ptr - 1;
        }
    }
    return result.ptr;
}

}  // namespace

void appendFixed(std::string& out, double value, int decimals)
{
    char text[80];
    out.append(text, formatFixed(text, value, decimals));
}

void appendFixed(std::wstring& out, double value, int decimals)
{
    char text[80];
    const char* end = formatFixed(text, value, decimals);
    out.append(static_cast<const char*>(text), end);
}

std::string fixedText(double value, int decimals)
{
    std::string out;
    appendFixed(out, value, decimals);
    return out;
}

std::wstring fixedWideText(double value, int decimals)
{
    std::wstring out;
    appendFixed(out, value, decimals);
    return out;
}
