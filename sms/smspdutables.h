#pragma once

// The character tables of the GSM default alphabet, used by the PDU codec.

#include <QtGlobal>

namespace SmsPduTables {

constexpr quint8 Escape = 0x1B;
constexpr quint8 NoCode = 0xFF;

struct Pair
{
    quint8 code;
    char16_t ch;
};

// The 128 characters of the default alphabet by code; position 0x1B (the escape) holds none.
extern const char16_t DefaultAlphabet[128];
// Code after the escape, and its character.
extern const Pair Extension[10];
// Look-alike codes for characters outside the default alphabet, searched in order.
extern const Pair Substitution[216];
// Semi-octet digits 0-14 (15 is the filler).
extern const char16_t SemiOctetDigits[15];

// The default-alphabet code of ch, or NoCode (never 0x1B).
quint8 alphabetCode(char16_t ch);
// The look-alike code for ch, or NoCode.
quint8 substituteCode(char16_t ch);
// The code after the escape for ch, or NoCode.
quint8 extensionCode(char16_t ch);
// The character of an escaped code, or 0 when the code is not in the extension table.
char16_t extensionChar(quint8 code);
// The semi-octet of a digit character, or NoCode.
quint8 semiOctet(char16_t ch);

} // namespace SmsPduTables
