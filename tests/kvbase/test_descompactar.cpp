// Unpacking of ZIP archives: what lands on disk, the progress series, the refusals.

#include <sys/stat.h>
#include <zip.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "Descompactador.h"
#include "Erros.h"
#include "PastaTeste.h"
#include "TKVBase.h"
#include "test_descompactar_zip.h"

namespace fs = std::filesystem;

namespace {

std::string Aleatorio(std::size_t tamanho, unsigned semente) {
  std::mt19937 gerador(semente);
  std::string s(tamanho, '\0');
  for (auto& c : s) c = static_cast<char>(gerador());
  return s;
}

std::string Texto(std::size_t tamanho) {
  std::mt19937 gerador(7);
  static const char kPalavras[][8] = {"caixa ", "venda ", "cupom ", "preço ", "nota\n"};
  std::string s;
  while (s.size() < tamanho) s += kPalavras[gerador() % 5];
  s.resize(tamanho);
  return s;
}

EntradaTeste Arquivo(std::string nome, std::string conteudo, std::uint16_t metodo = 8) {
  EntradaTeste e;
  e.nome = std::move(nome);
  e.conteudo = std::move(conteudo);
  e.metodo = metodo;
  return e;
}

EntradaTeste EntradaPasta(std::string nome) {
  EntradaTeste e = Arquivo(std::move(nome), "", 0);
  e.atributos = 040755u << 16;
  return e;
}

// The progress rule written out independently: reads of 16384 bytes, a report whenever the
// count passes the mark, the mark one step (archive size / 100, half to even) further each time.
std::vector<double> SerieEsperada(std::uint64_t tamanhoZip,
                                  const std::vector<std::size_t>& tamanhos) {
  const auto passo = static_cast<std::uint64_t>(std::nearbyint(tamanhoZip / 100.0));
  std::vector<double> serie;
  for (std::size_t tamanho : tamanhos) {
    serie.push_back(0);
    std::uint64_t marca = passo, escrito = 0;
    while (escrito < tamanho) {
      escrito = std::min<std::uint64_t>(escrito + 16384, tamanho);
      if (escrito > marca) {
        serie.push_back(100.0 * static_cast<double>(escrito) / static_cast<double>(tamanhoZip));
        marca += passo;
      }
    }
    serie.push_back(100);
  }
  return serie;
}

bool SomenteLeitura(const fs::path& p) {
  return (fs::status(p).permissions() & fs::perms::owner_write) == fs::perms::none;
}

std::time_t DataModificacao(const fs::path& p) {
  struct stat info {};
  stat(p.c_str(), &info);
  return info.st_mtime;
}

class Descompactar : public PastaTeste {
 protected:
  void Executar(const std::vector<EntradaTeste>& entradas, const std::string& destino = ".",
                const OpcoesZip& opcoes = {}) {
    Escrever("a.zip", MontarZip(entradas, opcoes));
    DescompactarZip(".\\a.zip", destino, [this](double p) { Serie.push_back(p); });
  }

  // "Class: message" of the failure, or "" when it unpacks.
  std::string Falha(const std::vector<EntradaTeste>& entradas, const std::string& destino = ".",
                    const OpcoesZip& opcoes = {}) {
    try {
      Executar(entradas, destino, opcoes);
    } catch (const Exception& e) {
      return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
  }

  std::vector<double> Serie;
};

TEST_F(Descompactar, CriaPastasAninhadasNoDestinoNovoComConteudoEData) {
  EntradaTeste guardado = Arquivo("dir/sub/guardado.bin", Aleatorio(5000, 1), 0);
  guardado.hora = HoraDos(9, 41, 58);
  guardado.data = DataDos(2021, 12, 31);
  Executar({EntradaPasta("dir/"), Arquivo("dir/sub/texto.txt", Texto(40000)), guardado,
            Arquivo("raiz.txt", "raiz")},
           ".\\novo\\destino");

  EXPECT_TRUE(fs::is_directory("novo/destino/dir/sub"));
  EXPECT_EQ(Ler("novo/destino/dir/sub/texto.txt"), Texto(40000));
  EXPECT_EQ(Ler("novo/destino/dir/sub/guardado.bin"), Aleatorio(5000, 1));
  EXPECT_EQ(Ler("novo/destino/raiz.txt"), "raiz");
  const QDateTime esperada(QDate(2021, 12, 31), QTime(9, 41, 58));
  EXPECT_EQ(DataModificacao("novo/destino/dir/sub/guardado.bin"), esperada.toSecsSinceEpoch());
  EXPECT_EQ(DataModificacao("novo/destino/raiz.txt"),
            QDateTime(QDate(2023, 5, 17), QTime(14, 0, 0)).toSecsSinceEpoch());
}

TEST_F(Descompactar, SubstituiArquivoExistenteESemProgressoNaoFalha) {
  Escrever("velho.txt", std::string(100000, 'x'));
  Escrever("a.zip", MontarZip({Arquivo("velho.txt", "novo")}));
  DescompactarZip(".\\a.zip", ".", nullptr);
  EXPECT_EQ(Ler("velho.txt"), "novo");
  EXPECT_EQ(DataModificacao("velho.txt"),
            QDateTime(QDate(2023, 5, 17), QTime(14, 0, 0)).toSecsSinceEpoch());
  EXPECT_TRUE(fs::exists("a.zip"));
}

TEST_F(Descompactar, PastaMarcadaPelosAtributos) {
  EntradaTeste windows = Arquivo("pasta_windows", "", 0);
  windows.sistema = 10;
  windows.atributos = 0x10;
  EntradaTeste unix = Arquivo("pasta_unix", "", 0);
  unix.atributos = 040700u << 16;
  Executar({windows, unix});
  EXPECT_TRUE(fs::is_directory("pasta_windows"));
  EXPECT_TRUE(fs::is_directory("pasta_unix"));
}

struct CasoNome {
  const char* caso;
  EntradaTeste entrada;
  const char* esperado;  // path of the output, UTF-8
};

class NomeEntrada : public Descompactar, public ::testing::WithParamInterface<CasoNome> {};

TEST_P(NomeEntrada, DaONomeDoArquivo) {
  auto entrada = GetParam().entrada;
  entrada.conteudo = "conteúdo";
  Executar({entrada});
  EXPECT_EQ(Ler(GetParam().esperado), "conteúdo");
}

EntradaTeste ComNome(std::string nome, std::uint16_t flags = 0, std::string extra = {}) {
  EntradaTeste e = Arquivo(std::move(nome), "");
  e.flags = flags;
  e.extra = std::move(extra);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Descompactar, NomeEntrada,
    ::testing::Values(
        CasoNome{"utf8_pelo_flag", ComNome("Relatório/ação.txt", 0x0800), "Relatório/ação.txt"},
        CasoNome{"campo_unicode",
                 ComNome("velho.txt", 0, CampoCaminhoUnicode("velho.txt", "ações.txt")),
                 "ações.txt"},
        CasoNome{"campo_unicode_de_outro_nome",
                 ComNome("velho.txt", 0, CampoCaminhoUnicode("velho.txt", "ações.txt", 1234)),
                 "velho.txt"},
        CasoNome{"pagina_padrao", ComNome("Relat\xf3rio \xe7\xe3o.txt"), "Relatório ção.txt"},
        CasoNome{"barra_invertida", ComNome("pasta\\sub\\arq.txt"), "pasta/sub/arq.txt"}),
    [](const auto& p) { return std::string(p.param.caso); });

TEST_F(Descompactar, ProgressoDeUmaEntradaDeflateSobeAte100) {
  Executar({Arquivo("texto.txt", Texto(300000))});
  ASSERT_EQ(Serie, SerieEsperada(fs::file_size("a.zip"), {300000}));
  EXPECT_GT(Serie.size(), 3u);
}

TEST_F(Descompactar, ProgressoRecomecaEmCadaEntradaDeflateEIgnoraGuardadas) {
  Executar({Arquivo("um.txt", Texto(70000)), Arquivo("guardado.bin", Aleatorio(90000, 2), 0),
            Arquivo("dois.txt", Texto(50000))});
  EXPECT_EQ(Serie, SerieEsperada(fs::file_size("a.zip"), {70000, 50000}));
}

TEST_F(Descompactar, ArquivoSoDeGuardadasNaoInformaProgresso) {
  Executar(
      {Arquivo("a.bin", Aleatorio(70000, 3), 0), EntradaPasta("p/"), Arquivo("p/b.txt", "b", 0)});
  EXPECT_TRUE(Serie.empty());
}

TEST_F(Descompactar, MarcaSobeUmPassoPorRelatorio) {
  // Incompressible: the archive is about as large as the entry, so a step is over 16384 bytes
  // and not every read reports.
  Executar({Arquivo("ruido.bin", Aleatorio(3000000, 4))});
  const auto esperada = SerieEsperada(fs::file_size("a.zip"), {3000000});
  EXPECT_EQ(Serie, esperada);
  EXPECT_LT(Serie.size(), 3000000 / 16384);
}

TEST_F(Descompactar, EntradaMuitoCompressivelPassaDe100) {
  Executar({Arquivo("zeros.bin", std::string(2000000, '\0'))});
  EXPECT_EQ(Serie, SerieEsperada(fs::file_size("a.zip"), {2000000}));
  EXPECT_GT(Serie[Serie.size() - 2], 1000.0);
}

// A method beyond stored and deflate that libzip reads (bzip2, when it is built with it) goes
// through libzip and reports progress as deflate does.
TEST_F(Descompactar, OutroMetodoQueALibzipLeIgualAoDeflate) {
  if (!zip_compression_method_supported(ZIP_CM_BZIP2, 1)) GTEST_SKIP() << "libzip without bzip2";
  const std::string conteudo = Texto(300000);
  int erro = 0;
  zip_t* z = zip_open("a.zip", ZIP_CREATE | ZIP_TRUNCATE, &erro);
  ASSERT_NE(z, nullptr) << erro;
  zip_source_t* fonte = zip_source_buffer(z, conteudo.data(), conteudo.size(), 0);
  const zip_int64_t indice = zip_file_add(z, "b.txt", fonte, 0);
  ASSERT_GE(indice, 0);
  ASSERT_EQ(zip_set_file_compression(z, static_cast<zip_uint64_t>(indice), ZIP_CM_BZIP2, 0), 0);
  ASSERT_EQ(zip_close(z), 0);

  DescompactarZip(".\\a.zip", ".", [this](double p) { Serie.push_back(p); });
  EXPECT_EQ(Ler("b.txt"), conteudo);
  EXPECT_EQ(Serie, SerieEsperada(fs::file_size("a.zip"), {300000}));
}

// Through the base services object: the bar lent in Progresso moves, clamped to its range, and
// pending events run at each report; without a bar nothing moves and no event runs.
TEST_F(Descompactar, PelaBaseMoveABarraEmprestadaEProcessaEventos) {
  TKVBase base;
  QProgressBar barra;
  barra.setRange(0, 100);
  barra.setValue(37);
  std::vector<int> posicoes;
  QObject::connect(&barra, &QProgressBar::valueChanged, [&](int v) { posicoes.push_back(v); });
  bool processou = false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { processou = true; }, Qt::QueuedConnection);
  Escrever("a.zip", MontarZip({Arquivo("zeros.bin", std::string(2000000, '\0')),
                               Arquivo("texto.txt", Texto(200000))}));
  Escrever("guardado.zip", MontarZip({Arquivo("g.bin", Aleatorio(50000, 5), 0)}));

  base.Descompactar(".\\a.zip", ".\\sem_barra");
  EXPECT_EQ(Ler("sem_barra/texto.txt"), Texto(200000));
  EXPECT_FALSE(processou);
  EXPECT_EQ(barra.value(), 37);

  base.Progresso = &barra;
  base.Descompactar(".\\guardado.zip", ".");
  EXPECT_FALSE(processou);
  EXPECT_EQ(barra.value(), 37);
  base.Descompactar(".\\a.zip", ".\\com_barra");
  base.Progresso = nullptr;
  EXPECT_TRUE(processou);
  EXPECT_EQ(barra.value(), 100);
  ASSERT_FALSE(posicoes.empty());
  EXPECT_EQ(posicoes.front(), 0);
  EXPECT_EQ(std::count(posicoes.begin(), posicoes.end(), 0), 2);  // again for the second entry
  EXPECT_EQ(*std::max_element(posicoes.begin(), posicoes.end()), 100);
  EXPECT_GT(posicoes.size(), 4u);
}

struct CasoFalha {
  const char* caso;
  std::vector<EntradaTeste> entradas;
  OpcoesZip opcoes;
  std::string erro;
  std::vector<const char*> escritos;  // files that stay, with their full content
  std::vector<const char*> ausentes;
};

class FalhaDescompactar : public Descompactar, public ::testing::WithParamInterface<CasoFalha> {};

TEST_P(FalhaDescompactar, ParaComOErroEGuardaOQueEscreveu) {
  const auto& c = GetParam();
  EXPECT_EQ(Falha(c.entradas, ".", c.opcoes), c.erro);
  for (const char* nome : c.escritos) EXPECT_EQ(Ler(nome), nome) << nome;
  for (const char* nome : c.ausentes) EXPECT_FALSE(fs::exists(nome)) << nome;
}

OpcoesZip Zip64(std::optional<std::uint64_t> entradas = std::nullopt,
                std::optional<std::uint64_t> posicao = std::nullopt) {
  OpcoesZip o;
  o.zip64 = true;
  o.entradas64 = entradas;
  o.posicao64 = posicao;
  return o;
}

OpcoesZip NoDisco(std::uint16_t disco) {
  OpcoesZip o;
  o.disco = disco;
  return o;
}

EntradaTeste Com(EntradaTeste e, void (*ajuste)(EntradaTeste&)) {
  ajuste(e);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Descompactar, FalhaDescompactar,
    ::testing::Values(
        CasoFalha{"crc_deflate",
                  {Arquivo("a.txt", "a.txt"),
                   Com(Arquivo("b.txt", "b.txt"), [](EntradaTeste& e) { e.crc = 1; })},
                  {},
                  "EZipError: Invalid CRC checksum while unzipping b.txt.",
                  {"a.txt", "b.txt"},
                  {}},
        CasoFalha{"crc_guardada",
                  {Com(Arquivo("b.txt", "b.txt", 0), [](EntradaTeste& e) { e.crc = 1; })},
                  {},
                  "EZipError: Invalid CRC checksum while unzipping b.txt.",
                  {"b.txt"},
                  {}},
        CasoFalha{"criptografada",
                  {Arquivo("a.txt", "a.txt"),
                   Com(Arquivo("s/segredo.txt", "x"), [](EntradaTeste& e) { e.flags = 1; })},
                  {},
                  "EZipError: Encrypted entry s/segredo.txt is not supported.",
                  {"a.txt"},
                  {"s"}},
        CasoFalha{"remendo",
                  {Com(Arquivo("r.txt", "x"), [](EntradaTeste& e) { e.flags = 0x20; })},
                  {},
                  "EZipError: Patch data entry r.txt is not supported.",
                  {},
                  {"r.txt"}},
        CasoFalha{"metodo_desconhecido",
                  {Arquivo("a.txt", "a.txt"), Arquivo("d64.txt", "x", 9)},
                  {},
                  "EZipError: Unsupported compression format 9",
                  {"a.txt"},
                  {"d64.txt"}},
        CasoFalha{"varios_discos",
                  {Arquivo("a.txt", "a.txt")},
                  NoDisco(1),
                  "EZipError: A central directory split over multiple disks is unsupported.",
                  {},
                  {"a.txt"}},
        CasoFalha{"zip64", {Arquivo("a.txt", "a.txt")}, Zip64(), "", {"a.txt"}, {}},
        CasoFalha{"zip64_entradas_demais",
                  {Arquivo("a.txt", "a.txt")},
                  Zip64(2147483648u),
                  "EZipError: Encountered 2147483648 file entries; maximum supported is "
                  "2147483647.",
                  {},
                  {"a.txt"}},
        CasoFalha{"zip64_posicao_demais",
                  {Arquivo("a.txt", "a.txt")},
                  Zip64(std::nullopt, 1ull << 63),
                  "EZipError: Position/offset 9223372036854775808 is larger than maximum "
                  "supported 9223372036854775807.",
                  {},
                  {"a.txt"}},
        CasoFalha{"deflate_danificado",
                  {Com(Arquivo("d.txt", "d"), [](EntradaTeste& e) { e.dados = "\xff\xff\xff"; })},
                  {},
                  "EZipError: Zlib error: data error",
                  {},
                  {}}),
    [](const auto& p) { return std::string(p.param.caso); });

// Deflate data of `conteudo` in stored blocks, the last one not marked final: whatever follows
// decides how the stream goes on.
std::string BlocosGuardados(const std::string& conteudo) {
  std::string dados;
  for (std::size_t i = 0; i < conteudo.size(); i += 65535) {
    const auto n = static_cast<std::uint16_t>(std::min<std::size_t>(65535, conteudo.size() - i));
    const std::uint16_t inverso = static_cast<std::uint16_t>(~n);
    dados += '\0';
    dados += {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8),
              static_cast<char>(inverso & 0xFF), static_cast<char>(inverso >> 8)};
    dados += conteudo.substr(i, n);
  }
  return dados;
}

struct CasoDano {
  const char* caso;
  std::string dados;
  std::string erro;
  std::size_t gravados;  // bytes of the content the file holds after the failure
};

class DanoDeflate : public Descompactar, public ::testing::WithParamInterface<CasoDano> {
 public:
  static std::string Conteudo() { return Aleatorio(150000, 6); }
};

// The bytes inflated before the damage are written, however far ahead they were inflated.
TEST_P(DanoDeflate, ParaComOErroDepoisDeGravarOQueVeioAntes) {
  EntradaTeste e = Arquivo("d.bin", DanoDeflate::Conteudo());
  e.dados = GetParam().dados;
  EXPECT_EQ(Falha({e}), GetParam().erro);
  EXPECT_EQ(Ler("d.bin"), DanoDeflate::Conteudo().substr(0, GetParam().gravados));
}

INSTANTIATE_TEST_SUITE_P(
    Descompactar, DanoDeflate,
    ::testing::Values(
        // A block of the reserved type 3 after all the content.
        CasoDano{"bloco_invalido", BlocosGuardados(DanoDeflate::Conteudo()) + "\x07",
                 "EZipError: Zlib error: data error", 150000},
        // Cut inside the second block: the stream never ends, and the CRC-32 tells.
        CasoDano{"cortado", BlocosGuardados(DanoDeflate::Conteudo()).substr(0, 100000),
                 "EZipError: Invalid CRC checksum while unzipping d.bin.", 100000 - 2 * 5}),
    [](const auto& p) { return std::string(p.param.caso); });

// Entries larger than one read of either kind: the CRC-32 runs on across the reads.
TEST_F(Descompactar, EntradasGrandesConferemOCrcAtravesDasLeituras) {
  Executar({Arquivo("guardado.bin", Aleatorio(700000, 8), 0), Arquivo("texto.txt", Texto(2000000)),
            Arquivo("ruido.bin", Aleatorio(1500000, 9))});
  EXPECT_EQ(Ler("guardado.bin"), Aleatorio(700000, 8));
  EXPECT_EQ(Ler("texto.txt"), Texto(2000000));
  EXPECT_EQ(Ler("ruido.bin"), Aleatorio(1500000, 9));
}

TEST_F(Descompactar, ArquivoCortadoOuVazioEhCorrompidoAntesDeQualquerEntrada) {
  const std::string zip = MontarZip({Arquivo("a.txt", "a"), Arquivo("b.txt", "b")});
  for (const std::string& bytes :
       {zip.substr(0, zip.size() - 10), zip.substr(0, 30), std::string()}) {
    Escrever("a.zip", bytes);
    try {
      DescompactarZip(".\\a.zip", ".", nullptr);
      ADD_FAILURE() << "unpacked " << bytes.size() << " bytes";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Message(), "Corrupt ZIP file .\\a.zip.");
    }
    EXPECT_FALSE(fs::exists("a.txt"));
  }
}

TEST_F(Descompactar, ArquivoAusenteDaErroDeAbertura) {
  EXPECT_THROW(
      {
        try {
          DescompactarZip(".\\nao_existe.zip", ".", nullptr);
        } catch (const EFOpenError& e) {
          EXPECT_EQ(e.Message(),
                    "Unable to open file \".\\nao_existe.zip\": No such file or directory");
          throw;
        }
      },
      EFOpenError);
}

TEST_F(Descompactar, ArquivoSomenteLeituraNaoEhSubstituido) {
  Escrever("b.txt", "antigo");
  fs::permissions("b.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(Falha({Arquivo("a.txt", "a.txt"), Arquivo("b.txt", "novo"), Arquivo("c.txt", "c")}),
            "EFCreateError: Unable to create file \".\\b.txt\": Permission denied");
  EXPECT_EQ(Ler("a.txt"), "a.txt");
  EXPECT_EQ(Ler("b.txt"), "antigo");
  EXPECT_FALSE(fs::exists("c.txt"));
}

struct CasoAtributos {
  const char* caso;
  std::uint8_t sistema;
  std::uint32_t atributos;
  bool somenteLeitura;
};

class AtributosEntrada : public Descompactar,
                         public ::testing::WithParamInterface<CasoAtributos> {};

TEST_P(AtributosEntrada, SomenteLeituraQuandoAEntradaPede) {
  EntradaTeste e = Arquivo("arq.txt", "x");
  e.sistema = GetParam().sistema;
  e.atributos = GetParam().atributos;
  Executar({e});
  EXPECT_EQ(Ler("arq.txt"), "x");
  EXPECT_EQ(SomenteLeitura("arq.txt"), GetParam().somenteLeitura);
}

INSTANTIATE_TEST_SUITE_P(
    Descompactar, AtributosEntrada,
    ::testing::Values(CasoAtributos{"unix_sem_escrita_do_dono", 3, 0100444u << 16, true},
                      CasoAtributos{"unix_so_o_dono_escreve", 3, 0100200u << 16, false},
                      CasoAtributos{"unix_sem_modo", 3, 0x01, false},
                      CasoAtributos{"ntfs_somente_leitura", 10, 0x21, true},
                      CasoAtributos{"ntfs_arquivamento", 10, 0x20, false},
                      CasoAtributos{"msdos_somente_leitura", 0, 0x01, true},
                      CasoAtributos{"vfat_somente_leitura", 14, 0x01, true},
                      CasoAtributos{"macintosh_ignorado", 7, 0x01, false}),
    [](const auto& p) { return std::string(p.param.caso); });

struct CasoFora {
  const char* caso;
  const char* nome;  // "" for the test folder's own absolute path
};

class NomeForaDoDestino : public Descompactar, public ::testing::WithParamInterface<CasoFora> {};

TEST_P(NomeForaDoDestino, EhRecusadoSemEscreverNada) {
  std::string nome = GetParam().nome;
  if (nome.empty()) nome = (Pasta / "fora.txt").string();
  EXPECT_EQ(Falha({Arquivo("ok.txt", "ok"), Arquivo(nome, "fora")}, ".\\dest"),
            "EZipError: Entry " + nome + " leads outside the destination folder.");
  EXPECT_EQ(Ler("dest/ok.txt"), "ok");
  EXPECT_FALSE(fs::exists("fora.txt"));
  EXPECT_FALSE(fs::exists("../fora.txt"));
  EXPECT_FALSE(fs::exists("dest/fora.txt"));
}

INSTANTIATE_TEST_SUITE_P(Descompactar, NomeForaDoDestino,
                         ::testing::Values(CasoFora{"pai", "../fora.txt"},
                                           CasoFora{"pai_depois_de_pasta", "sub/../../fora.txt"},
                                           CasoFora{"pai_barra_invertida", "..\\fora.txt"},
                                           CasoFora{"tres_pontos", ".../fora.txt"},
                                           CasoFora{"pontos_e_branco", "sub/.. /fora.txt"},
                                           CasoFora{"absoluto", ""},
                                           CasoFora{"raiz_windows", "\\fora.txt"},
                                           CasoFora{"unidade_relativa", "C:fora.txt"},
                                           CasoFora{"unidade", "C:\\fora.txt"}),
                         [](const auto& p) { return std::string(p.param.caso); });

TEST_F(Descompactar, LigacaoParaForaEhRecusadaParaDentroEhSeguida) {
  fs::create_directories("dest/sub");
  fs::create_directories("fora");
  Escrever("fora/alvo.txt", "original");
  fs::create_directory_symlink(Pasta / "fora", "dest/ligacao");
  fs::create_symlink(Pasta / "fora/alvo.txt", "dest/alvo.txt");
  fs::create_directory_symlink("sub", "dest/interna");

  EXPECT_EQ(
      Falha({Arquivo("interna/x.txt", "dentro"), Arquivo("ligacao/y.txt", "fora")}, ".\\dest"),
      "EZipError: Entry ligacao/y.txt leads outside the destination folder.");
  EXPECT_EQ(Ler("dest/sub/x.txt"), "dentro");
  EXPECT_FALSE(fs::exists("fora/y.txt"));

  EXPECT_EQ(Falha({Arquivo("alvo.txt", "trocado")}, ".\\dest"),
            "EZipError: Entry alvo.txt leads outside the destination folder.");
  EXPECT_EQ(Ler("fora/alvo.txt"), "original");

  // A link to a file that does not exist yet, directly and through a second link.
  fs::create_symlink(Pasta / "fora/novo.txt", "dest/pendente.txt");
  fs::create_symlink("pendente.txt", "dest/dupla.txt");
  for (const char* nome : {"pendente.txt", "dupla.txt"}) {
    EXPECT_EQ(Falha({Arquivo(nome, "fora")}, ".\\dest"),
              std::string("EZipError: Entry ") + nome + " leads outside the destination folder.");
  }
  EXPECT_FALSE(fs::exists("fora/novo.txt"));
}

}  // namespace
