// The status check of the first activation, against the loopback vendor server.
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "AmbienteJanela.h"
#include "TKVBase.h"

namespace {

const std::string kCorpoData =
    R"({ "opc" : 9, "dados" : [{ "local" : "../arquivos/Mercanta.exe" }] })";
const std::string kCorpoHash =
    R"({ "opc" : 8, "dados" : [{ "local" : "../arquivos/Mercanta.exe" }] })";
const QColor kPreto(0, 0, 0), kVermelho(255, 0, 0), kVerde(0, 128, 0);

class Verificacao : public AmbienteJanela {
 protected:
  void SetUp() override {
    AmbienteJanela::SetUp();
    std::filesystem::create_directory("publicado");
    Escrever("publicado/Mercanta.exe", "produto v2");
    Servidor.Publicar(Pasta / "publicado", "11/12/2026 09:30:00");
  }
  // The product as installed, last changed on 7 March 2025.
  static void Instalar(const std::string& conteudo) {
    Escrever("Mercanta.exe", conteudo);
    QFile arquivo("Mercanta.exe");
    ASSERT_TRUE(arquivo.open(QIODevice::ReadWrite));
    ASSERT_TRUE(arquivo.setFileTime(QDateTime(QDate(2025, 3, 7), QTime(10, 0)),
                                    QFileDevice::FileModificationTime));
  }
  static std::string Sha1(const std::string& arquivo) { return ObjBase->HashArquivo(arquivo); }

  QString Legenda(const char* nome) { return Controle<QLabel>(nome).text(); }
  bool Marcado(const char* nome) { return Controle<QAbstractButton>(nome).isChecked(); }
  QColor CorTitulo() {
    return Controle<QLabel>("LabelStatus").palette().color(QPalette::WindowText);
  }
};

struct CasoDesfecho {
  const char* nome;
  const char* instalado;  // null: no installed executable
  const char* titulo;
  QColor cor;
  const char* botao;
  bool marcaProduto, mercanta, schemas;
  const char* firebird;
};

class Desfechos : public Verificacao, public ::testing::WithParamInterface<CasoDesfecho> {};

TEST_P(Desfechos, ShowBothVersionsAndPreselectTheInstall) {
  const CasoDesfecho& c = GetParam();
  if (c.instalado) Instalar(c.instalado);
  Criar();
  ASSERT_TRUE(Ativar(*Janela));

  const QString publicado = QString::fromStdString(Sha1(".\\publicado\\Mercanta.exe"));
  EXPECT_EQ(Legenda("LabelVersaoAtual"), QString::fromUtf8("Versão Atual: 11/12/2026 09:30:00"));
  EXPECT_EQ(Legenda("LabelSha1Atual"), "Hash: " + publicado);
  if (c.instalado) {
    EXPECT_EQ(Legenda("LabelVersaoInstalada"), QString::fromUtf8("Versão Instalada: 07/03/2025"));
    EXPECT_EQ(Legenda("LabelSha1Instalado"),
              "Hash: " + QString::fromStdString(Sha1(".\\Mercanta.exe")));
  } else {
    EXPECT_EQ(Legenda("LabelVersaoInstalada"), QString::fromUtf8("Versão Instalada"));
    EXPECT_EQ(Legenda("LabelSha1Instalado"), "Hash:");
  }
  EXPECT_EQ(Legenda("LabelStatus"), QString::fromUtf8(c.titulo));
  EXPECT_EQ(CorTitulo(), c.cor);
  EXPECT_EQ(Controle<QPushButton>("btnInstalar").text(), c.botao);
  EXPECT_EQ(Controle<QLabel>("ImageFeitoApp").isVisible(), c.marcaProduto);
  EXPECT_EQ(Marcado("CheckBoxMercanta"), c.mercanta);
  EXPECT_EQ(Marcado("CheckBoxSchemas"), c.schemas);
  EXPECT_TRUE(Marcado(c.firebird));
  EXPECT_FALSE(Controle<QProgressBar>("Barra").isVisible());
  // A label grows with its text instead of cutting it.
  auto& atual = Controle<QLabel>("LabelSha1Atual");
  EXPECT_GE(atual.width(), atual.sizeHint().width());

  const auto pedidos = Servidor.Requisicoes();
  ASSERT_EQ(pedidos.size(), 2u);
  EXPECT_EQ(pedidos[0].Corpo, kCorpoData);
  EXPECT_EQ(pedidos[1].Corpo, kCorpoHash);
  EXPECT_TRUE(Mensagens.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Verificacao, Desfechos,
    ::testing::Values(CasoDesfecho{"SemProdutoInstalado", nullptr, "Instalador KV Mercanta", kPreto,
                                   "Instalar", false, true, true, "RadioEmbarcado"},
                      CasoDesfecho{"HashesDiferentes", "produto v1", "Atualização Pendente",
                                   kVermelho, "Atualizar / Acrescentar", false, true, false,
                                   "RadioNenhum"},
                      CasoDesfecho{"HashesIguais", "produto v2", "Sistema Atualizado!", kVerde,
                                   "Atualizar / Acrescentar", true, false, false, "RadioNenhum"}),
    [](const auto& linha) { return std::string(linha.param.nome); });

TEST_F(Verificacao, AFailedQueryLeavesThePrefixAndTheUpdatePending) {
  Instalar("produto v2");
  Servidor.Roteiro("/php/api.php", TRespostaRoteiro{500, {}, "", TEntrega::Derrubar});
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  EXPECT_EQ(Legenda("LabelVersaoAtual"), QString::fromUtf8("Versão Atual: "));
  EXPECT_EQ(Legenda("LabelSha1Atual"), "Hash: ");
  EXPECT_EQ(Legenda("LabelStatus"), QString::fromUtf8("Atualização Pendente"));
  EXPECT_TRUE(Marcado("CheckBoxMercanta"));
  EXPECT_TRUE(Janela->isEnabled());
}

TEST_F(Verificacao, AnUpperCasePublishedHashIsAlwaysPending) {
  Instalar("produto v2");
  const QString maiusculo = QString::fromStdString(Sha1(".\\Mercanta.exe")).toUpper();
  Servidor.Roteiro("/php/api.php",
                   TRespostaRoteiro::Json(200, R"({"hash": ")" + maiusculo.toStdString() + "\"}"));
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  EXPECT_EQ(Legenda("LabelSha1Atual"), "Hash: " + maiusculo);
  EXPECT_EQ(Legenda("LabelStatus"), QString::fromUtf8("Atualização Pendente"));
  EXPECT_FALSE(Controle<QLabel>("ImageFeitoApp").isVisible());
}

TEST_F(Verificacao, ASecondActivationDoesNotQueryAgain) {
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  ASSERT_EQ(Servidor.Requisicoes().size(), 2u);
  QWidget outra;
  ASSERT_TRUE(Ativar(outra));
  ASSERT_TRUE(Ativar(*Janela));
  EXPECT_EQ(Servidor.Requisicoes().size(), 2u);
  EXPECT_EQ(ClientesCriados, 1);
}

// Removes the installed executable once its date is on screen, before it is hashed.
class Sumir : public QObject {
 public:
  bool eventFilter(QObject* alvo, QEvent* evento) override {
    auto* label = qobject_cast<QLabel*>(alvo);
    if (evento->type() == QEvent::Resize && label->text().contains(':')) {
      std::filesystem::remove("Mercanta.exe");
    }
    return false;
  }
};

TEST_F(Verificacao, TheExecutableVanishingBeforeItsHashEndsTheCheckAtTheErrorHandler) {
  Instalar("produto v1");
  Criar();
  Sumir sumir;
  Controle<QLabel>("LabelVersaoInstalada").installEventFilter(&sumir);
  ASSERT_TRUE(Ativar(*Janela));
  ASSERT_EQ(Mensagens.size(), 1u);
  EXPECT_EQ(Mensagens[0], "Aviso! | EFileNotFoundException >> File not found");
  EXPECT_NE(Ler("Log_Erros.txt").find("EFileNotFoundException >> File not found"),
            std::string::npos);
  EXPECT_EQ(Legenda("LabelSha1Instalado"), "Hash:");
  EXPECT_EQ(Legenda("LabelStatus"), "Instalador KV Mercanta");
  EXPECT_TRUE(Janela->isVisible());
}

TEST_F(Verificacao, TheBarIsHiddenAgainWhenAQueryStepFails) {
  std::filesystem::create_directory("log_API.log");  // the client cannot record its failure
  Servidor.Roteiro("/php/api.php", TRespostaRoteiro{500, {}, "", TEntrega::Derrubar});
  Criar();
  Controle<QProgressBar>("Barra").show();
  ASSERT_TRUE(Ativar(*Janela));
  EXPECT_FALSE(Controle<QProgressBar>("Barra").isVisible());
  ASSERT_EQ(Mensagens.size(), 1u);
  EXPECT_TRUE(Mensagens[0].startsWith("Aviso! | EFCreateError >> ")) << Mensagens[0].toStdString();
  EXPECT_EQ(Legenda("LabelSha1Atual"), "Hash:");
}

}  // namespace
