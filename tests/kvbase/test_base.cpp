// The base services object: support files, translation, error log, named logs, hash, commands.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <filesystem>
#include <memory>

#include "Erros.h"
#include "PastaTeste.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"
#include "payload/TListaRecursos.h"
#include "plataforma/Plataforma.h"

namespace fs = std::filesystem;

namespace {

const char* const kSuporte[] = {
    "logo300x300.bmp", "pt-BR.dll",   "libssl-1_1.dll", "libcrypto-1_1.dll", "libexslt.dll",
    "libiconv.dll",    "libxml2.dll", "libxslt.dll",    "kvcrypt.dll",       "firebird.msg",
    "gbak.exe",        "gfix.exe",    "fbclient.dll"};

struct Caixa {
  QString titulo, texto, informativo;
  QMessageBox::Icon icone;
  QList<QAbstractButton*> botoes;
};

// Records every message box instead of showing it.
class Caixas {
 public:
  Caixas() {
    TKVAplicacao::Instancia()->RespostaTeste = [this](QMessageBox& c) {
      vistas.push_back({c.windowTitle(), c.text(), c.informativeText(), c.icon(), c.buttons()});
    };
  }
  ~Caixas() { TKVAplicacao::Instancia()->RespostaTeste = nullptr; }
  std::vector<Caixa> vistas;
};

class Base : public PastaTeste {
 protected:
  void TearDown() override {
    objeto.reset();
    PastaTeste::TearDown();
  }
  TKVBase& Criar() {
    objeto = std::make_unique<TKVBase>();
    return *objeto;
  }
  std::unique_ptr<TKVBase> objeto;
};

// An object whose event handler raises, as a window's handler would.
class Falhador : public QObject {
 public:
  bool event(QEvent*) override { throw EFileNotFoundException("File not found"); }
};

}  // namespace

TEST_F(Base, FirstStartWritesExactlyTheSupportFilesFromTheStore) {
  Criar();
  std::vector<std::string> presentes;
  for (auto& e : fs::directory_iterator(Pasta)) presentes.push_back(e.path().filename().string());
  EXPECT_EQ(presentes.size(), std::size(kSuporte));
  for (const char* nome : kSuporte) {
    const std::string recurso = fs::path(nome).stem().string();
    const TRecurso* r = TListaRecursos::Instancia().Encontrar(recurso);
    ASSERT_NE(r, nullptr) << nome;
    EXPECT_EQ(Ler(nome), std::string(r->Valor)) << nome;
  }
  EXPECT_FALSE(fs::exists("fundo.png"));
  EXPECT_FALSE(fs::exists("fundo"));
}

TEST_F(Base, ExistingFilesAreNeverRewritten) {
  Escrever("gbak.exe", "");  // a zero-byte file counts as present
  Escrever("kvcrypt.dll", "old");
  Criar();
  EXPECT_EQ(Ler("gbak.exe"), "");
  EXPECT_EQ(Ler("kvcrypt.dll"), "old");
  const auto data = fs::last_write_time("libxml2.dll");
  objeto.reset();
  fs::remove("pt-BR.dll");
  Criar();
  EXPECT_EQ(fs::last_write_time("libxml2.dll"), data);
  EXPECT_TRUE(fs::exists("pt-BR.dll"));
}

TEST_F(Base, AFolderUnderATargetNameStopsProvisioningWithTheCreateError) {
  fs::create_directory("gbak.exe");
  try {
    Criar();
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.ClassName(), "EFCreateError");
    EXPECT_NE(std::string(e.what()).find("Unable to create file \".\\gbak.exe\""),
              std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(fs::is_regular_file("kvcrypt.dll"));
  EXPECT_TRUE(fs::is_regular_file("firebird.msg"));
  EXPECT_FALSE(fs::exists("gfix.exe"));
  EXPECT_FALSE(fs::exists("fbclient.dll"));
}

TEST_F(Base, MissingResourceIsReportedAndNothingWritten) {
  Caixas caixas;
  Criar().ExtrairRecurso(".\\naoexiste.dll");
  ASSERT_EQ(caixas.vistas.size(), 1u);
  EXPECT_EQ(caixas.vistas[0].informativo,
            QString::fromUtf8("O resource naoexiste não foi encontrado!"));
  EXPECT_FALSE(fs::exists("naoexiste.dll"));
}

TEST_F(Base, ResourceNameIgnoresCaseAndDropsEveryExtension) {
  Criar();
  fs::remove("libssl-1_1.dll");
  objeto->ExtrairRecurso(".\\LIBSSL-1_1.DLL");
  // Case-insensitive file systems aside, the bytes are the store's.
  EXPECT_EQ(Ler("LIBSSL-1_1.DLL"),
            std::string(TListaRecursos::Instancia().Encontrar("libssl-1_1")->Valor));
}

TEST_F(Base, QtDialogTextsArePortugueseAfterConstruction) {
  Criar();
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Sim");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancelar");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "N&o to All"),
            QString::fromUtf8("N&ão para todos"));
  EXPECT_EQ(QCoreApplication::translate("QMessageBox", "Show Details..."), "Mostrar detalhes...");
  QMessageBox caixa(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(caixa.button(QMessageBox::Yes)->text(), "&Sim");
  EXPECT_EQ(caixa.button(QMessageBox::No)->text(), QString::fromUtf8("&Não"));
  // The window's own designed texts are not the toolkit's.
  EXPECT_EQ(QCoreApplication::translate("TFormAtualiza", "Cancel"), "Cancel");
  objeto.reset();
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Yes");
}

TEST_F(Base, UnhandledErrorGivesOneThreeLineEntryAndOneBox) {
  Escrever("Temp.txt", "left over");
  Escrever("Log_Erros.txt", "old entry\nsecond\r\n");
  Criar();
  Caixas caixas;
  TKVAplicacao::Instancia()->OnException = [this](QObject* s, const std::exception& e) {
    objeto->TratarErro(s, e);
  };
  Falhador falhador;
  QEvent evento(QEvent::User);
  QCoreApplication::sendEvent(&falhador, &evento);
  TKVAplicacao::Instancia()->OnException = nullptr;

  EXPECT_FALSE(fs::exists("Temp.txt"));
  const std::string log = Ler("Log_Erros.txt");
  const QRegularExpression entrada(
      "^old entry\r\nsecond\r\n\\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d >> "
      "EFileNotFoundException >> File not found\r\n\r\n={64}\r\n$");
  EXPECT_TRUE(entrada.match(QString::fromStdString(log)).hasMatch()) << log;
  ASSERT_EQ(caixas.vistas.size(), 1u);
  const Caixa& c = caixas.vistas[0];
  EXPECT_EQ(c.titulo, QString::fromUtf8("Atenção"));
  EXPECT_EQ(c.texto, "Aviso!");
  EXPECT_EQ(c.informativo, "EFileNotFoundException >> File not found");
  EXPECT_EQ(c.icone, QMessageBox::Warning);
  EXPECT_EQ(c.botoes.size(), 1);
}

TEST_F(Base, SilentAbortReachesNoHandler) {
  int chamadas = 0;
  TKVAplicacao::Instancia()->OnException = [&](QObject*, const std::exception&) { ++chamadas; };
  class Cancelador : public QObject {
   public:
    bool event(QEvent*) override { throw EAbort(""); }
  } cancelador;
  QEvent evento(QEvent::User);
  QCoreApplication::sendEvent(&cancelador, &evento);
  TKVAplicacao::Instancia()->OnException = nullptr;
  EXPECT_EQ(chamadas, 0);
}

TEST_F(Base, GravarLogAppendsTwoDatedLines) {
  Criar();
  objeto->GravarLog(".\\log_API.log", "Erro: primeiro");
  objeto->GravarLog(".\\log_API.log", "Erro: segundo");
  const QRegularExpression duas(
      "^(Data: \\d\\d/\\d\\d/\\d{4}( \\d\\d:\\d\\d:\\d\\d)?\r\nErro: (primeiro|segundo)\r\n){2}$");
  const std::string log = Ler("log_API.log");
  EXPECT_TRUE(duas.match(QString::fromStdString(log)).hasMatch()) << log;
  EXPECT_LT(log.find("primeiro"), log.find("segundo"));
}

TEST_F(Base, HashArquivoGivesTheStandardDigests) {
  Criar();
  Escrever("vazio", "");
  Escrever("abc", "abc");
  Escrever("grande", std::string(3 * 65536 + 7, 'a'));
  EXPECT_EQ(objeto->HashArquivo(".\\vazio"), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(objeto->HashArquivo(".\\abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(objeto->HashArquivo(".\\grande").size(), 40u);
  for (const char* ausente : {".\\nada.exe", "."}) {
    try {
      objeto->HashArquivo(ausente);
      FAIL() << ausente;
    } catch (const EFileNotFoundException& e) {
      EXPECT_STREQ(e.what(), "File not found");
    }
  }
}

struct CasoLinha {
  const char* nome;
  const char* comando;
  const char* linha;
};

class LinhaComando : public ::testing::TestWithParam<CasoLinha> {};

TEST_P(LinhaComando, QuotesOnlyABlankWithoutDoubleQuote) {
  EXPECT_EQ(plataforma::LinhaComandoInterpretador(GetParam().comando), GetParam().linha);
}

INSTANTIATE_TEST_SUITE_P(Casos, LinhaComando,
                         ::testing::Values(CasoLinha{"SemBranco", "dir", "cmd /c dir"},
                                           CasoLinha{"ComBranco", "taskkill /f /im Mercanta.exe",
                                                     "cmd /c \"taskkill /f /im Mercanta.exe\""},
                                           CasoLinha{"ComAspas", "start \"x y\"",
                                                     "cmd /c start \"x y\""}),
                         [](const auto& caso) { return std::string(caso.param.nome); });

TEST_F(Base, ExecutarComandoReportsTheExitStatus) {
  Criar();
  EXPECT_TRUE(objeto->ExecutarComando("echo feito > saida.txt", false, true));
  EXPECT_EQ(Ler("saida.txt"), "feito\n");
  EXPECT_FALSE(objeto->ExecutarComando("exit 3", false, true));
  EXPECT_FALSE(objeto->ExecutarComando("true", false, false));  // not waited for
}
