// The request text must match the vendor's expectations to the character.
#include <gtest/gtest.h>

#include "TClienteHTTP.h"
#include "TextoJSON.h"

namespace {

struct CasoEscape {
  const char* Nome;
  std::string Entrada;
  std::string Esperado;
};

class EscapeJSON : public ::testing::TestWithParam<CasoEscape> {};

TEST_P(EscapeJSON, EscapaByteAByte) {
  EXPECT_EQ(EscaparJSON(GetParam().Entrada), GetParam().Esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, EscapeJSON,
    ::testing::Values(
        CasoEscape{"BarraInvertidaEAspas", "a\\b\"c", "a\\\\b\\\"c"},
        CasoEscape{"BarraNaoEscapada", "../arquivos/Mercanta.exe", "../arquivos/Mercanta.exe"},
        CasoEscape{"ControlesComNome", "\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
        CasoEscape{"OutrosControlesEmHexMaiusculo", std::string("\x00\x01\x0b\x1f", 4),
                   "\\u0000\\u0001\\u000B\\u001F"},
        CasoEscape{"Utf8CopiadoSemMudanca", "Instala\xc3\xa7\xc3\xa3o \xe2\x82\xac",
                   "Instala\xc3\xa7\xc3\xa3o \xe2\x82\xac"},
        CasoEscape{"Del127Copiado", "\x7f", "\x7f"}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

TEST(TextoJSON, DocumentoDaConsulta) {
  nlohmann::ordered_json argumento = nlohmann::ordered_json::object();
  argumento["local"] = "../arquivos/Mercanta.exe";
  nlohmann::ordered_json documento = nlohmann::ordered_json::object();
  documento["opc"] = 8;
  documento["dados"] = nlohmann::ordered_json::array({argumento});
  EXPECT_EQ(TextoJSON(documento),
            R"({ "opc" : 8, "dados" : [{ "local" : "../arquivos/Mercanta.exe" }] })");
}

TEST(TextoJSON, FormasVaziasEAninhadas) {
  EXPECT_EQ(TextoJSON(nlohmann::ordered_json::object()), "{}");
  EXPECT_EQ(TextoJSON(nlohmann::ordered_json::array()), "[]");
  nlohmann::ordered_json d = nlohmann::ordered_json::object();
  d["z\""] = nlohmann::ordered_json::array({1, -2, "x"});
  d["a"] = nlohmann::ordered_json::object();
  EXPECT_EQ(TextoJSON(d), R"({ "z\"" : [1, -2, "x"], "a" : {} })");
}

struct CasoHost {
  const char* Nome;
  std::string Url;
  std::string Esperado;
};

class CampoHostURL : public ::testing::TestWithParam<CasoHost> {};

TEST_P(CampoHostURL, PortaSoQuandoNomeada) {
  EXPECT_EQ(CampoHost(GetParam().Url), GetParam().Esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, CampoHostURL,
    ::testing::Values(
        CasoHost{"SemPorta", "https://atualizacao.example/php/api.php", "atualizacao.example"},
        CasoHost{"PortaNomeada", "https://atualizacao.example:8443/x", "atualizacao.example:8443"},
        CasoHost{"PortaPadraoNomeada", "https://h.example:443/", "h.example:443"},
        CasoHost{"IPv6", "https://[::1]:8443/", "[::1]:8443"}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

struct CasoEndereco {
  const char* Nome;
  std::string Destino;
  std::string Esperado;
};

class Redirecionamento : public ::testing::TestWithParam<CasoEndereco> {};

TEST_P(Redirecionamento, ResolveContraOAtual) {
  EXPECT_EQ(ResolverEndereco("https://h.example:8443/loja/php/api.php", GetParam().Destino),
            GetParam().Esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, Redirecionamento,
    ::testing::Values(
        CasoEndereco{"Absoluto", "https://outro.example/a", "https://outro.example/a"},
        CasoEndereco{"RaizDoServidor", "/novo/api.php", "https://h.example:8443/novo/api.php"},
        CasoEndereco{"RelativoAPasta", "v2.php", "https://h.example:8443/loja/php/v2.php"},
        CasoEndereco{"SobeUmNivel", "../arquivos/x", "https://h.example:8443/loja/arquivos/x"}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

}  // namespace
