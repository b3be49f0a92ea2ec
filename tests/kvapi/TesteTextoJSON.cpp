// The request text must match the vendor's expectations to the character. Pure: only the
// nlohmann header besides the writer.
#include <gtest/gtest.h>

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

}  // namespace
