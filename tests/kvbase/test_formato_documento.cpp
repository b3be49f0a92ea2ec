// Document and contact formats: digits, postal code, phone, CNPJ/CPF layout and check digits,
// free-text cleanup.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "Erros.h"
#include "FormatoDocumento.h"

using namespace formato;

namespace {

// Row names for the tables: the name given, since gtest wants [A-Za-z0-9_].
template <typename Linha>
std::string NomeLinha(const testing::TestParamInfo<Linha>& info) {
  return info.param.nome;
}

// ---- Digits ----

struct LinhaDigitos {
  const char* nome;
  std::string texto;
  bool vazioSeNenhum;
  std::string esperado;
};

class Digitos : public testing::TestWithParam<LinhaDigitos> {};

TEST_P(Digitos, SomenteNumeros) {
  const auto& l = GetParam();
  EXPECT_EQ(SomenteNumeros(l.texto, l.vazioSeNenhum), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Digitos,
    testing::Values(LinhaDigitos{"Misturado", "(11) 3333-4444", false, "1133334444"},
                    LinhaDigitos{"VazioDaZero", "", false, "0"},
                    LinhaDigitos{"VazioFicaVazio", "", true, ""},
                    LinhaDigitos{"SemDigitosDaZero", "abc-./", false, "0"},
                    LinhaDigitos{"SemDigitosFicaVazio", "abc-./", true, ""},
                    LinhaDigitos{"ZerosMantidos", "007", true, "007"},
                    LinhaDigitos{"AcentosNaoSaoDigitos", "ç1ã2é", false, "12"},
                    // Arabic-Indic, full-width and superscript digits are not ASCII digits.
                    LinhaDigitos{"DigitosNaoAscii", "\u0661\u0662\uFF13\u00B2", false, "0"},
                    LinhaDigitos{"DigitosNaoAsciiEntreAscii", "1\uFF132", true, "12"}),
    NomeLinha<LinhaDigitos>);

// ---- Integer of the digits ----

struct LinhaInteiro {
  const char* nome;
  std::string texto;
  std::int32_t esperado;
};

class Inteiro : public testing::TestWithParam<LinhaInteiro> {};

TEST_P(Inteiro, NumeroInteiro) {
  const auto& l = GetParam();
  EXPECT_EQ(NumeroInteiro(l.texto), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Inteiro,
    testing::Values(LinhaInteiro{"CEPComHifen", "1310-100", 1310100}, LinhaInteiro{"Vazio", "", 0},
                    LinhaInteiro{"SemDigitos", "rua", 0},
                    LinhaInteiro{"Maximo", "2147483647", 2147483647},
                    LinhaInteiro{"ZerosAEsquerdaNaoContam", "0000000000002147483647", 2147483647},
                    LinhaInteiro{"SeparadoresIgnorados", "2.147.483-647", 2147483647}),
    NomeLinha<LinhaInteiro>);

struct LinhaInteiroInvalido {
  const char* nome;
  std::string texto;
  std::string mensagem;
};

class InteiroInvalido : public testing::TestWithParam<LinhaInteiroInvalido> {};

TEST_P(InteiroInvalido, FalhaComErroDeConversao) {
  const auto& l = GetParam();
  try {
    NumeroInteiro(l.texto);
    FAIL() << "no error for " << l.texto;
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.ClassName(), "EConvertError");
    EXPECT_EQ(e.Message(), l.mensagem);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, InteiroInvalido,
    testing::Values(LinhaInteiroInvalido{"UmAcimaDoMaximo", "2147483648",
                                         "\"2147483648\" is an invalid integer"},
                    LinhaInteiroInvalido{"OnzeDigitos", "12345678901",
                                         "\"12345678901\" is an invalid integer"},
                    // The message quotes the digits that were converted, not the text typed.
                    LinhaInteiroInvalido{"FormatadoCitaOsDigitos", "1.234.567.890-1",
                                         "\"12345678901\" is an invalid integer"},
                    LinhaInteiroInvalido{"MuitoLongo", std::string(40, '9'),
                                         "\"" + std::string(40, '9') + "\" is an invalid integer"}),
    NomeLinha<LinhaInteiroInvalido>);

// ---- Postal code ----

struct LinhaCEP {
  const char* nome;
  std::int32_t cep;
  std::string esperado;
};

class CEP : public testing::TestWithParam<LinhaCEP> {};

TEST_P(CEP, FormatarCEP) {
  const auto& l = GetParam();
  EXPECT_EQ(FormatarCEP(l.cep), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, CEP,
    testing::Values(LinhaCEP{"SeteDigitos", 1310100, "01310-100"}, LinhaCEP{"Zero", 0, "00000-000"},
                    LinhaCEP{"Um", 1, "00000-001"}, LinhaCEP{"OitoDigitos", 12345678, "12345-678"},
                    LinhaCEP{"NoveDigitosMantemOExcesso", 123456789, "123456-789"},
                    LinhaCEP{"Maximo", 2147483647, "2147483-647"}),
    NomeLinha<LinhaCEP>);

// What the postal-code box does on exit: the integer of all its digits through the mask.
TEST(CEP, DaCaixaAteAMascara) {
  EXPECT_EQ(FormatarCEP(NumeroInteiro("1310-100")), "01310-100");
  EXPECT_EQ(FormatarCEP(NumeroInteiro("01310-100")), "01310-100");
  EXPECT_EQ(FormatarCEP(NumeroInteiro("")), "00000-000");
  EXPECT_EQ(FormatarCEP(NumeroInteiro("sem número")), "00000-000");
  EXPECT_THROW(FormatarCEP(NumeroInteiro("12345678901")), EConvertError);
}

// ---- Phone ----

struct LinhaFone {
  const char* nome;
  std::string texto;
  std::string esperado;
};

class Fone : public testing::TestWithParam<LinhaFone> {};

TEST_P(Fone, FormatarFone) {
  const auto& l = GetParam();
  EXPECT_EQ(FormatarFone(l.texto), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Fone,
    testing::Values(
        LinhaFone{"Oito", "12345678", "1234-5678"}, LinhaFone{"Nove", "912345678", "91234-5678"},
        LinhaFone{"Dez", "1133334444", "(11) 3333-4444"},
        LinhaFone{"OnzeComZeroDeLongaDistancia", "01133334444", "(11) 3333-4444"},
        LinhaFone{"OnzeCelular", "11987654321", "(11) 98765-4321"},
        LinhaFone{"DozeComZero", "011987654321", "(11) 98765-4321"},
        LinhaFone{"DozePerdeOPrimeiroSejaQualFor", "911987654321", "(11) 98765-4321"},
        LinhaFone{"JaFormatadoFicaIgual", "(11) 3333-4444", "(11) 3333-4444"},
        LinhaFone{"CelularJaFormatadoFicaIgual", "(11) 98765-4321", "(11) 98765-4321"},
        LinhaFone{"ComLetrasEAcentos", "fone: 11 3333 4444 (João)", "(11) 3333-4444"},
        // Toll-free numbers come back exactly as typed, spaces and letters included.
        LinhaFone{"ZeroOitocentosComEspacos", "0800 123 4567", "0800 123 4567"},
        LinhaFone{"ZeroOitocentosComHifens", "0800-123-4567", "0800-123-4567"},
        LinhaFone{"ZeroOitocentosComTexto", "  Ligue 0800 grátis ", "  Ligue 0800 grátis "},
        LinhaFone{"ZeroOitocentosSoNoInicio", "0080012345678", ""},
        LinhaFone{"Sete", "1234567", ""}, LinhaFone{"Treze", "1234567890123", ""},
        LinhaFone{"SoZero", "0", ""}, LinhaFone{"Vazio", "", ""},
        LinhaFone{"SemDigitos", "abc", ""},
        LinhaFone{"DigitosNaoAscii", "\uFF11\uFF11\uFF13\uFF13\uFF13\uFF13\uFF14\uFF14", ""}),
    NomeLinha<LinhaFone>);

// ---- Tax identifier layout ----

struct LinhaLayout {
  const char* nome;
  std::string texto;
  std::string esperado;
};

class LayoutCNPJCPF : public testing::TestWithParam<LinhaLayout> {};

TEST_P(LayoutCNPJCPF, FormatarCNPJCPF) {
  const auto& l = GetParam();
  EXPECT_EQ(FormatarCNPJCPF(l.texto), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, LayoutCNPJCPF,
    testing::Values(LinhaLayout{"CPFDigitado", "12312312387", "123.123.123-87"},
                    LinhaLayout{"CPFJaFormatado", "123.123.123-87", "123.123.123-87"},
                    LinhaLayout{"CPFInvalidoTambemFormatado", "12312312388", "123.123.123-88"},
                    LinhaLayout{"CNPJDigitado", "12312312000110", "12.312.312/0001-10"},
                    LinhaLayout{"CNPJJaFormatado", "12.312.312/0001-10", "12.312.312/0001-10"},
                    LinhaLayout{"CNPJZeros", "00000000000000", "00.000.000/0000-00"},
                    LinhaLayout{"FaltaUmDigitoDoCPF", "123.123.123-8", ""},
                    LinhaLayout{"Doze", "123123123871", ""},
                    LinhaLayout{"Treze", "1231231200011", ""},
                    LinhaLayout{"Quinze", "123123120001100", ""}, LinhaLayout{"Vazio", "", ""},
                    LinhaLayout{"SoZero", "0", ""}),
    NomeLinha<LinhaLayout>);

// ---- Check digits ----

struct LinhaValidar {
  const char* nome;
  std::string texto;
  bool permiteVazio;
  bool valido;
};

class Validar : public testing::TestWithParam<LinhaValidar> {};

TEST_P(Validar, ValidarCNPJCPF) {
  const auto& l = GetParam();
  EXPECT_EQ(ValidarCNPJCPF(l.texto, l.permiteVazio), l.valido);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Validar,
    testing::Values(LinhaValidar{"CPFFormatado", "123.123.123-87", false, true},
                    LinhaValidar{"CPFDigitado", "12312312387", false, true},
                    LinhaValidar{"CPFSegundoDigitoErrado", "123.123.123-88", false, false},
                    LinhaValidar{"CPFPrimeiroDigitoErrado", "123.123.123-97", false, false},
                    LinhaValidar{"CPFConhecido", "529.982.247-25", false, true},
                    // Its check digits are right; the repetition alone refuses it.
                    LinhaValidar{"CPFRepetido", "111.111.111-11", false, false},
                    LinhaValidar{"CPFZeros", "000.000.000-00", false, false},
                    LinhaValidar{"CNPJFormatado", "12.312.312/0001-10", false, true},
                    LinhaValidar{"CNPJDigitado", "12312312000110", false, true},
                    LinhaValidar{"CNPJSegundoDigitoErrado", "12.312.312/0001-11", false, false},
                    LinhaValidar{"CNPJPrimeiroDigitoErrado", "12.312.312/0001-00", false, false},
                    LinhaValidar{"CNPJConhecido", "11.222.333/0001-81", false, true},
                    LinhaValidar{"CNPJZerosValido", "00.000.000/0000-00", false, true},
                    LinhaValidar{"CNPJUnsNaoConfere", "11.111.111/1111-11", false, false},
                    LinhaValidar{"VazioPermitido", "", true, true},
                    LinhaValidar{"VazioNaoPermitido", "", false, false},
                    LinhaValidar{"SemDigitosPermitido", "abc", true, true},
                    LinhaValidar{"SoZeroPermitido", "0", true, true},
                    LinhaValidar{"SoZeroNaoPermitido", "0", false, false},
                    LinhaValidar{"Dez", "1231231238", true, false},
                    LinhaValidar{"Doze", "123123123870", true, false},
                    LinhaValidar{"Treze", "1231231200011", true, false}),
    NomeLinha<LinhaValidar>);

// Any CPF of nine equal digits passes the weighted sums, so only the repetition rule refuses it.
TEST(Validar, CPFDeNoveDigitosIguaisNuncaValido) {
  for (char c = '0'; c <= '9'; ++c) {
    const std::string cpf = std::string(11, c);
    EXPECT_FALSE(ValidarCNPJCPF(cpf, false)) << cpf;
    EXPECT_FALSE(ValidarCNPJCPF(cpf, true)) << cpf;
  }
}

// Check digits computed another way: weights 2 to 9 cycling from the right (CNPJ) and
// (sum * 10) mod 11 mod 10 (CPF), over numbers drawn from a fixed seed.
char DvCNPJ(const std::string& base) {
  int soma = 0;
  int peso = 2;
  for (auto it = base.rbegin(); it != base.rend(); ++it) {
    soma += (*it - '0') * peso;
    peso = peso == 9 ? 2 : peso + 1;
  }
  const int resto = soma % 11;
  return static_cast<char>('0' + (resto < 2 ? 0 : 11 - resto));
}

char DvCPF(const std::string& base) {
  int soma = 0;
  for (std::size_t i = 0; i < base.size(); ++i)
    soma += (base[i] - '0') * static_cast<int>(base.size() + 1 - i);
  return static_cast<char>('0' + soma * 10 % 11 % 10);
}

std::string Sorteio(std::mt19937& gerador, std::size_t tamanho) {
  std::uniform_int_distribution<int> digito(0, 9);
  std::string s;
  for (std::size_t i = 0; i < tamanho; ++i) s += static_cast<char>('0' + digito(gerador));
  return s;
}

// Every other value of the digit at posicao makes the number invalid.
void ExigirRecusaDe(const std::string& numero, std::size_t posicao) {
  for (char c = '0'; c <= '9'; ++c) {
    if (c == numero[posicao]) continue;
    std::string errado = numero;
    errado[posicao] = c;
    EXPECT_FALSE(ValidarCNPJCPF(errado, false)) << errado;
  }
}

TEST(Validar, CNPJGeradoIndependente) {
  std::mt19937 gerador(20240611);
  for (int i = 0; i < 300; ++i) {
    std::string cnpj = Sorteio(gerador, 12);
    cnpj += DvCNPJ(cnpj);
    cnpj += DvCNPJ(cnpj);
    ASSERT_TRUE(ValidarCNPJCPF(cnpj, false)) << cnpj;
    ASSERT_TRUE(ValidarCNPJCPF(FormatarCNPJCPF(cnpj), false)) << cnpj;
    ExigirRecusaDe(cnpj, 12);
    ExigirRecusaDe(cnpj, 13);
  }
}

TEST(Validar, CPFGeradoIndependente) {
  std::mt19937 gerador(20240612);
  for (int i = 0; i < 300; ++i) {
    std::string cpf = Sorteio(gerador, 9);
    const bool repetido = cpf.find_first_not_of(cpf[0]) == std::string::npos;
    cpf += DvCPF(cpf);
    cpf += DvCPF(cpf);
    ASSERT_EQ(ValidarCNPJCPF(cpf, false), !repetido) << cpf;
    ASSERT_EQ(ValidarCNPJCPF(FormatarCNPJCPF(cpf), false), !repetido) << cpf;
    ExigirRecusaDe(cpf, 9);
    ExigirRecusaDe(cpf, 10);
  }
}

// ---- Free-text cleanup ----

struct LinhaLimpar {
  const char* nome;
  std::string texto;
  bool maiusculas;
  std::string esperado;
};

class Limpar : public testing::TestWithParam<LinhaLimpar> {};

TEST_P(Limpar, LimparTexto) {
  const auto& l = GetParam();
  EXPECT_EQ(LimparTexto(l.texto, l.maiusculas), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Limpar,
    testing::Values(
        LinhaLimpar{"Exemplo", "  Rua da Estação, nº 5 & Cia~", false, "Rua da Estação, n 5 E Cia"},
        LinhaLimpar{"ExemploMaiusculas", "  Rua da Estação, nº 5 & Cia~", true,
                    "RUA DA ESTAçãO, N 5 E CIA"},
        LinhaLimpar{"AcentosFicamMinusculos", "ação é ñ ü", true, "AçãO é ñ ü"},
        LinhaLimpar{"DoisEspacosViramUm", "a  b", false, "a b"},
        LinhaLimpar{"TresEspacosViramDois", "a   b", false, "a  b"},
        LinhaLimpar{"QuatroEspacosViramDois", "a    b", false, "a  b"},
        LinhaLimpar{"CincoEspacosViramTres", "a     b", false, "a   b"},
        LinhaLimpar{"SoBrancos", " \t\r\n  \x01\x1f ", false, ""},
        LinhaLimpar{"Vazio", "", true, ""},
        LinhaLimpar{"ControlesNasPontas", "\x01\tabc\r\n\x1f", false, "abc"},
        // Only characters up to 32 are blanks: DEL and the no-break space stay.
        LinhaLimpar{"DelNaoEBranco",
                    "\x7f"
                    "a",
                    false,
                    "\x7f"
                    "a"},
        LinhaLimpar{"EspacoDuroNaoEBranco", "\u00A0a\u00A0", false, "\u00A0a\u00A0"},
        LinhaLimpar{"TabNoMeioFica", "a\tb", false, "a\tb"},
        LinhaLimpar{"RetornoNoMeioFica", "a\rb", false, "a\rb"},
        LinhaLimpar{"QuebraNoMeioSai", "linha1\nlinha2\n\nfim", false, "linha1linha2fim"},
        // The trim runs once, before the replacements.
        LinhaLimpar{"EspacoDeixadoNaPontaFica", "~ abc ^", false, " abc "},
        LinhaLimpar{"BuracoDeixadoPelaRemocaoEReduzido", "a ~ b", false, "a b"},
        LinhaLimpar{"QuebraEntreEspacosViraUmEspaco", "a \n b", false, "a b"},
        LinhaLimpar{"OrdinalFeminino", "1ª vez", false, "1A vez"},
        LinhaLimpar{"OrdinalMasculino", "2º andar", false, "2 andar"},
        LinhaLimpar{"Acentos", "D´Ávila `x` \"citação\" ¨", false, "DÁvila x citação "},
        LinhaLimpar{"TilECircunflexoSoltos", "~a^~", false, "a"},
        LinhaLimpar{"ECComercial", "A&&B", false, "AEEB"},
        LinhaLimpar{"EVindoDoEComercialNaoViraMinusculo", "p&b", true, "PEB"},
        // Characters that merely resemble the removed ones, or share a byte with them, stay.
        LinhaLimpar{"ParecidosFicam", "˜ ˆ ′ ƪ", false, "˜ ˆ ′ ƪ"},
        LinhaLimpar{"MaiusculasSoDeAaZ", "abc xyz 123 {|}", true, "ABC XYZ 123 {|}"}),
    NomeLinha<LinhaLimpar>);

// The type-ahead search of combo boxes cleans each typed character with this same cleanup.
struct LinhaCaractere {
  const char* nome;
  std::string tecla;
  std::string esperado;
};

class LimparCaractere : public testing::TestWithParam<LinhaCaractere> {};

TEST_P(LimparCaractere, ComMaiusculas) {
  const auto& l = GetParam();
  EXPECT_EQ(LimparTexto(l.tecla, true), l.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, LimparCaractere,
    testing::Values(LinhaCaractere{"Espaco", " ", ""}, LinhaCaractere{"Retrocesso", "\b", ""},
                    LinhaCaractere{"Tab", "\t", ""}, LinhaCaractere{"Retorno", "\r", ""},
                    LinhaCaractere{"Til", "~", ""}, LinhaCaractere{"Circunflexo", "^", ""},
                    LinhaCaractere{"Crase", "`", ""}, LinhaCaractere{"Aspas", "\"", ""},
                    LinhaCaractere{"ECComercial", "&", "E"}, LinhaCaractere{"Minuscula", "a", "A"},
                    LinhaCaractere{"Maiuscula", "Z", "Z"}, LinhaCaractere{"Digito", "7", "7"},
                    LinhaCaractere{"CedilhaFica", "ç", "ç"},
                    LinhaCaractere{"OrdinalFeminino", "ª", "A"},
                    LinhaCaractere{"OrdinalMasculino", "º", ""}),
    NomeLinha<LinhaCaractere>);

}  // namespace
