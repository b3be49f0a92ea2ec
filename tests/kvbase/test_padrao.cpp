// The base form: construction, frame, background, keys, activation, placement, field handlers.
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "Erros.h"
#include "PastaTeste.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"
#include "TKVPadrao.h"
#include "fixtures/ui_FormTeste.h"
#include "payload/TListaRecursos.h"

namespace {

class TFormTeste : public TKVPadrao {
  Q_OBJECT
 public:
  // `depoisDoLayout` runs right after the designed layout, before the base settings.
  explicit TFormTeste(std::function<void(Ui::FormTeste&)> depoisDoLayout = {},
                      bool comLayout = true) {
    if (!comLayout) {
      Construir({});
      return;
    }
    Construir([this, &depoisDoLayout] {
      FUi.setupUi(this);
      if (depoisDoLayout) depoisDoLayout(FUi);
    });
  }
  ~TFormTeste() override { Destruir(); }

  Ui::FormTeste FUi;
  int Ativacoes = 0;
  QString TextoNaCriacao;

 public slots:
  void Ativou() { ++Ativacoes; }
  void Criou() { TextoNaCriacao = FUi.EditValor->text(); }
};

bool Ativar(QWidget& janela) {
  janela.show();
  janela.activateWindow();
  QApplication::setActiveWindow(&janela);
  return QTest::qWaitForWindowActive(&janela);
}

// Records the texts of the message boxes instead of showing them.
class Caixas {
 public:
  Caixas() {
    TKVAplicacao::Instancia()->RespostaTeste = [this](QMessageBox& c) {
      textos.push_back(c.text() + " | " + c.informativeText());
    };
  }
  ~Caixas() { TKVAplicacao::Instancia()->RespostaTeste = nullptr; }
  QStringList textos;
};

class Padrao : public PastaTeste {
 protected:
  void SetUp() override {
    PastaTeste::SetUp();
    ObjBase = new TKVBase();
  }
  void TearDown() override {
    form.reset();
    delete ObjBase;
    ObjBase = nullptr;
    PastaTeste::TearDown();
  }
  TFormTeste& Abrir(std::function<void(Ui::FormTeste&)> depois = {}) {
    form = std::make_unique<TFormTeste>(std::move(depois));
    EXPECT_TRUE(Ativar(*form));
    return *form;
  }
  // Types on the widget that has the focus, as the keyboard does.
  void Teclar(Qt::Key tecla, const QString& texto = {}) {
    QWidget* alvo = QApplication::focusWidget();
    ASSERT_NE(alvo, nullptr);
    QKeyEvent baixa(QEvent::KeyPress, tecla, Qt::NoModifier, texto);
    QApplication::sendEvent(alvo, &baixa);
    QKeyEvent solta(QEvent::KeyRelease, tecla, Qt::NoModifier, texto);
    QApplication::sendEvent(alvo, &solta);
  }
  void Focar(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([w] { return w->hasFocus(); }, 2000));
  }
  Caixas caixas;
  std::unique_ptr<TFormTeste> form;
};

TEST_F(Padrao, EditBoxesHoldUpperCaseBeforeOnCreateRuns) {
  TFormTeste& f = Abrir();
  EXPECT_EQ(f.TextoNaCriacao, QString::fromUtf8("RUA DA ESTAÇÃO"));
  Focar(f.FUi.EditCampo);
  QTest::keyClicks(f.FUi.EditCampo, "abc");
  EXPECT_EQ(f.FUi.EditCampo->text(), "ABC");
  f.FUi.EditCampo->setText("mixed Case");
  EXPECT_EQ(f.FUi.EditCampo->text(), "MIXED CASE");
}

TEST_F(Padrao, FixedFrameWithMinimiseButNoMaximise) {
  TFormTeste& f = Abrir();
  const Qt::WindowFlags flags = f.windowFlags();
  EXPECT_TRUE(f.isWindow());
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_EQ(f.minimumSize(), QSize(320, 240));
  EXPECT_EQ(f.maximumSize(), QSize(320, 240));
}

TEST_F(Padrao, AFormWithAParentIsCentredOverItsWindow) {
  QWidget principal;
  principal.setGeometry(100, 50, 600, 400);
  ASSERT_TRUE(Ativar(principal));
  form = std::make_unique<TFormTeste>();
  form->setParent(&principal, form->windowFlags());
  ASSERT_TRUE(Ativar(*form));
  EXPECT_TRUE(form->isWindow());
  const QRect area = principal.frameGeometry();
  EXPECT_EQ(form->pos(),
            QPoint(area.x() + (area.width() - 320) / 2, area.y() + (area.height() - 240) / 2));
  form.reset();
}

TEST_F(Padrao, GridsBecomeReadOnlyRowSelectors) {
  QTableView& grade = *Abrir().FUi.Grade;
  EXPECT_EQ(grade.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(grade.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(grade.selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(grade.horizontalHeader()->sectionsMovable());
  EXPECT_EQ(grade.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  EXPECT_EQ(grade.verticalHeader()->defaultSectionSize(), 15);
  EXPECT_TRUE(grade.showGrid());
}

TEST_F(Padrao, BackgroundIsStretchedOverTheClientArea) {
  TFormTeste& f = Abrir();
  const TRecurso* fundo = TListaRecursos::Instancia().Encontrar("fundo");
  ASSERT_NE(fundo, nullptr);
  QPixmap figura;
  ASSERT_TRUE(figura.loadFromData(reinterpret_cast<const uchar*>(fundo->Valor.data()),
                                  static_cast<uint>(fundo->Valor.size()), "PNG"));
  QImage esperado(f.size(), QImage::Format_RGB32);
  esperado.fill(f.palette().color(QPalette::Window));  // the picture has transparent parts
  QPainter(&esperado).drawPixmap(esperado.rect(), figura);
  const QImage tela = f.grab().toImage();
  // Points where no control covers the form.
  for (QPoint p : {QPoint(5, 5), QPoint(315, 70), QPoint(160, 232), QPoint(305, 195)}) {
    const QColor a = tela.pixelColor(p), b = esperado.pixelColor(p);
    EXPECT_EQ(a, b) << p.x() << "," << p.y();
  }
}

TEST_F(Padrao, ConstructionRefusesFormsWithoutLayoutOrWithUnknownHandlers) {
  try {
    TFormTeste semLayout({}, false);
    FAIL() << "built without a layout";
  } catch (const EKVErro& e) {
    EXPECT_STREQ(e.what(), "Form resource not found for class TFormTeste");
  }
  try {
    TFormTeste ruim([](Ui::FormTeste& ui) { ui.EditCampo->setProperty("OnExit", "PadraoNada"); });
    FAIL() << "built with a binding to a missing handler";
  } catch (const EKVErro& e) {
    EXPECT_STREQ(e.what(), "Handler PadraoNada(QObject*) of EditCampo not found in TFormTeste");
  }
}

TEST_F(Padrao, OnActivateRunsOnlyOnTheFirstActivation) {
  TFormTeste& f = Abrir();
  EXPECT_EQ(f.Ativacoes, 1);
  QWidget outra;
  ASSERT_TRUE(Ativar(outra));
  ASSERT_TRUE(Ativar(f));
  EXPECT_EQ(f.Ativacoes, 1);
}

struct CasoEscape {
  const char* nome;
  std::function<void(Ui::FormTeste&)> preparar;
  bool cancelarClicado;
  bool fechou;
};

class Escape : public Padrao, public ::testing::WithParamInterface<CasoEscape> {};

TEST_P(Escape, ClicksAnEnabledCancelButtonOrCloses) {
  TFormTeste& f = Abrir(GetParam().preparar);
  int cliques = 0;
  for (auto* b : f.findChildren<QAbstractButton*>()) {
    QObject::connect(b, &QAbstractButton::clicked, [&cliques, b] {
      if (b->objectName() == "btnCancelar") ++cliques;
    });
  }
  Focar(f.FUi.EditCampo);
  Teclar(Qt::Key_Escape, "\x1b");
  EXPECT_EQ(cliques, GetParam().cancelarClicado ? 1 : 0);
  EXPECT_EQ(!f.isVisible(), GetParam().fechou);
}

INSTANTIATE_TEST_SUITE_P(
    Padrao, Escape,
    ::testing::Values(CasoEscape{"Habilitado", {}, true, false},
                      CasoEscape{"Desabilitado",
                                 [](Ui::FormTeste& ui) { ui.btnCancelar->setEnabled(false); },
                                 false, true},
                      CasoEscape{"Ausente",
                                 [](Ui::FormTeste& ui) { ui.btnCancelar->setObjectName("btnOk"); },
                                 false, true},
                      CasoEscape{"SoBotaoDeImagem",
                                 [](Ui::FormTeste& ui) {
                                   ui.btnCancelar->setObjectName("btnOk");
                                   ui.btnExcluirImagem->setObjectName("btnCancelar");
                                 },
                                 false, true}),
    [](const auto& linha) { return std::string(linha.param.nome); });

using Controle = std::function<QWidget*(Ui::FormTeste&)>;

struct CasoEnter {
  const char* nome;
  Controle origem, destino;
};

class Enter : public Padrao, public ::testing::WithParamInterface<CasoEnter> {};

TEST_P(Enter, MovesToTheNextTabStopUnlessAButtonOrMemoHasTheFocus) {
  TFormTeste& f = Abrir();
  Focar(GetParam().origem(f.FUi));
  Teclar(Qt::Key_Return, "\r");
  EXPECT_EQ(QApplication::focusWidget(), GetParam().destino(f.FUi));
}

const Controle kEditCampo = [](Ui::FormTeste& ui) -> QWidget* { return ui.EditCampo; };
const Controle kCombo = [](Ui::FormTeste& ui) -> QWidget* { return ui.ComboBusca; };
const Controle kMemo = [](Ui::FormTeste& ui) -> QWidget* { return ui.Memo; };
const Controle kBotao = [](Ui::FormTeste& ui) -> QWidget* { return ui.btnExcluir; };
const Controle kImagem = [](Ui::FormTeste& ui) -> QWidget* { return ui.btnExcluirImagem; };
const Controle kPrimeiro = [](Ui::FormTeste& ui) -> QWidget* { return ui.EditValor; };

INSTANTIATE_TEST_SUITE_P(Padrao, Enter,
                         ::testing::Values(CasoEnter{"EditBox", kEditCampo, kCombo},
                                           CasoEnter{"ComboBox", kCombo, kMemo},
                                           CasoEnter{"Memo", kMemo, kMemo},
                                           CasoEnter{"Button", kBotao, kBotao},
                                           CasoEnter{"ToolButton", kImagem, kImagem}),
                         [](const auto& linha) { return std::string(linha.param.nome); });

TEST_F(Padrao, TypeAheadSelectsByPrefixAndStartsOverASecondLater) {
  TFormTeste& f = Abrir();
  QComboBox& combo = *f.FUi.ComboBusca;
  Focar(&combo);
  Teclar(Qt::Key_B, "b");
  EXPECT_EQ(combo.currentText(), "BETA");
  Teclar(Qt::Key_R, "r");
  EXPECT_EQ(combo.currentText(), "BRAVO");
  Teclar(Qt::Key_X, "x");
  EXPECT_EQ(f.Busca(), "BRX");
  EXPECT_EQ(combo.currentText(), "BRAVO");  // no match keeps the selection
  ASSERT_TRUE(QTest::qWaitFor([&f] { return f.Busca().empty(); }, 2000));
  Teclar(Qt::Key_A, "a");
  EXPECT_EQ(combo.currentText(), "ALFA");
}

TEST_F(Padrao, TypeAheadBufferEmptiesOneSecondAfterTheFirstKeyNotTheLast) {
  TFormTeste& f = Abrir();
  QComboBox& combo = *f.FUi.ComboBusca;
  Focar(&combo);
  Teclar(Qt::Key_B, "b");
  QTest::qWait(600);
  Teclar(Qt::Key_R, "r");
  EXPECT_EQ(combo.currentText(), "BRAVO");
  QTest::qWait(600);
  Teclar(Qt::Key_A, "a");
  EXPECT_EQ(combo.currentText(), "ALFA");
}

TEST_F(Padrao, TypeAheadCleansTheCharacterAndAnEmptyBufferMatchesTheFirstItem) {
  TFormTeste& f = Abrir();
  QComboBox& combo = *f.FUi.ComboBusca;
  combo.setCurrentIndex(2);
  Focar(&combo);
  Teclar(Qt::Key_Space, " ");
  EXPECT_EQ(f.Busca(), "");
  EXPECT_EQ(combo.currentText(), "ALFA");
  Teclar(Qt::Key_Ampersand, "&");
  EXPECT_EQ(f.Busca(), "E");
}

struct CasoExcluir {
  const char* nome;
  std::function<void(Ui::FormTeste&)> preparar;
  bool naGrade;
  int cliquesBotao, cliquesImagem;
};

class Excluir : public Padrao, public ::testing::WithParamInterface<CasoExcluir> {};

TEST_P(Excluir, DeleteOnAFocusedGridClicksTheEnabledDeleteButtons) {
  TFormTeste& f = Abrir([&](Ui::FormTeste& ui) {
    ui.btnExcluirImagem->setObjectName("btnExcluir");
    if (GetParam().preparar) GetParam().preparar(ui);
  });
  int botao = 0, imagem = 0;
  QObject::connect(f.FUi.btnExcluir, &QPushButton::clicked, [&botao] { ++botao; });
  QObject::connect(f.FUi.btnExcluirImagem, &QToolButton::clicked, [&imagem] { ++imagem; });
  Focar(GetParam().naGrade ? static_cast<QWidget*>(f.FUi.Grade) : f.FUi.EditCampo);
  Teclar(Qt::Key_Delete, "\x7f");
  EXPECT_EQ(botao, GetParam().cliquesBotao);
  EXPECT_EQ(imagem, GetParam().cliquesImagem);
}

INSTANTIATE_TEST_SUITE_P(Padrao, Excluir,
                         ::testing::Values(CasoExcluir{"Ambos", {}, true, 1, 1},
                                           CasoExcluir{"BotaoDesabilitado",
                                                       [](Ui::FormTeste& ui) {
                                                         ui.btnExcluir->setEnabled(false);
                                                       },
                                                       true, 0, 1},
                                           CasoExcluir{"FocoForaDaGrade", {}, false, 0, 0}),
                         [](const auto& linha) { return std::string(linha.param.nome); });

struct CasoPosicao {
  const char* nome;
  int topoPedido;  // relative to the screen's bottom when negative
  bool donoComMenu;
  int topoForm, topoDono;  // relative to the screen's bottom when negative
};

class Posicao : public Padrao, public ::testing::WithParamInterface<CasoPosicao> {};

TEST_P(Posicao, DonoFollowsTheFormThatComesBackOnScreen) {
  const CasoPosicao& c = GetParam();
  const int H = QGuiApplication::primaryScreen()->geometry().height();
  const auto absoluto = [H](int y) { return y < 0 ? H + y : y; };
  TFormTeste& f = Abrir();
  QWidget dono;
  dono.resize(100, 80);
  if (c.donoComMenu) new QMenuBar(&dono);
  dono.show();
  f.Dono = &dono;
  f.move(50, absoluto(c.topoPedido));
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.y() == absoluto(c.topoForm); }, 2000)) << f.y();
  EXPECT_TRUE(QTest::qWaitFor([&] { return dono.y() == absoluto(c.topoDono); }, 2000)) << dono.y();
  EXPECT_EQ(dono.x(), static_cast<int>(f.width() * 0.5 + f.x()) - 50);
}

// The form is 240 high and Dono 80: centred, Dono's top is the form's top + 80.
INSTANTIATE_TEST_SUITE_P(Padrao, Posicao,
                         ::testing::Values(CasoPosicao{"AcimaDaTela", -9999, false, 0, 80},
                                           CasoPosicao{"AcimaDaTelaComMenu", -9999, true, 0, 70},
                                           CasoPosicao{"SoCinquentaVisiveis", -50, false, -60, -70},
                                           CasoPosicao{"DentroDaTela", 100, true, 100, 170}),
                         [](const auto& linha) { return std::string(linha.param.nome); });

TEST_F(Padrao, KeyHandlerFiltersWhatReachesTheBox) {
  TFormTeste& f = Abrir();
  f.FUi.EditValor->clear();
  Focar(f.FUi.EditValor);
  Teclar(Qt::Key_1, "1");
  Teclar(Qt::Key_Period, ".");
  Teclar(Qt::Key_5, "5");
  Teclar(Qt::Key_A, "a");
  Teclar(Qt::Key_Minus, "-");
  EXPECT_EQ(f.FUi.EditValor->text(), "1,5-");
  Teclar(Qt::Key_Backspace, "\b");
  EXPECT_EQ(f.FUi.EditValor->text(), "1,5");
}

TEST_F(Padrao, ExitHandlerRunsWhenTheFocusMovesOn) {
  TFormTeste& f = Abrir();
  f.FUi.EditValor->setText("12,5");
  Focar(f.FUi.EditValor);
  Focar(f.FUi.EditCampo);
  EXPECT_EQ(f.FUi.EditValor->text(), "12,50");
  f.FUi.EditValor->clear();
  Focar(f.FUi.EditValor);
  Focar(f.FUi.EditCampo);
  EXPECT_EQ(f.FUi.EditValor->text(), "0,00");
}

struct CasoSaida {
  const char* handler;
  const char* texto;
  const char* esperado;
};

class Saida : public Padrao, public ::testing::WithParamInterface<CasoSaida> {};

TEST_P(Saida, ExitHandlerRewritesTheBox) {
  TFormTeste& f = Abrir();
  QLineEdit& edit = *f.FUi.EditCampo;
  edit.setText(QString::fromUtf8(GetParam().texto));
  ASSERT_TRUE(QMetaObject::invokeMethod(&f, GetParam().handler, Q_ARG(QObject*, &edit)));
  EXPECT_EQ(edit.text(), QString::fromUtf8(GetParam().esperado));
}

INSTANTIATE_TEST_SUITE_P(
    Padrao, Saida,
    ::testing::Values(
        CasoSaida{"PadraoValorExit", "12,5", "12,50"},
        CasoSaida{"PadraoValorExit", "1.234,56", "0,00"}, CasoSaida{"PadraoQTDExit", "3", "3,0000"},
        CasoSaida{"PadraoPesoExit", "0,0625", "0,062"}, CasoSaida{"PadraoNumeroExit", "2,5", "2"},
        CasoSaida{"PadraoFoneExit", "01133334444", "(11) 3333-4444"},
        CasoSaida{"PadraoFoneExit", "0800-123-4567", "0800-123-4567"},
        CasoSaida{"PadraoCEP_Exit", "1310-100", "01310-100"},
        CasoSaida{"PadraoCEP_Exit", "", "00000-000"},
        CasoSaida{"PadraoCNPJ_CPF_Exit", "12312312000110", "12.312.312/0001-10"},
        CasoSaida{"PadraoTextoExit", "  RUA  DA~ ESTA^CAO & CIA", "RUA DA ESTACAO E CIA"}),
    [](const auto& linha) {
      return std::string(linha.param.handler) + "_" + std::to_string(linha.index);
    });

TEST_F(Padrao, TaxIdentifierBoxIsColouredByItsCheckDigits) {
  TFormTeste& f = Abrir();
  QLineEdit& edit = *f.FUi.EditCampo;
  for (auto [texto, cor] : {std::pair{"12312312387", QColor(239, 251, 239)},
                            std::pair{"123.123.123-88", QColor(245, 169, 169)},
                            std::pair{"1234", QColor(245, 169, 169)}}) {
    edit.setText(texto);
    f.PadraoCNPJ_CPF_Exit(&edit);
    EXPECT_EQ(edit.palette().color(QPalette::Base), cor) << texto;
  }
  EXPECT_EQ(edit.text(), "");
}

TEST_F(Padrao, ExitHandlersRefuseASenderThatIsNotAnEditBox) {
  TFormTeste& f = Abrir();
  for (const char* handler :
       {"PadraoValorExit", "PadraoQTDExit", "PadraoPesoExit", "PadraoNumeroExit", "PadraoFoneExit",
        "PadraoCEP_Exit", "PadraoCNPJ_CPF_Exit", "PadraoTextoExit"}) {
    try {
      QMetaObject::invokeMethod(&f, handler, Q_ARG(QObject*, f.FUi.btnExcluir));
      ADD_FAILURE() << handler << " accepted a push button";
    } catch (const EInvalidCast& e) {
      EXPECT_STREQ(e.what(), "Invalid type cast") << handler;
    }
  }
}

TEST_F(Padrao, AFailingExitHandlerReachesTheErrorHandlerAndKeepsTheText) {
  TFormTeste& f =
      Abrir([](Ui::FormTeste& ui) { ui.EditCampo->setProperty("OnExit", "PadraoCEP_Exit"); });
  f.FUi.EditCampo->setText("12345678901");
  Focar(f.FUi.EditCampo);
  Focar(f.FUi.EditValor);
  EXPECT_EQ(f.FUi.EditCampo->text(), "12345678901");
  ASSERT_EQ(caixas.textos.size(), 1);
  EXPECT_TRUE(caixas.textos[0].startsWith("EConvertError >> ")) << caixas.textos[0].toStdString();
}

}  // namespace

#include "test_padrao.moc"
