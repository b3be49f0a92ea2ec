// The main window as it is created: controls, heading, tab order, background, Escape, DPI,
// and the life of ObjBase.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>

#include "AmbienteJanela.h"
#include "Erros.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"
#include "payload/TListaRecursos.h"

namespace {

class JanelaPrincipal : public AmbienteJanela {};

struct CasoControle {
  const char* nome;
  const char* classe;
  QRect geometria;  // width 0: sized to its text
  const char* texto;
  bool visivel;
};

class Controles : public JanelaPrincipal, public ::testing::WithParamInterface<CasoControle> {};

QString Texto(QWidget& w) {
  if (auto* l = qobject_cast<QLabel*>(&w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(&w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(&w)) return g->title();
  return {};
}

TEST_P(Controles, HaveTheDesignedKindPlaceTextAndState) {
  const CasoControle& c = GetParam();
  Criar();
  QWidget& w = Controle<QWidget>(c.nome);
  EXPECT_TRUE(w.inherits(c.classe));
  EXPECT_EQ(w.parentWidget(), Janela.get());
  EXPECT_EQ(w.pos(), c.geometria.topLeft());
  EXPECT_EQ(w.height(), c.geometria.height());
  EXPECT_EQ(w.width(), c.geometria.width() ? c.geometria.width() : w.sizeHint().width());
  EXPECT_EQ(Texto(w), QString::fromUtf8(c.texto));
  EXPECT_EQ(!w.isHidden(), c.visivel);
  EXPECT_TRUE(w.isEnabled());
}

// Creation (stacking) order of the design.
const CasoControle kControles[] = {
    {"btnInstalar", "QPushButton", {248, 160, 163, 25}, "Instalar", true},
    {"RadioGroupFirebird", "QGroupBox", {13, 112, 371, 39}, "Firebird 3.0", true},
    {"LabelVersaoAtual", "QLabel", {13, 72, 0, 15}, "Versão Atual", true},
    {"LabelVersaoInstalada", "QLabel", {13, 29, 0, 15}, "Versão Instalada", true},
    {"Barra", "QProgressBar", {0, 190, 424, 8}, "", false},
    {"LabelSha1Atual", "QLabel", {13, 88, 0, 15}, "Hash:", true},
    {"LabelSha1Instalado", "QLabel", {13, 45, 0, 15}, "Hash:", true},
    {"CheckBoxSchemas", "QCheckBox", {134, 166, 0, 19}, "Schemas", true},
    {"LabelStatus", "QLabel", {13, 0, 398, 27}, "Instalador KV Mercanta", true},
    {"ImageFeitoSchemas", "QLabel", {203, 166, 19, 19}, "", false},
    {"ImageFeitoFirebird", "QLabel", {392, 125, 19, 19}, "", false},
    {"ImageFeitoApp", "QLabel", {392, 84, 19, 19}, "", false},
    {"CheckBoxMercanta", "QCheckBox", {13, 166, 0, 19}, "Mercanta.exe", true},
};

INSTANTIATE_TEST_SUITE_P(JanelaPrincipal, Controles, ::testing::ValuesIn(kControles),
                         [](const auto& linha) { return std::string(linha.param.nome); });

TEST_F(JanelaPrincipal, ControlsAreCreatedInTheDesignedOrder) {
  Criar();
  QStringList ordem;
  for (QObject* filho : Janela->children()) {
    if (filho->isWidgetType() && !filho->objectName().startsWith("_")) {
      ordem << filho->objectName();
    }
  }
  QStringList esperada;
  for (const auto& c : kControles) esperada << c.nome;
  EXPECT_EQ(ordem, esperada);
}

TEST_F(JanelaPrincipal, AfterCreationTheWindowIsReadyForTheStatusCheck) {
  TFormAtualiza& j = Criar();
  EXPECT_EQ(j.windowTitle(), "Instalador Ver. 1.1");
  EXPECT_EQ(j.size(), QSize(424, 198));
  EXPECT_FALSE(j.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(j.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(Controle<QRadioButton>("RadioNenhum").isChecked());
  EXPECT_FALSE(Controle<QCheckBox>("CheckBoxSchemas").isChecked());
  EXPECT_FALSE(Controle<QCheckBox>("CheckBoxMercanta").isChecked());
  auto& barra = Controle<QProgressBar>("Barra");
  EXPECT_EQ(barra.minimum(), 0);
  EXPECT_EQ(barra.maximum(), 100);
  EXPECT_EQ(barra.value(), 0);
  EXPECT_EQ(barra.focusPolicy(), Qt::NoFocus);
  ASSERT_NE(ObjBase, nullptr);
  EXPECT_TRUE(std::filesystem::exists("fbclient.dll"));
  EXPECT_TRUE(TKVAplicacao::Instancia()->OnException);
}

TEST_F(JanelaPrincipal, TheWindowIsCentredOnTheScreenAndFixedInSize) {
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  const QRect tela = Janela->screen()->availableGeometry();
  EXPECT_EQ(Janela->pos(),
            QPoint(tela.x() + (tela.width() - 424) / 2, tela.y() + (tela.height() - 198) / 2));
  EXPECT_NE(Janela->pos(), QPoint(862, 293));
  EXPECT_EQ(Janela->minimumSize(), Janela->maximumSize());
}

TEST_F(JanelaPrincipal, HeadingIsBoldSixteenPixelsBlackAndCentred) {
  Criar();
  auto& titulo = Controle<QLabel>("LabelStatus");
  const QFontInfo fonte(titulo.font());
  EXPECT_EQ(fonte.pixelSize(), 16);
  EXPECT_TRUE(fonte.bold());
  EXPECT_FALSE(fonte.fixedPitch());
  EXPECT_EQ(titulo.font().families().value(0), "Segoe UI Semibold");
  EXPECT_EQ(titulo.palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_EQ(titulo.alignment(), Qt::AlignCenter);
  // The other texts keep the window's font.
  EXPECT_EQ(Controle<QLabel>("LabelVersaoAtual").font(), Janela->font());
}

TEST_F(JanelaPrincipal, FirebirdItemsShareOneRowInEqualWidths) {
  Criar();
  Ativar(*Janela);
  auto& grupo = Controle<QGroupBox>("RadioGroupFirebird");
  const auto itens = grupo.findChildren<QRadioButton*>();
  ASSERT_EQ(itens.size(), 4);
  const char* textos[] = {"Nenhum", "Embarcado", "Instalado", "Apenas Rede"};
  // The spacing is measured inside the group's frame, as the children's area.
  const QRect area = grupo.contentsRect();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(itens[i]->text(), textos[i]);
    EXPECT_EQ(itens[i]->y(), itens[0]->y());
    EXPECT_NEAR(itens[i]->width(), (area.width() - 12) / 4.0, 1.0);
  }
  EXPECT_EQ(itens[0]->x(), area.left() + 6);
  EXPECT_EQ(itens[3]->geometry().right(), area.right() - 6);
}

TEST_F(JanelaPrincipal, CheckMarksShowTheTwentyFivePixelPictureAtNineteen) {
  Criar();
  for (const char* nome : {"ImageFeitoSchemas", "ImageFeitoFirebird", "ImageFeitoApp"}) {
    auto& marca = Controle<QLabel>(nome);
    EXPECT_EQ(marca.pixmap().size(), QSize(25, 25)) << nome;
    EXPECT_TRUE(marca.pixmap().hasAlphaChannel()) << nome;
    EXPECT_TRUE(marca.hasScaledContents()) << nome;
    EXPECT_EQ(marca.size(), QSize(19, 19)) << nome;
  }
}

TEST_F(JanelaPrincipal, TabVisitsRadioGroupSchemasInstalarMercantaAndSkipsTheBar) {
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  Controle<QRadioButton>("RadioNenhum").setFocus(Qt::TabFocusReason);
  QStringList visitados;
  for (int i = 0; i < 5; ++i) {
    visitados << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visitados, QStringList({"RadioNenhum", "CheckBoxSchemas", "btnInstalar",
                                    "CheckBoxMercanta", "RadioNenhum"}));
}

TEST_F(JanelaPrincipal, BackgroundIsDrawnUnderTheControls) {
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  const TRecurso* fundo = TListaRecursos::Instancia().Encontrar("fundo");
  ASSERT_NE(fundo, nullptr);
  QPixmap figura;
  ASSERT_TRUE(figura.loadFromData(reinterpret_cast<const uchar*>(fundo->Valor.data()),
                                  static_cast<uint>(fundo->Valor.size()), "PNG"));
  QImage esperado(Janela->size(), QImage::Format_RGB32);
  esperado.fill(Janela->palette().color(QPalette::Window));
  QPainter(&esperado).drawPixmap(esperado.rect(), figura);
  const QImage tela = Janela->grab().toImage();
  for (QPoint p : {QPoint(5, 20), QPoint(300, 60), QPoint(410, 150), QPoint(100, 100)}) {
    EXPECT_EQ(tela.pixelColor(p), esperado.pixelColor(p)) << p.x() << "," << p.y();
  }
}

TEST_F(JanelaPrincipal, EscapeEndsTheProgram) {
  Criar();
  ASSERT_TRUE(Ativar(*Janela));
  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
  QTimer guarda;
  guarda.setSingleShot(true);
  QObject::connect(&guarda, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guarda.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(Janela->isVisible());
}

TEST_F(JanelaPrincipal, ObjBaseLivesAsLongAsTheWindow) {
  Criar();
  EXPECT_NE(ObjBase, nullptr);
  Janela.reset();
  EXPECT_EQ(ObjBase, nullptr);
  EXPECT_FALSE(TKVAplicacao::Instancia()->OnException);
}

TEST_F(JanelaPrincipal, WhenObjBaseCannotBeCreatedTheErrorIsShownAndTheProgramEnds) {
  std::filesystem::create_directory("logo300x300.bmp");
  EXPECT_THROW(Criar(), EAbort);
  EXPECT_EQ(ObjBase, nullptr);
  EXPECT_FALSE(TKVAplicacao::Instancia()->OnException);
  ASSERT_EQ(Mensagens.size(), 1u);
  EXPECT_EQ(Mensagens[0].toStdString(),
            "EFCreateError >> Unable to create file \".\\logo300x300.bmp\": Is a directory | ");
}

// Run again in a child process whose screen has 1.5 device pixels per design pixel (144 dpi).
TEST_F(JanelaPrincipal, At144DpiEveryPositionAndSizeIsOneAndAHalfTimesLarger) {
  if (qEnvironmentVariableIsSet("KV_TESTE_144DPI")) {
    Criar();
    ASSERT_TRUE(Ativar(*Janela));
    EXPECT_DOUBLE_EQ(Janela->windowHandle()->devicePixelRatio(), 1.5);
    const QImage tela = Janela->grab().toImage();
    EXPECT_EQ(tela.size(), QSize(636, 297));
    // The button's frame sits where 248,160 163x25 lands at 1.5: 372,240 244x37.
    const QRect botao = Controle<QWidget>("btnInstalar").geometry();
    EXPECT_EQ(QRectF(QPointF(botao.topLeft()) * 1.5, QSizeF(botao.size()) * 1.5),
              QRectF(372, 240, 244.5, 37.5));
    const QFontInfo titulo(Controle<QLabel>("LabelStatus").font());
    EXPECT_EQ(titulo.pixelSize() * 1.5, 24);
    return;
  }
  QProcess filho;
  auto ambiente = QProcessEnvironment::systemEnvironment();
  ambiente.insert("QT_SCALE_FACTOR", "1.5");
  ambiente.insert("KV_TESTE_144DPI", "1");
  filho.setProcessEnvironment(ambiente);
  filho.setProcessChannelMode(QProcess::MergedChannels);
  const auto* teste = ::testing::UnitTest::GetInstance()->current_test_info();
  filho.start(QCoreApplication::applicationFilePath(),
              {QString("--gtest_filter=%1.%2").arg(teste->test_suite_name(), teste->name())});
  ASSERT_TRUE(filho.waitForStarted(10000));
  if (!filho.waitForFinished(60000)) {
    filho.kill();
    filho.waitForFinished();
    FAIL() << "the child run did not end";
  }
  const QString saida = QString::fromLocal8Bit(filho.readAll());
  EXPECT_EQ(filho.exitCode(), 0) << saida.toStdString();
  EXPECT_TRUE(saida.contains("[  PASSED  ] 1 test")) << saida.toStdString();
}

}  // namespace
