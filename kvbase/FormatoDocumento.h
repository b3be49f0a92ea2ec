#pragma once
// Brazilian document and contact formats: postal code, phone, CNPJ/CPF, free-text cleanup.
// Pure functions over UTF-8 texts; a digit is one of the ASCII characters 0 to 9, every other
// character (every non-ASCII one included) a non-digit.

#include <cstdint>
#include <string>

namespace formato {

// The digits of the text in order; with none, "" when vazioSeNenhum, else "0".
std::string SomenteNumeros(const std::string& texto, bool vazioSeNenhum);

// Value of SomenteNumeros(texto, false). Throws EConvertError ("\"<digits>\" is an invalid
// integer") when it exceeds 2147483647.
std::int32_t NumeroInteiro(const std::string& texto);

// "00000-000": zero-padded to eight digits, extra leading digits kept in front.
std::string FormatarCEP(std::int32_t cep);

// "1234-5678", "91234-5678", "(11) 3333-4444" or "(11) 98765-4321" by the count of digits
// (a leading long-distance 0 dropped); numbers starting 0800 come back exactly as given; any
// other count gives "". Never throws.
std::string FormatarFone(const std::string& texto);

// "12.312.312/0001-10" for 14 digits, "123.123.123-87" for 11, "" otherwise. Never throws.
std::string FormatarCNPJCPF(const std::string& texto);

// Whether the digits form a CNPJ (14) or CPF (11) with correct check digits; a CPF whose first
// nine digits are all equal is refused. A text without digits is valid only when permiteVazio.
bool ValidarCNPJCPF(const std::string& texto, bool permiteVazio);

// Trims characters up to 32 from both ends once, removes ~ ^ º ´ ` " ¨ and line feeds, turns
// ª into A and & into E, halves runs of spaces in one pass (three become two) and, when
// maiusculas, upper-cases a to z only (accented letters keep their case). Also the cleanup of a
// single typed character in the type-ahead search of the base form.
std::string LimparTexto(const std::string& texto, bool maiusculas);

// The text with "a" to "z" turned into "A" to "Z"; no other character changes.
std::string MaiusculasAscii(std::string texto);

}  // namespace formato
