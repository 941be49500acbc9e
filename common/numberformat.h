#pragma once

#include <QString>

// printf-style fixed-point formatting ("%<width>.<precision>f") with the decimal separator of
// the default QLocale(): "0,00" under French settings. Width pads with blanks on the left.
QString formatFixed(long double value, int precision, int width = 1);

// The three formats the program uses.
inline QString format1_2f(long double v)
{
    return formatFixed(v, 2, 1);
}
inline QString format1_1f(long double v)
{
    return formatFixed(v, 1, 1);
}
inline QString format3_1f(long double v)
{
    return formatFixed(v, 1, 3);
}

// The locale's decimal separator as one character ("," or ".").
QChar decimalSeparator();
