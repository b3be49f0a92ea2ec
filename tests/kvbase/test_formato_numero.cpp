// Number rounding and formatting. The expected values were computed apart, with exact rational
// arithmetic that rounds each step to a 64-bit (extended) or 53-bit (binary64) significand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>

#include "Erros.h"
#include "FormatoNumero.h"

using namespace formato;

namespace {

const SeparadoresNumero kBrasil{",", "."};
const SeparadoresNumero kPonto{".", ","};
constexpr const char* kErroPrecisao = "Não é permitido precisão para arrendoamento maior que 10!";

template <typename Linha>
std::string NomeLinha(const testing::TestParamInfo<Linha>& info) {
  return info.param.nome;
}

// ---- Rounding and formatting of values ----

struct LinhaValor {
  const char* nome;
  double valor;
  std::uint8_t precisao;
  double arredondado;
  const char* texto;        // without grouping, Brazilian separators
  const char* textoMilhar;  // with grouping
};

class Valores : public testing::TestWithParam<LinhaValor> {};

TEST_P(Valores, ArredondaEFormata) {
  const auto& l = GetParam();
  const double r = Arredondar(l.precisao, l.valor);
  EXPECT_EQ(r, l.arredondado) << std::hexfloat << r;
  EXPECT_FALSE(std::signbit(r) && r == 0) << "negative zero";
  EXPECT_EQ(FormatarNumero(l.precisao, false, l.valor, kBrasil), l.texto);
  EXPECT_EQ(FormatarNumero(l.precisao, true, l.valor, kBrasil), l.textoMilhar);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Valores,
    testing::Values(
        // The rows of the published table.
        LinhaValor{"Meio_0", 0.5, 0, 0.0, "0", "0"},
        LinhaValor{"DoisEMeio_0", 2.5, 0, 2.0, "2", "2"},
        LinhaValor{"TresEMeio_0", 3.5, 0, 4.0, "4", "4"},
        LinhaValor{"MenosDoisEMeio_0", -2.5, 0, -2.0, "-2", "-2"},
        LinhaValor{"Um8avo_2", 0.125, 2, 0x1.eb851eb851eb8p-4, "0,12", "0,12"},
        LinhaValor{"Tres8avos_2", 0.375, 2, 0x1.7ae147ae147aep-2, "0,37", "0,37"},
        LinhaValor{"MenosTres8avos_2", -0.375, 2, -0x1.7ae147ae147aep-2, "-0,37", "-0,37"},
        LinhaValor{"UmVirgula005_2", 1.005, 2, 1.0, "1,00", "1,00"},
        LinhaValor{"Zero065_2", 0.065, 2, 0x1.1eb851eb851ecp-4, "0,07", "0,07"},
        LinhaValor{"Um235_2", 1.235, 2, 0x1.3d70a3d70a3d7p+0, "1,24", "1,24"},
        LinhaValor{"MilDuzentos_2", 1234.5, 2, 1234.5, "1234,50", "1.234,50"},
        LinhaValor{"MenosMilDuzentos_2", -1234.567, 2, -0x1.34a47ae147ae1p+10, "-1234,57",
                   "-1.234,57"},
        LinhaValor{"Um2345_3", 1.2345, 3, 0x1.3be76c8b43958p+0, "1,234", "1,234"},
        // Edge cases and further rows.
        LinhaValor{"NegativoQueViraZero_2", -0.004, 2, 0.0, "0,00", "0,00"},
        LinhaValor{"ZeroNegativo_2", -0.0, 2, 0.0, "0,00", "0,00"},
        LinhaValor{"MenosMeio_0", -0.5, 0, 0.0, "0", "0"},
        LinhaValor{"QuatroEMeio_0", 4.5, 0, 4.0, "4", "4"},
        LinhaValor{"Zero15_1", 0.15, 1, 0x1.999999999999ap-4, "0,1", "0,1"},
        LinhaValor{"Zero25_1", 0.25, 1, 0x1.999999999999ap-3, "0,2", "0,2"},
        LinhaValor{"Um45_1", 1.45, 1, 0x1.6666666666667p+0, "1,4", "1,4"},
        LinhaValor{"Dois675_2", 2.675, 2, 0x1.55c28f5c28f5cp+1, "2,67", "2,67"},
        LinhaValor{"Oito345_2", 8.345, 2, 0x1.0b33333333333p+3, "8,35", "8,35"},
        LinhaValor{"Peso_3", 0.0625, 3, 0x1.fbe76c8b43958p-5, "0,062", "0,062"},
        LinhaValor{"Quantidade_4", -1234.5678, 4, -0x1.34a456d5cfaadp+10, "-1234,5678",
                   "-1.234,5678"},
        LinhaValor{"Milhoes_3", 1234567.891, 3, 0x1.2d687e4189375p+20, "1234567,891",
                   "1.234.567,891"},
        LinhaValor{"Milhares_1", 123456.789, 1, 0x1.e240ccccccccdp+16, "123456,8", "123.456,8"},
        LinhaValor{"RuidoAbaixoDoMeio_4", 99999999999.99995, 4, 0x1.74876e7fffffap+36,
                   "99999999999,9999", "99.999.999.999,9999"},
        LinhaValor{"MaiorQuantia_4", 922337203685477.0, 4, 922337203685477.0,
                   "922337203685477,0000", "922.337.203.685.477,0000"},
        LinhaValor{"CemTrilhoes_2", 1e14, 2, 1e14, "100000000000000,00", "100.000.000.000.000,00"},
        LinhaValor{"Decimo_5", 0.1, 5, 0x1.999999999999ap-4, "0,10000", "0,10000"},
        LinhaValor{"UmVirgula1_7", 1.1, 7, 0x1.1999999999999p+0, "1,1000000", "1,1000000"},
        LinhaValor{"Pequeno_8", 0.000123456, 8, 0x1.02ea15321652bp-13, "0,00012346", "0,00012346"},
        LinhaValor{"Bilhao_6", 123456789.123456789, 6, 0x1.d6f34547e6b83p+26, "123456789,123457",
                   "123.456.789,123457"},
        LinhaValor{"Terco_10", 1.0 / 3, 10, 0x1.55555554c2bb6p-2, "0,3333333333", "0,3333333333"},
        LinhaValor{"MenorPasso_10", 1e-10, 10, 0x1.b7cdfd9d7bdbbp-34, "0,0000000001",
                   "0,0000000001"},
        LinhaValor{"MeioPassoNegativo_10", -5e-11, 10, 0.0, "0,0000000000", "0,0000000000"},
        LinhaValor{"QuaseLimite_10", 9.2e8, 10, 9.2e8, "920000000,0000000000",
                   "920.000.000,0000000000"}),
    NomeLinha<LinhaValor>);

// ---- Values that cannot be rounded or held ----

struct LinhaFora {
  const char* nome;
  double valor;
  std::uint8_t precisao;
  bool arredonda;  // false: Arredondar fails and the zero text comes back
  const char* zero;
};

class ForaDaFaixa : public testing::TestWithParam<LinhaFora> {};

TEST_P(ForaDaFaixa, DaOZeroFixoOuFalha) {
  const auto& l = GetParam();
  if (l.arredonda) {
    EXPECT_NO_THROW(Arredondar(l.precisao, l.valor));
    // Too large for the amount of ten-thousandths.
    EXPECT_THROW(FormatarNumero(l.precisao, false, l.valor, kBrasil), EInvalidOp);
  } else {
    EXPECT_THROW(Arredondar(l.precisao, l.valor), EInvalidOp);
    // A comma whatever the separators.
    EXPECT_EQ(FormatarNumero(l.precisao, false, l.valor, kPonto), l.zero);
    EXPECT_EQ(FormatarNumero(l.precisao, true, l.valor, kBrasil), l.zero);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, ForaDaFaixa,
    testing::Values(LinhaFora{"Bilhao_10", 1e9, 10, false, "0,0000000000"},
                    LinhaFora{"AcimaDe2a63_0", 9.3e18, 0, false, "0"},
                    LinhaFora{"Exatamente2a63_0", 9223372036854775808.0, 0, false, "0"},
                    LinhaFora{"AbaixoDeMenos2a63_0", -9.3e18, 0, false, "0"},
                    LinhaFora{"AcimaDoLimite_2", 9.3e16, 2, false, "0,00"},
                    LinhaFora{"Infinito_2", std::numeric_limits<double>::infinity(), 2, false,
                              "0,00"},
                    LinhaFora{"NaN_3", std::numeric_limits<double>::quiet_NaN(), 3, false, "0,000"},
                    LinhaFora{"QuatrilhaoNaQuantia_2", 1e15, 2, true, ""},
                    LinhaFora{"QuintilhaoNaQuantia_0", 1e18, 0, true, ""},
                    LinhaFora{"LimiteDaQuantia_3", 9.3e14, 3, true, ""}),
    NomeLinha<LinhaFora>);

TEST(Precisao, AcimaDe10FalhaNasTresOperacoes) {
  for (std::uint8_t p : {11, 255}) {
    for (const auto& operacao : std::initializer_list<std::function<void()>>{
             [p] { Arredondar(p, 1.5); }, [p] { FormatarNumero(p, false, 1.5, kBrasil); },
             [p] { FormatarNumeroTexto("1,5", p, false, kBrasil); },
             [p] { FormatarNumeroTexto("abc", p, true, kBrasil); }}) {
      try {
        operacao();
        ADD_FAILURE() << "no error at precision " << int(p);
      } catch (const EKVErro& e) {
        EXPECT_EQ(e.Message(), kErroPrecisao);
      }
    }
  }
}

// ---- Texts ----

struct LinhaTexto {
  const char* nome;
  const char* texto;
  std::uint8_t precisao;
  bool milhar;
  const char* brasil;  // under comma decimals and point thousands
  const char* ponto;   // under point decimals and comma thousands
};

class Textos : public testing::TestWithParam<LinhaTexto> {};

TEST_P(Textos, LeEFormata) {
  const auto& l = GetParam();
  EXPECT_EQ(FormatarNumeroTexto(l.texto, l.precisao, l.milhar, kBrasil), l.brasil);
  EXPECT_EQ(FormatarNumeroTexto(l.texto, l.precisao, l.milhar, kPonto), l.ponto);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Textos,
    testing::Values(
        // The exit handlers' examples.
        LinhaTexto{"Valor", "12,5", 2, false, "12,50", "0.00"},
        LinhaTexto{"ValorComMilhar", "1.234,56", 2, false, "0,00", "0.00"},
        LinhaTexto{"Letras", "abc", 2, false, "0,00", "0.00"},
        LinhaTexto{"Vazio", "", 2, false, "0,00", "0.00"},
        LinhaTexto{"VazioInteiro", "", 0, false, "0", "0"},
        LinhaTexto{"Quantidade", "3", 4, false, "3,0000", "3.0000"},
        LinhaTexto{"Peso", "0,0625", 3, false, "0,062", "0.000"},
        LinhaTexto{"Inteiro", "2,5", 0, false, "2", "0"},
        // The parser's rules.
        LinhaTexto{"PontoDecimal", "12.5", 2, false, "0,00", "12.50"},
        LinhaTexto{"MilharDoPonto", "1,234.5", 2, false, "0,00", "0.00"},
        LinhaTexto{"BrancosNasPontas", " \t-1,5e2  ", 2, false, "-150,00", "0.00"},
        LinhaTexto{"BrancoNoMeio", "- 5", 2, false, "0,00", "0.00"},
        LinhaTexto{"Mais", "+7", 1, false, "7,0", "7.0"},
        LinhaTexto{"ExpoenteMaiusculo", "1E+3", 0, true, "1.000", "1,000"},
        LinhaTexto{"ExpoenteNegativo", "25e-1", 1, false, "2,5", "2.5"},
        LinhaTexto{"ExpoenteSemDigitos", "1e", 2, false, "0,00", "0.00"},
        LinhaTexto{"DoisSeparadores", "1,2,3", 2, false, "0,00", "0.00"},
        LinhaTexto{"SoSeparador", ",", 2, false, "0,00", "0.00"},
        LinhaTexto{"SemInteiros", ",5", 2, false, "0,50", "0.00"},
        LinhaTexto{"SemDecimais", "5,", 2, false, "5,00", "0.00"},
        LinhaTexto{"SoSinal", "-", 2, false, "0,00", "0.00"},
        LinhaTexto{"Infinito", "inf", 2, false, "0,00", "0.00"},
        LinhaTexto{"Transborda", "1e400", 2, false, "0,00", "0.00"},
        LinhaTexto{"ComMilhar", "-1234567,891", 3, true, "-1.234.567,891", "0.000"},
        // Failures past the parsing give the zero through the mask too.
        LinhaTexto{"AlemDaQuantia", "1000000000000000", 2, false, "0,00", "0.00"},
        LinhaTexto{"AlemDoArredondamento", "1000000000", 10, true, "0,0000000000", "0,0000000000"}),
    NomeLinha<LinhaTexto>);

// ---- Key filters ----

struct LinhaTecla {
  const char* nome;
  char32_t tecla;
  char32_t valor;
  char32_t numero;
};

class Teclas : public testing::TestWithParam<LinhaTecla> {};

TEST_P(Teclas, Filtram) {
  const auto& l = GetParam();
  EXPECT_EQ(FiltrarTeclaValor(l.tecla), l.valor);
  EXPECT_EQ(FiltrarTeclaNumero(l.tecla), l.numero);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela, Teclas,
    testing::Values(LinhaTecla{"Retrocesso", 8, 8, 8}, LinhaTecla{"Enter", 13, 13, 13},
                    LinhaTecla{"Zero", U'0', U'0', U'0'}, LinhaTecla{"Nove", U'9', U'9', U'9'},
                    LinhaTecla{"Virgula", U',', U',', 0}, LinhaTecla{"Menos", U'-', U'-', 0},
                    LinhaTecla{"Ponto", U'.', U',', U','}, LinhaTecla{"Letra", U'a', 0, 0},
                    LinhaTecla{"Mais", U'+', 0, 0}, LinhaTecla{"Espaco", U' ', 0, 0},
                    LinhaTecla{"Tab", 9, 0, 0}, LinhaTecla{"Acentuada", U'ç', 0, 0}),
    NomeLinha<LinhaTecla>);

}  // namespace
