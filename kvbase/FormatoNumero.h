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

double Arredondar(std::uint8_t precisao, double valor);
std::string FormatarNumero(std::uint8_t precisao, bool milhar, double valor,
                           const SeparadoresNumero& separadores);
std::string FormatarNumeroTexto(const std::string& texto, std::uint8_t precisao, bool milhar,
                                const SeparadoresNumero& separadores);
char32_t FiltrarTeclaValor(char32_t tecla);
char32_t FiltrarTeclaNumero(char32_t tecla);

}  // namespace formato
