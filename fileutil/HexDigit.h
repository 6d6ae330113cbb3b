#pragma once

// The value of one hexadecimal digit in either case, or -1. For byte texts
// (settings values, rich text escapes), where no locale may take part.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
