// The Host field and the resolution of redirection targets.
#include <gtest/gtest.h>

#include "TClienteHTTP.h"

namespace {

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
