// Numbers as text with a '.' decimal point whatever the locale, for the
// readouts and the CSV export: std::to_chars never consults the locale, and
// it is fast enough for a 551 x 280 export. Rounding is to nearest, exactly
// (the decimal that is closest to the double). A value that rounds to zero
// shows no minus sign; infinities read "inf" and "-inf", NaN "nan".
#ifndef KELVARA_DECIMAL_TEXT_H
#define KELVARA_DECIMAL_TEXT_H

#include <string>

// Appends `value` with `decimals` digits after the point (0..17).
void appendFixed(std::string& out, double value, int decimals);
void appendFixed(std::wstring& out, double value, int decimals);

std::string fixedText(double value, int decimals);
std::wstring fixedWideText(double value, int decimals);

#endif
