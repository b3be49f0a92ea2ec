#include "FormatoDocumento.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "Erros.h"

namespace formato {

namespace {

bool Digito(char c) {
  return c >= '0' && c <= '9';
}

// The digits the formats work on: the placeholder "0" of a text without digits counts as none.
std::string Digitos(const std::string& texto) {
  std::string d = SomenteNumeros(texto, false);
  if (d == "0") d.clear();
  return d;
}

// d(de, ate) of the layouts: digits at positions de to ate, counted from 1.
std::string_view Trecho(std::string_view d, std::size_t de, std::size_t ate) {
  return d.substr(de - 1, ate - de + 1);
}

std::string Juntar(std::initializer_list<std::string_view> partes) {
  std::string r;
  for (std::string_view p : partes) r += p;
  return r;
}

// Weighted sum modulo 11 of the first pesos.size() digits of d.
template <std::size_t N>
int RestoPonderado(std::string_view d, const std::array<int, N>& pesos) {
  int soma = 0;
  for (std::size_t i = 0; i < N; ++i) soma += (d[i] - '0') * pesos[i];
  return soma % 11;
}

constexpr std::array<int, 12> kPesosCNPJ1{5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr std::array<int, 13> kPesosCNPJ2{6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr std::array<int, 9> kPesosCPF1{10, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr std::array<int, 10> kPesosCPF2{11, 10, 9, 8, 7, 6, 5, 4, 3, 2};

template <std::size_t N>
char DigitoCNPJ(std::string_view d, const std::array<int, N>& pesos) {
  const int r = RestoPonderado(d, pesos);
  return static_cast<char>('0' + (r < 2 ? 0 : 11 - r));
}

template <std::size_t N>
char DigitoCPF(std::string_view d, const std::array<int, N>& pesos) {
  // (s * 10) mod 11 equals (10 * (s mod 11)) mod 11.
  const int r = RestoPonderado(d, pesos) * 10 % 11;
  return static_cast<char>('0' + (r == 10 ? 0 : r));
}

bool ValidarCNPJ(const std::string& d) {
  std::string calculado = d.substr(0, 12);
  calculado += DigitoCNPJ(calculado, kPesosCNPJ1);
  calculado += DigitoCNPJ(calculado, kPesosCNPJ2);
  return calculado == d;
}

bool ValidarCPF(const std::string& d) {
  if (d.find_first_not_of(d[0]) >= 9) return false;
  std::string calculado = d.substr(0, 9);
  calculado += DigitoCPF(calculado, kPesosCPF1);
  calculado += DigitoCPF(calculado, kPesosCPF2);
  return calculado == d;
}

// One left-to-right pass without overlaps: what a replacement inserts is never scanned again.
void SubstituirTodos(std::string& texto, std::string_view de, std::string_view por) {
  std::string r;
  r.reserve(texto.size());
  std::size_t inicio = 0;
  for (std::size_t achado; (achado = texto.find(de, inicio)) != std::string::npos;
       inicio = achado + de.size()) {
    r.append(texto, inicio, achado - inicio);
    r += por;
  }
  r.append(texto, inicio);
  texto = std::move(r);
}

struct Substituicao {
  std::string_view de;
  std::string_view por;
};

// Spaces are halved last, so the gaps that the removals leave are halved as well.
constexpr std::array<Substituicao, 11> kSubstituicoes{{
    {"~", ""},
    {"^", ""},
    {"\u00AA", "A"},  // ª
    {"\u00BA", ""},   // º
    {"\u00B4", ""},   // ´
    {"`", ""},
    {"\"", ""},
    {"\u00A8", ""},  // ¨
    {"&", "E"},
    {"\n", ""},
    {"  ", " "},
}};

// Every byte of a multi-byte UTF-8 character is 0x80 or above, so byte tests on ASCII are safe.
bool Branco(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

std::string SomenteNumeros(const std::string& texto, bool vazioSeNenhum) {
  std::string d;
  for (char c : texto)
    if (Digito(c)) d += c;
  if (d.empty() && !vazioSeNenhum) d.push_back('0');
  return d;
}

std::int32_t NumeroInteiro(const std::string& texto) {
  const std::string d = SomenteNumeros(texto, false);
  std::int64_t valor = 0;
  for (char c : d) {
    valor = valor * 10 + (c - '0');
    if (valor > INT32_MAX) throw EConvertError("\"" + d + "\" is an invalid integer");
  }
  return static_cast<std::int32_t>(valor);
}

std::string FormatarCEP(std::int32_t cep) {
  // Widened first: the magnitude of INT32_MIN does not fit in 32 bits.
  const std::int64_t valor = cep;
  std::string d = std::to_string(valor < 0 ? -valor : valor);
  if (d.size() < 8) d.insert(0, 8 - d.size(), '0');
  d.insert(d.size() - 3, 1, '-');
  return valor < 0 ? "-" + d : d;
}

std::string FormatarFone(const std::string& texto) {
  const std::string d = Digitos(texto);
  // Toll-free numbers are written in too many ways to impose one.
  if (d.starts_with("0800")) return texto;
  switch (d.size()) {
    case 8:
      return Juntar({Trecho(d, 1, 4), "-", Trecho(d, 5, 8)});
    case 9:
      return Juntar({Trecho(d, 1, 5), "-", Trecho(d, 6, 9)});
    case 10:
      return Juntar({"(", Trecho(d, 1, 2), ") ", Trecho(d, 3, 6), "-", Trecho(d, 7, 10)});
    case 11:
      if (d[0] == '0')  // long-distance prefix before a land line
        return Juntar({"(", Trecho(d, 2, 3), ") ", Trecho(d, 4, 7), "-", Trecho(d, 8, 11)});
      return Juntar({"(", Trecho(d, 1, 2), ") ", Trecho(d, 3, 7), "-", Trecho(d, 8, 11)});
    case 12:
      return Juntar({"(", Trecho(d, 2, 3), ") ", Trecho(d, 4, 8), "-", Trecho(d, 9, 12)});
    default:
      return {};
  }
}

std::string FormatarCNPJCPF(const std::string& texto) {
  const std::string d = Digitos(texto);
  if (d.size() == 14)
    return Juntar({Trecho(d, 1, 2), ".", Trecho(d, 3, 5), ".", Trecho(d, 6, 8), "/",
                   Trecho(d, 9, 12), "-", Trecho(d, 13, 14)});
  if (d.size() == 11)
    return Juntar(
        {Trecho(d, 1, 3), ".", Trecho(d, 4, 6), ".", Trecho(d, 7, 9), "-", Trecho(d, 10, 11)});
  return {};
}

bool ValidarCNPJCPF(const std::string& texto, bool permiteVazio) {
  const std::string d = Digitos(texto);
  if (d.empty()) return permiteVazio;
  if (d.size() == 14) return ValidarCNPJ(d);
  if (d.size() == 11) return ValidarCPF(d);
  return false;
}

std::string LimparTexto(const std::string& texto, bool maiusculas) {
  std::size_t inicio = 0;
  std::size_t fim = texto.size();
  while (inicio < fim && Branco(texto[inicio])) ++inicio;
  while (fim > inicio && Branco(texto[fim - 1])) --fim;
  std::string r = texto.substr(inicio, fim - inicio);

  for (const Substituicao& s : kSubstituicoes) SubstituirTodos(r, s.de, s.por);

  return maiusculas ? MaiusculasAscii(std::move(r)) : r;
}

std::string MaiusculasAscii(std::string texto) {
  for (char& c : texto)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return texto;
}

}  // namespace formato
