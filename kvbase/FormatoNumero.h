#pragma once
// Rounding and formatting of numbers with a fixed count of decimals. Pure functions of their
// arguments; the separators come from the caller (the user's locale).

#include <cstdint>
#include <string>

namespace formato {

struct SeparadoresNumero {
  std::string decimal = ",";
  std::string milhar = ".";
};

// `valor` rounded to `precisao` decimals: the quotient by the binary64 nearest 10^-precisao,
// taken in 80-bit extended precision, rounded to an integer with ties to even, multiplied
// back. Never gives -0. Throws EKVErro "Não é permitido precisão para arrendoamento maior
// que 10!" for a precision above 10 and EInvalidOp when the integer lies outside the signed
// 64-bit range (from 2^63 × 10^-precisao upward, and for NaN and infinities).
double Arredondar(std::uint8_t precisao, double valor);

// The rounded value through the precision's mask ("#0.00", or "#,###,##0.00" with `milhar`),
// with the given separators. A value that cannot be rounded gives the precision's fixed zero
// text ("0,00", with a comma whatever the separators). Throws EKVErro for a precision above 10
// and, for precisions 0 to 4, EInvalidOp when the value does not fit the fixed-point amount
// of ten-thousandths (from about 9,22 × 10^14 upward).
std::string FormatarNumero(std::uint8_t precisao, bool milhar, double valor,
                           const SeparadoresNumero& separadores);

// FormatarNumero of the number the text holds: blanks at the ends ignored, an optional sign,
// digits with at most one decimal separator, an optional exponent. Any text that is not such a
// number, and any failure of the formatting, gives FormatarNumero of 0. Throws EKVErro only
// for a precision above 10.
std::string FormatarNumeroTexto(const std::string& texto, std::uint8_t precisao, bool milhar,
                                const SeparadoresNumero& separadores);

// The key to let through in an amount box: backspace, Enter, digits, comma and minus as they
// are, a point as a comma; 0 (dropped) for anything else.
char32_t FiltrarTeclaValor(char32_t tecla);
// The same for a whole-number box, where comma and minus are dropped but a point still
// arrives as a comma.
char32_t FiltrarTeclaNumero(char32_t tecla);

}  // namespace formato
