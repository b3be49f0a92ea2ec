// File downloads against the loopback vendor server.
#include <signal.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QProgressBar>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "AmbienteAPI.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Download : public AmbienteAPI {
 protected:
  void SetUp() override {
    AmbienteAPI::SetUp();
    fs::create_directory("publicado");
    Servidor.Publicar("publicado");
  }

  void Publicar(const std::string& nome, const std::string& conteudo) {
    Escrever("publicado/" + nome, conteudo);
  }

  std::string GetEsperado(const std::string& caminho) const {
    return "GET " + caminho + " HTTP/1.1\r\nHost: " + Host() + "\r\nConnection: close\r\n\r\n";
  }

  // Files of the test folder other than the support files and the published folder.
  static std::vector<std::string> Restos(const fs::path& pasta = ".") {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) {
      const std::string nome = e.path().filename().string();
      if (nome.find(".tmp") != std::string::npos) nomes.push_back(nome);
    }
    return nomes;
  }
};

TEST_F(Download, BytesDoGetEConteudo) {
  Publicar("Mercanta.exe", std::string(10000, 'x') + "fim");
  Escrever("Mercanta.exe", "versao antiga");
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("arquivos/Mercanta.exe", ".\\Mercanta.exe", false));
  EXPECT_EQ(Ler("Mercanta.exe"), std::string(10000, 'x') + "fim");
  ASSERT_EQ(Servidor.Requisicoes().size(), 1u);
  EXPECT_EQ(Servidor.Requisicoes()[0].Bruta, GetEsperado("/arquivos/Mercanta.exe"));
  EXPECT_FALSE(fs::exists("log_API.log"));
  EXPECT_TRUE(Restos().empty());
}

TEST_F(Download, SubstituidoMantemAsPermissoes) {
  Publicar("Mercanta.exe", "nova");
  Escrever("Mercanta.exe", "antiga");
  fs::permissions("Mercanta.exe", fs::perms::owner_all | fs::perms::group_read);
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("arquivos/Mercanta.exe", ".\\Mercanta.exe", false));
  EXPECT_EQ(fs::status("Mercanta.exe").permissions(), fs::perms::owner_all | fs::perms::group_read);
}

struct CasoStatus {
  const char* Nome;
  int Status;
  TEntrega Entrega;
};

class StatusRecusado : public Download, public ::testing::WithParamInterface<CasoStatus> {};

// With the body stalled after the header, only a check made at the header ends quickly with
// the status message rather than the silence one.
TEST_P(StatusRecusado, FalsoEArquivoAnteriorIntacto) {
  TRespostaRoteiro r;
  r.Status = GetParam().Status;
  r.Corpo = std::string(20000, 'e');
  r.Entrega = GetParam().Entrega;
  Servidor.Roteiro("/arquivos/Schemas.zip", r);
  Escrever("Schemas.zip", "anterior");
  TKVAPI api = Cliente(20s);
  EXPECT_FALSE(api.BaixarArquivo("arquivos/Schemas.zip", ".\\Schemas.zip", true));
  EXPECT_EQ(Ler("Schemas.zip"), "anterior");
  EXPECT_EQ(EntradasLog(), std::vector<std::string>{"Erro: Unexpected response status code: " +
                                                    std::to_string(GetParam().Status)});
  EXPECT_TRUE(Restos().empty());
}

INSTANTIATE_TEST_SUITE_P(Casos, StatusRecusado,
                         ::testing::Values(CasoStatus{"Em404", 404, TEntrega::Tamanho},
                                           CasoStatus{"Em500", 500, TEntrega::Chunked},
                                           CasoStatus{"Em401", 401, TEntrega::Tamanho},
                                           CasoStatus{"Em204", 204, TEntrega::Tamanho},
                                           CasoStatus{"Em304", 304, TEntrega::Tamanho},
                                           CasoStatus{"Em404ComCorpoParado", 404,
                                                      TEntrega::TravarNoCorpo}),
                         [](const auto& linha) { return std::string(linha.param.Nome); });

struct CasoFalhaDeTransferencia {
  const char* Nome;
  TEntrega Entrega;
  std::string Log;  // prefix of the only entry
};

class TransferenciaInterrompida : public Download,
                                  public ::testing::WithParamInterface<CasoFalhaDeTransferencia> {};

TEST_P(TransferenciaInterrompida, FalsoEArquivoAnteriorIntacto) {
  TRespostaRoteiro r;
  r.Corpo = std::string(50000, 'n');
  r.Entrega = GetParam().Entrega;
  Servidor.Roteiro("/arquivos/Mercanta.exe", r);
  Escrever("Mercanta.exe", "anterior");
  TKVAPI api = Cliente(500ms);
  EXPECT_FALSE(api.BaixarArquivo("arquivos/Mercanta.exe", ".\\Mercanta.exe", false));
  EXPECT_EQ(Ler("Mercanta.exe"), "anterior");
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind(GetParam().Log, 0), 0u) << entradas[0];
  EXPECT_TRUE(Restos().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Casos, TransferenciaInterrompida,
    ::testing::Values(
        CasoFalhaDeTransferencia{"DerrubadaNoCorpo", TEntrega::DerrubarNoCorpo, "Erro: "},
        CasoFalhaDeTransferencia{"DerrubadaSemResposta", TEntrega::Derrubar, "Erro: "},
        CasoFalhaDeTransferencia{"ParadaNoCorpo", TEntrega::TravarNoCorpo,
                                 "Erro: Operation timed out: no data received for 500 ms"}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

TEST_F(Download, RedirecaoParaOutroCaminhoSegueComGet) {
  Publicar("Schemas-v2.zip", "arquivo novo");
  Servidor.Roteiro("/arquivos/Schemas.zip",
                   TRespostaRoteiro::Redirecionar(302, "/arquivos/Schemas-v2.zip"));
  Servidor.Roteiro("/antigo", TRespostaRoteiro::Redirecionar(307, "arquivos/Schemas.zip"));
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("antigo", "Schemas.zip", false));
  EXPECT_EQ(Ler("Schemas.zip"), "arquivo novo");
  const auto pedidos = Servidor.Requisicoes();
  ASSERT_EQ(pedidos.size(), 3u);
  EXPECT_EQ(pedidos[1].Bruta, GetEsperado("/arquivos/Schemas.zip"));
  EXPECT_EQ(pedidos[2].Bruta, GetEsperado("/arquivos/Schemas-v2.zip"));
}

TEST_F(Download, RedirecoesDemaisFalham) {
  Servidor.Roteiro("/arquivos/laco", TRespostaRoteiro::Redirecionar(301, "/arquivos/laco"));
  Escrever("laco", "anterior");
  TKVAPI api = Cliente();
  EXPECT_FALSE(api.BaixarArquivo("arquivos/laco", "laco", false));
  EXPECT_EQ(Ler("laco"), "anterior");
  EXPECT_EQ(EntradasLog(),
            std::vector<std::string>{"Erro: Maximum allowed redirects reached : 17"});
}

// Certificates are checked, so a redirection must not step down to plain HTTP.
TEST_F(Download, RedirecaoParaHttpRecusada) {
  Servidor.Roteiro(
      "/arquivos/Mercanta.exe",
      TRespostaRoteiro::Redirecionar(
          302, "http://127.0.0.1:" + std::to_string(Servidor.Porta()) + "/arquivos/Mercanta.exe"));
  TKVAPI api = Cliente();
  EXPECT_FALSE(api.BaixarArquivo("arquivos/Mercanta.exe", "Mercanta.exe", false));
  EXPECT_EQ(Servidor.Requisicoes().size(), 1u);
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_NE(entradas[0].find("\"http\" not supported or disabled"), std::string::npos)
      << entradas[0];
}

struct CasoEntrega {
  const char* Nome;
  TEntrega Entrega;
  bool BarraMove;  // and pending events run
};

class ProgressoPorEntrega : public Download, public ::testing::WithParamInterface<CasoEntrega> {};

TEST_P(ProgressoPorEntrega, BarraSoComTamanhoDeclarado) {
  const std::string conteudo(30000, 'p');
  TRespostaRoteiro r;
  r.Corpo = conteudo;
  r.Entrega = GetParam().Entrega;
  r.TamanhoPedaco = 5000;
  Servidor.Roteiro("/arquivos/FB301Instalavel.exe", r);
  QProgressBar barra;
  barra.setValue(7);
  bool eventoTratado = false;
  QMetaObject::invokeMethod(
      &barra, [&eventoTratado] { eventoTratado = true; }, Qt::QueuedConnection);
  TKVAPI api = Cliente();
  api.Barra = &barra;
  EXPECT_TRUE(api.BaixarArquivo("arquivos/FB301Instalavel.exe", ".\\FB301Instalavel.exe", false));
  EXPECT_EQ(Ler("FB301Instalavel.exe"), conteudo);
  EXPECT_EQ(barra.value(), GetParam().BarraMove ? 100 : 7);
  EXPECT_EQ(eventoTratado, GetParam().BarraMove);
  QCoreApplication::processEvents();
}

INSTANTIATE_TEST_SUITE_P(Casos, ProgressoPorEntrega,
                         ::testing::Values(CasoEntrega{"ComTamanho", TEntrega::Tamanho, true},
                                           CasoEntrega{"Chunked", TEntrega::Chunked, false},
                                           CasoEntrega{"SemTamanho", TEntrega::AteFechar, false}),
                         [](const auto& linha) { return std::string(linha.param.Nome); });

// A handler that runs long inside the download (a dialog, say) is not the server falling silent.
TEST_F(Download, TempoDosEventosNaoContaComoSilencio) {
  Publicar("FB301.zip", std::string(300000, 'z'));
  QProgressBar barra;
  QTimer lento;
  int vezes = 0;
  QObject::connect(&lento, &QTimer::timeout, [&] {
    std::this_thread::sleep_for(400ms);
    if (++vezes == 3) lento.stop();
  });
  lento.start(0);
  TKVAPI api = Cliente(300ms);
  api.Barra = &barra;
  EXPECT_TRUE(api.BaixarArquivo("arquivos/FB301.zip", "FB301.zip", false));
  EXPECT_FALSE(fs::exists("log_API.log")) << Ler("log_API.log");
  EXPECT_EQ(vezes, 3);
}

struct CasoPosicao {
  const char* Nome;
  std::int64_t Declarado;
  std::int64_t Recebidos;
  int Posicao;
};

class PosicaoDaBarra : public ::testing::TestWithParam<CasoPosicao> {};

TEST_P(PosicaoDaBarra, MetadesParaOPar) {
  QProgressBar barra;
  barra.setValue(3);
  TKVAPI api("https://127.0.0.1:1/", "");
  api.Barra = &barra;
  api.ProgressoDownload(nullptr, GetParam().Declarado, GetParam().Recebidos);
  EXPECT_EQ(barra.value(), GetParam().Posicao);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, PosicaoDaBarra,
    ::testing::Values(CasoPosicao{"UmDeOito", 8, 1, 12}, CasoPosicao{"TresDeOito", 8, 3, 38},
                      CasoPosicao{"CincoDeOito", 8, 5, 62}, CasoPosicao{"OitoDeOito", 8, 8, 100},
                      CasoPosicao{"UmTerco", 3, 1, 33},
                      CasoPosicao{"GrandeQuaseTudo", 1LL << 40, (1LL << 40) - 1, 100},
                      CasoPosicao{"SemTamanhoNaoMexe", -1, 4096, 3},
                      CasoPosicao{"TamanhoZeroNaoMexe", 0, 4096, 3}),
    [](const auto& linha) { return std::string(linha.param.Nome); });

TEST(PosicaoDaBarraNula, NadaAcontece) {
  TKVAPI api("https://127.0.0.1:1/", "");
  api.ProgressoDownload(nullptr, 8, 4);  // must not touch a bar
  SUCCEED();
}

TEST_F(Download, PastaCriadaUmNivelSo) {
  Publicar("a.bin", "dados");
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("arquivos/a.bin", ".\\nova\\a.bin", false));
  EXPECT_EQ(Ler("nova/a.bin"), "dados");

  EXPECT_FALSE(api.BaixarArquivo("arquivos/a.bin", ".\\x\\y\\a.bin", false));
  EXPECT_FALSE(fs::exists("x"));
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind("Erro: Unable to create file \".\\x\\y\\a.bin\"", 0), 0u)
      << entradas[0];
}

TEST_F(Download, CorpoVazioComDescompactacao) {
  Publicar("Schemas.zip", "");
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("arquivos/Schemas.zip", ".\\vazio.bin", false));
  EXPECT_TRUE(fs::exists("vazio.bin"));
  EXPECT_EQ(fs::file_size("vazio.bin"), 0u);
  EXPECT_FALSE(fs::exists("log_API.log"));

  QProgressBar barra;
  api.Barra = &barra;
  EXPECT_TRUE(api.BaixarArquivo("arquivos/Schemas.zip", ".\\Schemas.zip", true));
  EXPECT_TRUE(fs::exists("Schemas.zip"));
  EXPECT_EQ(ObjBase->Progresso, nullptr);
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0], "Erro: Corrupt ZIP file .\\Schemas.zip.");
}

TEST_F(Download, DescompactaNaPastaEApagaOArquivo) {
  fs::copy_file(fs::path(KV_PASTA_FIXTURES) / "pacote.zip", "publicado/Schemas.zip");
  fs::create_directory("destino");
  Escrever("destino/leia.txt", "conteudo antigo");
  QProgressBar barra;
  TKVAPI api = Cliente();
  api.Barra = &barra;
  EXPECT_TRUE(api.BaixarArquivo("arquivos/Schemas.zip", ".\\destino\\Schemas.zip", true));
  EXPECT_EQ(Ler("destino/leia.txt"), "conteudo novo\n");
  EXPECT_EQ(Ler("destino/tabela.sql"), "create table t (id integer);\n");
  EXPECT_FALSE(fs::exists("destino/Schemas.zip"));
  EXPECT_EQ(ObjBase->Progresso, nullptr);
  EXPECT_EQ(barra.value(), 100);
  EXPECT_FALSE(fs::exists("log_API.log"));
}

TEST_F(Download, ArquivoCorrompidoFicaEResultadoVerdadeiro) {
  Publicar("FB301.zip", "PK\x03\x04 isto nao e um zip");
  TKVAPI api = Cliente();
  EXPECT_TRUE(api.BaixarArquivo("arquivos/FB301.zip", ".\\FB301.zip", true));
  EXPECT_EQ(Ler("FB301.zip"), "PK\x03\x04 isto nao e um zip");
  EXPECT_EQ(ObjBase->Progresso, nullptr);
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0], "Erro: Corrupt ZIP file .\\FB301.zip.");
}

// A file-size limit makes the write fail part-way, as a full disk does.
TEST_F(Download, DiscoCheioPreservaOArquivoAnterior) {
  Publicar("Mercanta.exe", std::string(512 * 1024, 'n'));
  Escrever("Mercanta.exe", "produto instalado");
  TKVAPI api = Cliente();

  rlimit anterior{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &anterior), 0);
  const auto sinalAnterior = signal(SIGXFSZ, SIG_IGN);
  rlimit limite = anterior;
  limite.rlim_cur = 128 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limite), 0);
  const bool resultado = api.BaixarArquivo("arquivos/Mercanta.exe", ".\\Mercanta.exe", false);
  setrlimit(RLIMIT_FSIZE, &anterior);
  signal(SIGXFSZ, sinalAnterior);

  EXPECT_FALSE(resultado);
  EXPECT_EQ(Ler("Mercanta.exe"), "produto instalado");
  EXPECT_TRUE(Restos().empty());
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind("Erro: Unable to write file \".\\Mercanta.exe\"", 0), 0u)
      << entradas[0];
}

TEST_F(Download, AlvoQueNaoPodeSerSubstituido) {
  Publicar("Mercanta.exe", "nova");
  fs::create_directory("Mercanta.exe");
  Escrever("Mercanta.exe/dentro", "x");
  TKVAPI api = Cliente();
  EXPECT_FALSE(api.BaixarArquivo("arquivos/Mercanta.exe", ".\\Mercanta.exe", false));
  EXPECT_EQ(Ler("Mercanta.exe/dentro"), "x");
  EXPECT_TRUE(Restos().empty());
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind("Erro: Unable to create file \".\\Mercanta.exe\"", 0), 0u)
      << entradas[0];
}

TEST_F(Download, ServidorInalcancavel) {
  TKVAPI api("https://127.0.0.1:" + std::to_string(PortaFechada()) + "/", Servidor.PemCA());
  EXPECT_FALSE(api.BaixarArquivo("arquivos/x", "x", false));
  EXPECT_FALSE(fs::exists("x"));
  const auto entradas = EntradasLog();
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_EQ(entradas[0].rfind("Erro: Failed to connect", 0), 0u) << entradas[0];
}

}  // namespace
