// The two service queries against the loopback vendor server.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "AmbienteAPI.h"
#include "TCertificados.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kCaminhoProduto = "../arquivos/Mercanta.exe";
constexpr const char* kSha1Produto = "b9bac239d3a61e78ae9f7f1d6e96173796c4b1dd";  // "produto v2"
const std::string kCorpoHash =
    R"({ "opc" : 8, "dados" : [{ "local" : "../arquivos/Mercanta.exe" }] })";
const std::string kCorpoData =
    R"({ "opc" : 9, "dados" : [{ "local" : "../arquivos/Mercanta.exe" }] })";

class Consultas : public AmbienteAPI {
 protected:
  void Publicar() {
    std::filesystem::create_directory("publicado");
    Escrever("publicado/Mercanta.exe", "produto v2");
    Servidor.Publicar("publicado", "11/12/2026 09:30:00");
  }
};

TEST_F(Consultas, BytesExatosEValoresPublicados) {
  Publicar();
  TKVAPI api = Cliente();
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), kSha1Produto);
  EXPECT_EQ(api.ConsultarData(kCaminhoProduto), "11/12/2026 09:30:00");

  const auto pedidos = Servidor.Requisicoes();
  ASSERT_EQ(pedidos.size(), 2u);
  EXPECT_EQ(pedidos[0].Bruta, PostEsperado("/php/api.php", kCorpoHash));
  EXPECT_EQ(pedidos[1].Bruta, PostEsperado("/php/api.php", kCorpoData));
  EXPECT_TRUE(Mensagens.empty());
  EXPECT_FALSE(std::filesystem::exists("log_API.log"));
}

TEST_F(Consultas, UrlBaseComPastaPropria) {
  Servidor.Roteiro("/loja/php/api.php", TRespostaRoteiro::Json(200, R"({"hash": "abc"})"));
  TKVAPI api(Servidor.UrlBase() + "loja/", Servidor.PemCA());
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "abc");
  ASSERT_EQ(Servidor.Requisicoes().size(), 1u);
  EXPECT_EQ(Servidor.Requisicoes()[0].Bruta, PostEsperado("/loja/php/api.php", kCorpoHash));
}

TEST_F(Consultas, CaminhoEscapadoNoCorpo) {
  Servidor.Roteiro("/php/api.php", TRespostaRoteiro::Json(200, R"({"hash": "abc"})"));
  TKVAPI api = Cliente();
  api.ConsultarHash("../arq\"uivos\\Mercanta/\xc3\xa7\t\x01.exe");
  ASSERT_EQ(Servidor.Requisicoes().size(), 1u);
  EXPECT_EQ(Servidor.Requisicoes()[0].Corpo,
            "{ \"opc\" : 8, \"dados\" : [{ \"local\" : "
            "\"../arq\\\"uivos\\\\Mercanta/\xc3\xa7\\t\\u0001.exe\" }] }");
}

enum class TConsulta { Hash, Data };

struct CasoResposta {
  const char* Nome;
  TConsulta Consulta;
  TRespostaRoteiro Resposta;
  std::string Resultado;
  std::string Log;  // prefix of the only entry; empty: no entry
  bool Mostrada;    // the body was shown with Mensagem
};

TRespostaRoteiro Com(TRespostaRoteiro r, TEntrega entrega) {
  r.Entrega = entrega;
  r.TamanhoPedaco = 3;
  return r;
}

TRespostaRoteiro Html(int status) {
  TRespostaRoteiro r;
  r.Status = status;
  r.Cabecalhos.emplace_back("Content-Type", "text/html");
  r.Corpo = "<html><body>Not Found</body></html>";
  return r;
}

class RespostasDoServico : public AmbienteAPI,
                           public ::testing::WithParamInterface<CasoResposta> {};

TEST_P(RespostasDoServico, ResultadoLogEMensagem) {
  const auto& caso = GetParam();
  Servidor.Roteiro("/php/api.php", caso.Resposta);
  TKVAPI api = Cliente(2s);
  const std::string resultado = caso.Consulta == TConsulta::Hash
                                    ? api.ConsultarHash(kCaminhoProduto)
                                    : api.ConsultarData(kCaminhoProduto);
  EXPECT_EQ(resultado, caso.Resultado);
  if (caso.Mostrada) {
    EXPECT_EQ(Mensagens, std::vector<std::string>{caso.Resposta.Corpo});
  } else {
    EXPECT_TRUE(Mensagens.empty());
  }
  if (caso.Log.empty()) {
    EXPECT_FALSE(std::filesystem::exists("log_API.log"));
  } else {
    const auto entradas = EntradasLog();
    ASSERT_EQ(entradas.size(), 1u);
    EXPECT_EQ(entradas[0].substr(0, caso.Log.size()), caso.Log) << entradas[0];
  }
}

const char* const kErroJSON = "Erro: [json.exception.parse_error.101]";

INSTANTIATE_TEST_SUITE_P(
    Casos, RespostasDoServico,
    ::testing::Values(
        CasoResposta{"Hash200", TConsulta::Hash,
                     TRespostaRoteiro::Json(200, R"({"outro": 1, "hash": "9f3a"})"), "9f3a", "",
                     false},
        CasoResposta{"Hash500MostraOCorpo", TConsulta::Hash,
                     TRespostaRoteiro::Json(500, R"({"hash": "9f3a", "erro": "x"})"), "9f3a", "",
                     true},
        CasoResposta{"Html404", TConsulta::Hash, Html(404), "", kErroJSON, false},
        CasoResposta{"CorpoVazio", TConsulta::Hash, TRespostaRoteiro::Json(200, ""), "",
                     "Erro: [json.exception.parse_error.101]", false},
        CasoResposta{"HashMaiusculo", TConsulta::Hash,
                     TRespostaRoteiro::Json(200, R"({"Hash": "9f3a"})"), "",
                     "Erro: Member \"hash\" not found in the answer", false},
        CasoResposta{"HashMaiusculoCom500NaoMostra", TConsulta::Hash,
                     TRespostaRoteiro::Json(500, R"({"Hash": "9f3a"})"), "",
                     "Erro: Member \"hash\" not found in the answer", false},
        CasoResposta{"DataInteira", TConsulta::Data,
                     TRespostaRoteiro::Json(200, R"({"data": 20261211})"), "20261211", "", false},
        CasoResposta{"DataTexto", TConsulta::Data,
                     TRespostaRoteiro::Json(200, R"({"data": "11/12/2026 \u00e0s 9h"})"),
                     "11/12/2026 \xc3\xa0s 9h", "", false},
        CasoResposta{"HashNulo", TConsulta::Hash, TRespostaRoteiro::Json(200, R"({"hash": null})"),
                     "", "Erro: Member \"hash\" is null, not a text", false},
        CasoResposta{"HashObjeto", TConsulta::Hash,
                     TRespostaRoteiro::Json(200, R"({"hash": {"v": 1}})"), "",
                     "Erro: Member \"hash\" is object, not a text", false},
        CasoResposta{"HashLista", TConsulta::Hash, TRespostaRoteiro::Json(200, R"({"hash": [1]})"),
                     "", "Erro: Member \"hash\" is array, not a text", false},
        CasoResposta{"RespostaNaoObjeto", TConsulta::Hash,
                     TRespostaRoteiro::Json(200, R"(["hash"])"), "",
                     "Erro: The answer is not a JSON object", false},
        CasoResposta{"Chunked", TConsulta::Hash,
                     Com(TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"), TEntrega::Chunked),
                     "9f3a", "", false},
        CasoResposta{"AteFechar", TConsulta::Hash,
                     Com(TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"), TEntrega::AteFechar),
                     "9f3a", "", false},
        CasoResposta{"ConexaoDerrubada", TConsulta::Hash,
                     Com(TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"), TEntrega::Derrubar),
                     "", "Erro: ", false},
        CasoResposta{
            "ConexaoDerrubadaNoCorpo", TConsulta::Hash,
            Com(TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"), TEntrega::DerrubarNoCorpo), "",
            "Erro: ", false},
        CasoResposta{"ServidorMudo", TConsulta::Hash,
                     Com(TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"), TEntrega::Travar), "",
                     "Erro: Operation timed out: no data received for 2000 ms", false},
        CasoResposta{"ServidorMudoNoCorpo", TConsulta::Data,
                     Com(TRespostaRoteiro::Json(200, R"({"data": "x"})"), TEntrega::TravarNoCorpo),
                     "", "Erro: Operation timed out: no data received for 2000 ms", false}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

struct CasoRedirecao {
  const char* Nome;
  int Status;
  std::string Location;
  std::string CaminhoFinal;
  std::string MetodoFinal;
};

class RedirecoesDaConsulta : public AmbienteAPI,
                             public ::testing::WithParamInterface<CasoRedirecao> {};

TEST_P(RedirecoesDaConsulta, RepeteOsMesmosBytes) {
  const auto& caso = GetParam();
  const std::string location =
      caso.Location == "absoluto" ? Servidor.UrlBase() + "v2/api.php" : caso.Location;
  Servidor.Roteiro("/php/api.php", TRespostaRoteiro::Redirecionar(caso.Status, location));
  Servidor.Roteiro(caso.CaminhoFinal, TRespostaRoteiro::Json(200, R"({"hash": "novo"})"));
  TKVAPI api = Cliente();
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "novo");

  const auto pedidos = Servidor.Requisicoes();
  ASSERT_EQ(pedidos.size(), 2u);
  EXPECT_EQ(pedidos[0].Bruta, PostEsperado("/php/api.php", kCorpoHash));
  std::string esperado = PostEsperado(caso.CaminhoFinal, kCorpoHash);
  esperado.replace(0, 4, caso.MetodoFinal);
  EXPECT_EQ(pedidos[1].Bruta, esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, RedirecoesDaConsulta,
    ::testing::Values(CasoRedirecao{"Em301", 301, "/v2/api.php", "/v2/api.php", "POST"},
                      CasoRedirecao{"Em302Relativo", 302, "v2.php", "/php/v2.php", "POST"},
                      CasoRedirecao{"Em303ViraGetComCorpo", 303, "/v2/api.php", "/v2/api.php",
                                    "GET"},
                      CasoRedirecao{"Em307Absoluto", 307, "absoluto", "/v2/api.php", "POST"},
                      CasoRedirecao{"Em308", 308, "/v2/api.php", "/v2/api.php", "POST"}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

class LimiteDeRedirecoes : public AmbienteAPI, public ::testing::WithParamInterface<int> {};

// A chain of n redirections: /r0 -> /r1 -> ... -> /rn, which answers.
TEST_P(LimiteDeRedirecoes, DezesseisSeguidasADecimaSetimaFalha) {
  const int n = GetParam();
  for (int i = 0; i < n; ++i) {
    Servidor.Roteiro("/r" + std::to_string(i),
                     TRespostaRoteiro::Redirecionar(302, "/r" + std::to_string(i + 1)));
  }
  Servidor.Roteiro("/r" + std::to_string(n), TRespostaRoteiro::Json(200, R"({"hash": "fim"})"));
  Servidor.Roteiro("/php/api.php", TRespostaRoteiro::Redirecionar(302, "/r0"));
  TKVAPI api = Cliente();
  const std::string resultado = api.ConsultarHash(kCaminhoProduto);
  // The service's own answer is the first of the redirections.
  if (n + 1 <= 16) {
    EXPECT_EQ(resultado, "fim");
    EXPECT_EQ(Servidor.Requisicoes().size(), static_cast<std::size_t>(n + 2));
  } else {
    EXPECT_EQ(resultado, "");
    EXPECT_EQ(EntradasLog(),
              std::vector<std::string>{"Erro: Maximum allowed redirects reached : 17"});
    EXPECT_EQ(Servidor.Requisicoes().size(), 17u);
  }
}

INSTANTIATE_TEST_SUITE_P(Casos, LimiteDeRedirecoes, ::testing::Values(15, 16),
                         [](const auto& linha) {
                           return "Redirecoes" + std::to_string(linha.param + 1);
                         });

enum class TConfianca { SistemaSemACA, OutraCA, NomeErrado };

class CertificadoRecusado : public PastaTeste, public ::testing::WithParamInterface<TConfianca> {};

TEST_P(CertificadoRecusado, NenhumPedidoEnviado) {
  TServidorFalso::TOpcoes opcoes;
  if (GetParam() == TConfianca::NomeErrado) opcoes.NomesCertificado = {"DNS:outro.example"};
  TServidorFalso servidor(opcoes);
  servidor.Roteiro("/php/api.php", TRespostaRoteiro::Json(200, R"({"hash": "9f3a"})"));
  const std::string pem = GetParam() == TConfianca::SistemaSemACA ? ""
                          : GetParam() == TConfianca::OutraCA     ? TCertificados().PemCA()
                                                                  : servidor.PemCA();
  TKVBase base;
  ObjBase = &base;
  TKVAPI api(servidor.UrlBase(), pem);
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "");
  ObjBase = nullptr;
  servidor.Parar();

  EXPECT_TRUE(servidor.Requisicoes().empty());
  const std::string log = Ler("log_API.log");
  EXPECT_NE(log.find("\r\nErro: "), std::string::npos) << log;
  const char* motivo = GetParam() == TConfianca::NomeErrado
                           ? "subject name matches target host name"
                           : "unable to get local issuer";
  EXPECT_NE(log.find(motivo), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Casos, CertificadoRecusado,
                         ::testing::Values(TConfianca::SistemaSemACA, TConfianca::OutraCA,
                                           TConfianca::NomeErrado),
                         [](const auto& linha) {
                           switch (linha.param) {
                             case TConfianca::SistemaSemACA:
                               return std::string("SistemaSemACA");
                             case TConfianca::OutraCA:
                               return std::string("OutraCA");
                             default:
                               return std::string("NomeErrado");
                           }
                         });

TEST_F(Consultas, ServidorInalcancavelDuasEntradas) {
  TKVAPI api("https://127.0.0.1:" + std::to_string(PortaFechada()) + "/", Servidor.PemCA());
  EXPECT_EQ(api.ConsultarData(kCaminhoProduto), "");
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "");
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 2u);
  for (const auto& e : entradas) EXPECT_EQ(e.rfind("Erro: Failed to connect", 0), 0u) << e;
}

// A listener whose accept queue is full drops new SYNs, so the connection never completes.
TEST_F(Consultas, ConexaoQueNaoSeCompletaDesisteEm3s) {
  const int escuta = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in endereco{};
  endereco.sin_family = AF_INET;
  endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(escuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco), 0);
  ASSERT_EQ(::listen(escuta, 0), 0);
  socklen_t tamanho = sizeof endereco;
  ::getsockname(escuta, reinterpret_cast<sockaddr*>(&endereco), &tamanho);
  std::vector<int> enchimento;
  for (int i = 0; i < 3; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco);
    enchimento.push_back(fd);
  }
  TKVAPI api("https://127.0.0.1:" + std::to_string(ntohs(endereco.sin_port)) + "/",
             Servidor.PemCA());
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "");
  for (int fd : enchimento) ::close(fd);
  ::close(escuta);
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind("Erro: Failed to connect", 0), 0u) << entradas[0];
  EXPECT_NE(entradas[0].find("Timeout was reached"), std::string::npos) << entradas[0];
}

TEST_F(Consultas, CredenciaisErradasDoServidorSaoApenasOutraResposta) {
  // The fake service's own 401 answer holds no "hash": logged, not shown.
  TServidorFalso::TOpcoes opcoes;
  opcoes.Senha = "outra";
  TServidorFalso servidor(opcoes);
  std::filesystem::create_directory("publicado");
  Escrever("publicado/Mercanta.exe", "x");
  servidor.Publicar("publicado");
  TKVAPI api(servidor.UrlBase(), servidor.PemCA());
  EXPECT_EQ(api.ConsultarHash(kCaminhoProduto), "");
  EXPECT_TRUE(Mensagens.empty());
  EXPECT_EQ(EntradasLog(),
            std::vector<std::string>{"Erro: Member \"hash\" not found in the answer"});
}

}  // namespace
