#include "FormatoNumero.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Erros.h"

// The rounding is defined by 80-bit x87 arithmetic; MSVC's long double is only binary64.
static_assert(LDBL_MANT_DIG == 64, "long double must be the 80-bit extended type");

namespace formato {

namespace {

constexpr const char* kErroPrecisao = "Não é permitido precisão para arrendoamento maior que 10!";
constexpr std::uint8_t kPrecisaoMaxima = 10;
constexpr std::uint8_t kPrecisaoMaximaCentavos = 4;  // up to here the fixed-point amount
constexpr long double k2a63 = 9223372036854775808.0L;
constexpr int kDigitosSignificativos = 18;

constexpr const char* kZeros[] = {"0",          "0,0",         "0,00",        "0,000",
                                  "0,0000",     "0,00000",     "0,000000",    "0,0000000",
                                  "0,00000000", "0,000000000", "0,0000000000"};
constexpr const char* kMascaras[] = {"#0",          "#0.0",         "#0.00",        "#0.000",
                                     "#0.0000",     "#0.00000",     "#0.000000",    "#0.0000000",
                                     "#0.00000000", "#0.000000000", "#0.0000000000"};
constexpr const char* kMascarasMilhar[] = {
    "#,###,##0",          "#,###,##0.0",         "#,###,##0.00",        "#,###,##0.000",
    "#,###,##0.0000",     "#,###,##0.00000",     "#,###,##0.000000",    "#,###,##0.0000000",
    "#,###,##0.00000000", "#,###,##0.000000000", "#,###,##0.0000000000"};

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// Extended precision and rounding to nearest for the x87 unit while a rounding runs: a library
// or a runtime that left it at 53 bits would otherwise change the results.
class TModoExtendido {
 public:
  TModoExtendido() {
    __asm__ volatile("fnstcw %0" : "=m"(FAnterior));
    const std::uint16_t modo = static_cast<std::uint16_t>((FAnterior & ~0x0F00u) | 0x0300u);
    __asm__ volatile("fldcw %0" : : "m"(modo) : "memory");
  }
  ~TModoExtendido() { __asm__ volatile("fldcw %0" : : "m"(FAnterior) : "memory"); }
  TModoExtendido(const TModoExtendido&) = delete;
  TModoExtendido& operator=(const TModoExtendido&) = delete;

 private:
  std::uint16_t FAnterior = 0;
};
#define KV_SEM_INLINE __attribute__((noinline))
#else
struct TModoExtendido {};
#define KV_SEM_INLINE
#endif

EInvalidOp OperacaoInvalida() {
  return EInvalidOp("Invalid floating point operation");
}

// Ties to even, by hand, so the result does not hang on the unit's rounding mode.
std::int64_t InteiroMaisProximo(long double q) {
  if (!(q >= -k2a63 && q < k2a63)) throw OperacaoInvalida();
  long double piso = std::floor(q);
  const long double resto = q - piso;  // exact below 2^63
  if (resto > 0.5L || (resto == 0.5L && std::fmod(piso, 2.0L) != 0)) piso += 1;
  if (piso >= k2a63) throw OperacaoInvalida();
  return static_cast<std::int64_t>(piso);
}

// The binary64 nearest 10^-n, from the extended quotient.
long double Passo(std::uint8_t n) {
  long double potencia = 1;
  for (std::uint8_t i = 0; i < n; ++i) potencia *= 10;
  return static_cast<double>(1.0L / potencia);
}

// Out of line so that none of its arithmetic is moved ahead of the mode switch.
KV_SEM_INLINE double ArredondarEstendido(std::uint8_t precisao, double valor) {
  if (precisao == 0) return static_cast<double>(InteiroMaisProximo(valor));
  const long double passo = Passo(precisao);
  const std::int64_t n = InteiroMaisProximo(static_cast<long double>(valor) / passo);
  return static_cast<double>(static_cast<long double>(n) * passo);
}

KV_SEM_INLINE long double ValorCentavos(double arredondado) {
  const std::int64_t quantia = InteiroMaisProximo(static_cast<long double>(arredondado) * 10000);
  return static_cast<long double>(quantia) / 10000;
}

struct Mascara {
  int decimais = 0;
  int minimoInteiro = 0;
  bool agrupar = false;

  explicit Mascara(const std::string& texto) {
    const auto ponto = texto.find('.');
    const std::string inteira = texto.substr(0, ponto);
    for (char c : inteira) {
      if (c == '0') ++minimoInteiro;
      if (c == ',') agrupar = true;
    }
    if (ponto != std::string::npos) decimais = static_cast<int>(texto.size() - ponto - 1);
  }
};

void SomarUm(std::string& digitos) {
  for (auto i = digitos.size(); i-- > 0;) {
    if (digitos[i] != '9') {
      ++digitos[i];
      return;
    }
    digitos[i] = '0';
  }
  digitos.insert(digitos.begin(), '1');
}

// The value's first 18 significant digits, rounded half away from zero at the mask's last
// decimal: the 18 digits carry the value, the mask only drops binary noise.
std::string Renderizar(long double valor, const Mascara& m, const SeparadoresNumero& s) {
  char texto[64];
#if defined(__MINGW32__)
  __mingw_snprintf(texto, sizeof texto, "%.*Le", kDigitosSignificativos - 1, valor);
#else
  std::snprintf(texto, sizeof texto, "%.*Le", kDigitosSignificativos - 1, valor);
#endif
  const bool negativo = texto[0] == '-';
  const char* p = texto + (negativo ? 1 : 0);
  std::string significativos;
  for (; *p && *p != 'e'; ++p) {
    if (*p != '.') significativos += *p;
  }
  const int expoente = *p ? std::atoi(p + 1) : 0;

  const int guardados = expoente + 1 + m.decimais;  // digits down to the mask's last decimal
  std::string n;
  if (guardados < 0) {
    n = "0";
  } else if (guardados >= kDigitosSignificativos) {
    n = significativos +
        std::string(static_cast<std::size_t>(guardados) - significativos.size(), '0');
  } else {
    n = guardados == 0 ? "0" : significativos.substr(0, static_cast<std::size_t>(guardados));
    if (significativos[static_cast<std::size_t>(guardados)] >= '5') SomarUm(n);
  }

  const auto largura = static_cast<std::size_t>(m.decimais + std::max(m.minimoInteiro, 1));
  if (n.size() < largura) n.insert(0, largura - n.size(), '0');
  std::string inteira = n.substr(0, n.size() - static_cast<std::size_t>(m.decimais));
  const std::string fracao = n.substr(inteira.size());
  const auto significativo = inteira.find_first_not_of('0');
  const auto minimo = static_cast<std::size_t>(m.minimoInteiro);
  inteira.erase(0, std::min(significativo == std::string::npos ? inteira.size() : significativo,
                            inteira.size() > minimo ? inteira.size() - minimo : 0));

  std::string resultado;
  if (negativo && n.find_first_not_of('0') != std::string::npos) resultado += '-';
  for (std::size_t i = 0; i < inteira.size(); ++i) {
    if (m.agrupar && i > 0 && (inteira.size() - i) % 3 == 0) resultado += s.milhar;
    resultado += inteira[i];
  }
  if (m.decimais > 0) resultado += s.decimal + fracao;
  return resultado;
}

bool Branco(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool Digito(char c) {
  return c >= '0' && c <= '9';
}

// Decimal text with the given separators into the nearest binary64; false when it is none.
bool LerNumero(const std::string& texto, const SeparadoresNumero& s, double& valor) {
  std::size_t inicio = 0, fim = texto.size();
  while (inicio < fim && Branco(texto[inicio])) ++inicio;
  while (fim > inicio && Branco(texto[fim - 1])) --fim;
  const std::string t = texto.substr(inicio, fim - inicio);
  if (!s.milhar.empty() && s.milhar != s.decimal && t.find(s.milhar) != std::string::npos) {
    return false;
  }
  if (s.decimal != "." && t.find('.') != std::string::npos) return false;

  std::string normal;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') normal += '-';
    ++i;
  }
  std::size_t digitos = 0;
  const auto copiarDigitos = [&] {
    std::size_t n = 0;
    for (; i < t.size() && Digito(t[i]); ++i, ++n) normal += t[i];
    return n;
  };
  normal += '0';  // so that ",5" reads as 0.5
  digitos += copiarDigitos();
  if (!s.decimal.empty() && t.compare(i, s.decimal.size(), s.decimal) == 0) {
    i += s.decimal.size();
    normal += '.';
    digitos += copiarDigitos();
    normal += '0';  // so that "5," reads as 5.0
  }
  if (digitos == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    normal += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) normal += t[i++];
    if (copiarDigitos() == 0) return false;
  }
  if (i != t.size()) return false;
  const auto [fimLido, erro] = std::from_chars(normal.data(), normal.data() + normal.size(), valor);
  return erro == std::errc() && fimLido == normal.data() + normal.size();
}

}  // namespace

double Arredondar(std::uint8_t precisao, double valor) {
  if (precisao > kPrecisaoMaxima) throw EKVErro(kErroPrecisao);
  TModoExtendido modo;
  return ArredondarEstendido(precisao, valor);
}

std::string FormatarNumero(std::uint8_t precisao, bool milhar, double valor,
                           const SeparadoresNumero& separadores) {
  if (precisao > kPrecisaoMaxima) throw EKVErro(kErroPrecisao);
  double arredondado;
  try {
    arredondado = Arredondar(precisao, valor);
  } catch (const Exception&) {
    return kZeros[precisao];
  }
  const Mascara mascara((milhar ? kMascarasMilhar : kMascaras)[precisao]);
  if (precisao > kPrecisaoMaximaCentavos) return Renderizar(arredondado, mascara, separadores);
  TModoExtendido modo;
  return Renderizar(ValorCentavos(arredondado), mascara, separadores);
}

std::string FormatarNumeroTexto(const std::string& texto, std::uint8_t precisao, bool milhar,
                                const SeparadoresNumero& separadores) {
  double valor = 0;
  if (LerNumero(texto, separadores, valor)) {
    try {
      return FormatarNumero(precisao, milhar, valor, separadores);
    } catch (const std::exception&) {
      // Any failure gives the zero through the mask, as a text that is not a number does.
    }
  }
  return FormatarNumero(precisao, milhar, 0, separadores);
}

char32_t FiltrarTeclaValor(char32_t tecla) {
  if (tecla == U'.') return U',';
  const bool passa = tecla == 8 || tecla == 13 || (tecla >= U'0' && tecla <= U'9') ||
                     tecla == U',' || tecla == U'-';
  return passa ? tecla : 0;
}

char32_t FiltrarTeclaNumero(char32_t tecla) {
  if (tecla == U'.') return U',';
  const bool passa = tecla == 8 || tecla == 13 || (tecla >= U'0' && tecla <= U'9');
  return passa ? tecla : 0;
}

}  // namespace formato
