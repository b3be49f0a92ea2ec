#include "FormatoNumero.h"

#include "Erros.h"

namespace formato {

double Arredondar(std::uint8_t, double) { throw EKVErro("Arredondar: not available yet"); }
std::string FormatarNumero(std::uint8_t, bool, double, const SeparadoresNumero&) {
  throw EKVErro("FormatarNumero: not available yet");
}
std::string FormatarNumeroTexto(const std::string&, std::uint8_t, bool, const SeparadoresNumero&) {
  throw EKVErro("FormatarNumeroTexto: not available yet");
}
char32_t FiltrarTeclaValor(char32_t) { throw EKVErro("FiltrarTeclaValor: not available yet"); }
char32_t FiltrarTeclaNumero(char32_t) { throw EKVErro("FiltrarTeclaNumero: not available yet"); }

}  // namespace formato
