// The platform functions the unpacking relies on: file dates, the read-only mark, names in the
// default code page. No Qt, so that they also run as a Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "Erros.h"
#include "plataforma/Plataforma.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;
using plataforma::DataHoraLocal;

namespace {

class PlataformaArquivos : public testing::Test {
 protected:
  void SetUp() override {
    FPasta = fs::temp_directory_path() / ("kvplataforma-" + std::to_string(std::random_device{}()));
    fs::create_directories(FPasta);
  }
  void TearDown() override {
    std::error_code erro;
    for (const auto& e : fs::directory_iterator(FPasta, erro)) {
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, erro);
    }
    fs::remove_all(FPasta, erro);
  }
  fs::path Arquivo(const std::string& nome) {
    const fs::path caminho = FPasta / nome;
    std::ofstream(caminho) << nome;
    return caminho;
  }
  fs::path FPasta;
};

TEST_F(PlataformaArquivos, DataLocalDefinidaComPrecisaoDeSegundos) {
  const fs::path a = Arquivo("a.txt"), b = Arquivo("b.txt");
  ASSERT_TRUE(plataforma::DefinirDataModificacao(a, {2023, 5, 17, 14, 0, 0}));
  ASSERT_TRUE(plataforma::DefinirDataModificacao(b, {2023, 5, 18, 14, 0, 2}));
  // The zone's offset cancels out between two dates of the same season.
  EXPECT_EQ(fs::last_write_time(b) - fs::last_write_time(a), std::chrono::seconds(86402));
}

TEST_F(PlataformaArquivos, DataInvalidaNaoMudaNada) {
  const fs::path a = Arquivo("a.txt");
  ASSERT_TRUE(plataforma::DefinirDataModificacao(a, {2021, 3, 1, 8, 30, 0}));
  const auto antes = fs::last_write_time(a);
  for (const DataHoraLocal& d : {DataHoraLocal{2021, 2, 29, 8, 0, 0}, DataHoraLocal{1980, 0, 0},
                                 DataHoraLocal{2021, 13, 1}, DataHoraLocal{2021, 1, 1, 24}}) {
    EXPECT_FALSE(plataforma::DefinirDataModificacao(a, d)) << d.ano << "-" << d.mes << "-" << d.dia;
  }
  EXPECT_EQ(fs::last_write_time(a), antes);
  EXPECT_FALSE(plataforma::DefinirDataModificacao(FPasta / "nao_existe.txt", {2021, 3, 1}));
}

TEST_F(PlataformaArquivos, MarcaSomenteLeitura) {
  const fs::path a = Arquivo("a.txt");
  EXPECT_FALSE(plataforma::SomenteLeitura(a));
  ASSERT_TRUE(plataforma::DefinirAtributos(a, plataforma::kAtributoArquivamento));
  EXPECT_FALSE(plataforma::SomenteLeitura(a));
  ASSERT_TRUE(plataforma::DefinirAtributos(
      a, plataforma::kAtributoSomenteLeitura | plataforma::kAtributoArquivamento));
  EXPECT_TRUE(plataforma::SomenteLeitura(a));
  EXPECT_FALSE(plataforma::SomenteLeitura(FPasta / "nao_existe.txt"));
  EXPECT_FALSE(plataforma::SomenteLeitura(FPasta));
}

TEST_F(PlataformaArquivos, LeituraEmQualquerPosicao) {
  std::string conteudo;
  for (int i = 0; i < 100000; ++i) conteudo += static_cast<char>(i * 7);
  std::ofstream(FPasta / "dados.bin", std::ios::binary) << conteudo;
  const fs::path anterior = fs::current_path();
  fs::current_path(FPasta);
  {
    plataforma::TArquivoLeitura arquivo(".\\dados.bin");
    EXPECT_EQ(arquivo.Tamanho(), conteudo.size());
    std::string bloco(300, '\0');
    EXPECT_EQ(arquivo.Ler(99900, bloco.data(), 300), 100);
    EXPECT_EQ(bloco.substr(0, 100), conteudo.substr(99900));
    EXPECT_EQ(arquivo.Ler(5, bloco.data(), 300), 300);
    EXPECT_EQ(bloco, conteudo.substr(5, 300));
    EXPECT_EQ(arquivo.Ler(200000, bloco.data(), 10), 0);
#if defined(_WIN32)
    // Nobody writes the file while it is being read.
    EXPECT_FALSE(std::ofstream(FPasta / "dados.bin", std::ios::app).is_open());
#endif
  }
  EXPECT_TRUE(std::ofstream(FPasta / "dados.bin", std::ios::app).is_open());
  try {
    plataforma::TArquivoLeitura ausente(".\\ausente.zip");
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Unable to open file \".\\ausente.zip\": ", 0), 0u) << e.Message();
  }
  fs::current_path(anterior);
}

TEST(PaginaPadrao, NomesSemUtf8) {
#if defined(_WIN32)
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
#else
  EXPECT_EQ(plataforma::TextoPaginaPadrao("Relatório"), "Relatório");  // already UTF-8
#endif
  EXPECT_EQ(plataforma::TextoPaginaPadrao("Relat\xf3rio \x80 \xe7\xe3o"), "Relatório € ção");
  EXPECT_EQ(plataforma::TextoPaginaPadrao("simples.txt"), "simples.txt");
  EXPECT_EQ(plataforma::TextoPaginaPadrao(""), "");
}

}  // namespace
