#include "TKVPadrao.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Erros.h"
#include "FormatoDocumento.h"
#include "TKVBase.h"
#include "payload/TListaRecursos.h"

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QWindow>
#elif defined(KV_COM_XCB)
#include <xcb/xcb.h>

#include <QGuiApplication>
#endif

namespace {

constexpr char kPropriedadeSaida[] = "OnExit";
constexpr char kPropriedadeTecla[] = "OnKeyPress";

constexpr char32_t kEnter = 13;
constexpr char32_t kEscape = 27;

const QColor kCorValido(239, 251, 239);
const QColor kCorInvalido(245, 169, 169);

TKVBase& Base() {
  if (!ObjBase) throw EKVErro("ObjBase não foi criado");
  return *ObjBase;
}

QLineEdit& Edicao(QObject* sender) {
  auto* edit = qobject_cast<QLineEdit*>(sender);
  if (!edit) throw EInvalidCast("Invalid type cast");
  return *edit;
}

std::string Texto(const QLineEdit& edit) {
  return edit.text().toStdString();
}

void Escrever(QLineEdit& edit, const std::string& texto) {
  edit.setText(QString::fromStdString(texto));
}

// The character a key event types, or 0 for keys that type none (arrows, Delete, Tab: Tab
// belongs to the focus chain, never to a field).
char32_t Caractere(const QKeyEvent& tecla) {
  if (tecla.key() == Qt::Key_Tab || tecla.key() == Qt::Key_Backtab) return 0;
  const auto codigos = tecla.text().toUcs4();
  if (codigos.size() != 1 || codigos[0] == 127) return 0;
  return codigos[0];
}

bool EBotao(const QWidget* w) {
  return qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w);
}

bool EMemo(const QWidget* w) {
  return qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w);
}

// The combo box a focused widget belongs to (an editable combo box focuses its line edit).
QComboBox* ComboAtiva(QWidget* ativo) {
  if (auto* combo = qobject_cast<QComboBox*>(ativo)) return combo;
  if (auto* combo = ativo ? qobject_cast<QComboBox*>(ativo->parentWidget()) : nullptr) {
    if (combo->lineEdit() == ativo) return combo;
  }
  return nullptr;
}

void AjustarGrade(QTableView& grade) {
  grade.setEditTriggers(QAbstractItemView::NoEditTriggers);
  grade.setSelectionBehavior(QAbstractItemView::SelectRows);
  grade.setSelectionMode(QAbstractItemView::SingleSelection);
  grade.setShowGrid(true);
  grade.setTabKeyNavigation(true);
  grade.horizontalHeader()->setVisible(true);
  grade.horizontalHeader()->setSectionsMovable(false);
  grade.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grade.verticalHeader()->setVisible(true);
  grade.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grade.verticalHeader()->setMinimumSectionSize(1);
  grade.verticalHeader()->setDefaultSectionSize(15);
  // The selection stays as visible when the grid loses the focus.
  QPalette paleta = grade.palette();
  for (auto papel : {QPalette::Highlight, QPalette::HighlightedText}) {
    paleta.setColor(QPalette::Inactive, papel, paleta.color(QPalette::Active, papel));
  }
  grade.setPalette(paleta);
  const QFont padrao = QApplication::font(&grade);
  QFont fonte = grade.font();
  fonte.setPointSizeF(padrao.pointSizeF());
  grade.setFont(fonte);
  grade.horizontalHeader()->setFont(fonte);
}

void ManterMaiusculas(QLineEdit& edit) {
  const auto converter = [&edit](const QString& texto) {
    const QString maiusculo = texto.toUpper();
    if (maiusculo == texto) return;
    const int cursor = edit.cursorPosition();
    edit.setText(maiusculo);
    edit.setCursorPosition(std::min(cursor, static_cast<int>(maiusculo.size())));
  };
  converter(edit.text());
  QObject::connect(&edit, &QLineEdit::textChanged, &edit, converter);
}

// A window without a taskbar button that still has its minimise box: on X11 the window manager
// is asked to skip it; on Windows an owned window gets no button.
#if defined(Q_OS_WIN)
void SemBotaoNaBarra(QWidget& janela) {
  const auto hwnd = reinterpret_cast<HWND>(janela.winId());
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & ~WS_EX_APPWINDOW);
  if (GetWindow(hwnd, GW_OWNER)) return;
  // The hidden owner is a child object of the form, so it lives exactly as long.
  auto* dono = new QWindow();
  static_cast<QObject*>(dono)->setParent(&janela);
  dono->create();
  SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, static_cast<LONG_PTR>(dono->winId()));
}
#elif defined(KV_COM_XCB)
void SemBotaoNaBarra(QWidget& janela) {
  // Other platforms (offscreen) may offer the interface without an X connection.
  if (QGuiApplication::platformName() != "xcb") return;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* conexao = x11 ? x11->connection() : nullptr;
  if (!conexao) return;
  const auto atomo = [conexao](const char* nome) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> resposta(
        xcb_intern_atom_reply(conexao, xcb_intern_atom(conexao, 0, std::strlen(nome), nome),
                              nullptr),
        &std::free);
    return resposta ? resposta->atom : xcb_atom_t{XCB_ATOM_NONE};
  };
  const xcb_atom_t estado = atomo("_NET_WM_STATE");
  const xcb_atom_t pular = atomo("_NET_WM_STATE_SKIP_TASKBAR");
  if (estado == XCB_ATOM_NONE || pular == XCB_ATOM_NONE) return;
  // Set on the unmapped window; the toolkit keeps atoms it does not manage when it maps it.
  xcb_change_property(conexao, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(janela.winId()),
                      estado, XCB_ATOM_ATOM, 32, 1, &pular);
  xcb_flush(conexao);
}
#else
void SemBotaoNaBarra(QWidget&) {}
#endif

// Puts a rectangle back on the screen the way the placement rule wants it.
void TrazerParaTela(QWidget& w, int larguraTela, int alturaTela, int recuoBaixo) {
  int topo = w.y();
  int esquerda = w.x();
  if (topo < 0) topo = 0;
  if (topo + 70 > alturaTela) topo = alturaTela - recuoBaixo;
  const int terco = static_cast<int>(std::trunc(w.width() / 3.0));
  if (esquerda + terco < 0) esquerda = -terco;
  if (esquerda + w.width() > larguraTela) esquerda = larguraTela - w.width();
  if (topo != w.y() || esquerda != w.x()) w.move(esquerda, topo);
}

}  // namespace

TKVPadrao::TKVPadrao(QWidget* parent) : QWidget(parent, Qt::Window) {}

TKVPadrao::~TKVPadrao() {
  if (qApp) qApp->removeEventFilter(this);
}

void TKVPadrao::Construir(const std::function<void()>& carregarLayout) {
  if (!carregarLayout) {
    throw EKVErro(std::string("Form resource not found for class ") + metaObject()->className());
  }
  // The forms are designed in Segoe UI; where it is missing, Arial's metrics are the closest.
  for (const char* familia : {"Segoe UI", "Segoe UI Semibold"}) {
    if (QFont::substitutes(familia).isEmpty()) {
      QFont::insertSubstitutions(familia, {"Arial", "Liberation Sans", "Helvetica"});
    }
  }
  carregarLayout();

  FAtivado = false;
  Dono = nullptr;
  FBusca.clear();

  const TRecurso* fundo = TListaRecursos::Instancia().Encontrar("fundo");
  if (!fundo || !FFundo.loadFromData(reinterpret_cast<const uchar*>(fundo->Valor.data()),
                                     static_cast<uint>(fundo->Valor.size()), "PNG")) {
    throw EKVErro("Resource \"fundo\" not found");
  }

  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(size());

  FTimerBusca.setInterval(1000);
  FTimerBusca.stop();
  connect(&FTimerBusca, &QTimer::timeout, this, &TKVPadrao::LimparBusca, Qt::UniqueConnection);

  for (QObject* componente : findChildren<QObject*>()) {
    if (auto* w = qobject_cast<QWidget*>(componente); w && w->property("AutoSize").toBool()) {
      AjustarAoTexto(*w);
    }
    if (auto* grade = qobject_cast<QTableView*>(componente)) AjustarGrade(*grade);
    if (auto* edit = qobject_cast<QLineEdit*>(componente)) {
      if (ComboAtiva(edit)) continue;  // the editor inside a combo box is not an edit box
      ManterMaiusculas(*edit);
      for (const char* propriedade : {kPropriedadeSaida, kPropriedadeTecla}) {
        const QByteArray nome = edit->property(propriedade).toString().toUtf8();
        if (nome.isEmpty()) continue;
        const QByteArray assinatura =
            nome + (propriedade == kPropriedadeSaida ? "(QObject*)" : "(QObject*,char32_t&)");
        if (metaObject()->indexOfSlot(assinatura.constData()) < 0) {
          throw EKVErro("Handler " + assinatura.toStdString() + " of " +
                        edit->objectName().toStdString() + " not found in " +
                        metaObject()->className());
        }
      }
    }
  }

  qApp->installEventFilter(this);
  emit OnCreate();
}

void TKVPadrao::AjustarAoTexto(QWidget& controle) {
  controle.resize(controle.sizeHint().width(), controle.height());
}

void TKVPadrao::Destruir() {
  if (FDestruido) return;
  FDestruido = true;
  emit OnDestroy();
}

bool TKVPadrao::event(QEvent* evento) {
  if (evento->type() == QEvent::WindowActivate && !FAtivado) {
    FAtivado = true;
    const bool tratado = QWidget::event(evento);
    emit OnActivate();
    return tratado;
  }
  return QWidget::event(evento);
}

void TKVPadrao::paintEvent(QPaintEvent* evento) {
  QWidget::paintEvent(evento);
  QPainter pintor(this);
  pintor.drawPixmap(rect(), FFundo);
}

void TKVPadrao::showEvent(QShowEvent* evento) {
  QWidget::showEvent(evento);
  if (!evento->spontaneous()) SemBotaoNaBarra(*this);
  if (!FPosicionado) {
    FPosicionado = true;
    PosicionarNaTela();
  }
}

// Centred over the window that owns it, or on the screen when it is the main window.
void TKVPadrao::PosicionarNaTela() {
  QWidget* principal = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area;
  if (principal && principal->isVisible()) {
    area = principal->frameGeometry();
  } else if (QScreen* tela = screen()) {
    area = tela->availableGeometry();
  } else {
    return;
  }
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TKVPadrao::moveEvent(QMoveEvent* evento) {
  QWidget::moveEvent(evento);
  AjustarPosicao();
}

void TKVPadrao::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  AjustarPosicao();
}

void TKVPadrao::AjustarPosicao() {
  if (!Dono) return;
  const QScreen* tela = QGuiApplication::primaryScreen();
  if (!tela) return;
  const int W = tela->geometry().width();
  const int H = tela->geometry().height();
  const int a = Dono->findChild<QMenuBar*>() ? -10 : 0;

  TrazerParaTela(*this, W, H, 60);
  const int topo = static_cast<int>(std::trunc(height() * 0.5 + y())) -
                   static_cast<int>(std::trunc(Dono->height() * 0.5)) + a;
  const int esquerda = static_cast<int>(std::trunc(width() * 0.5 + x())) -
                       static_cast<int>(std::trunc(Dono->width() * 0.5));
  Dono->move(esquerda, topo);
  TrazerParaTela(*Dono, W, H, 70);
}

void TKVPadrao::LimparBusca() {
  FBusca.clear();
  FTimerBusca.stop();
}

bool TKVPadrao::eventFilter(QObject* alvo, QEvent* evento) {
  const auto tipo = evento->type();
  if (tipo != QEvent::KeyPress && tipo != QEvent::FocusOut) return false;
  auto* widget = qobject_cast<QWidget*>(alvo);
  if (!widget || widget->window() != this) return false;

  if (tipo == QEvent::FocusOut) {
    const auto motivo = static_cast<QFocusEvent*>(evento)->reason();
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (edit && motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason &&
        motivo != Qt::MenuBarFocusReason) {
      ChamarSaida(*edit);
    }
    return false;
  }

  // A key is offered once, to the widget that has the focus, not again as it travels up.
  QWidget* ativo = focusWidget();
  if (widget != (ativo ? ativo : this) || FSubstituindo) return false;
  auto& tecla = static_cast<QKeyEvent&>(*evento);
  KeyDown(ativo, tecla.key(), tecla.modifiers());
  char32_t caractere = Caractere(tecla);
  if (caractere == 0) return false;
  if (KeyPress(ativo, caractere)) return true;
  if (auto* edit = qobject_cast<QLineEdit*>(ativo)) return ChamarTecla(*edit, tecla);
  return false;
}

bool TKVPadrao::KeyPress(QWidget* ativo, char32_t& Key) {
  if (Key == kEnter) {
    if (!EBotao(ativo) && !EMemo(ativo)) focusNextChild();
    return false;
  }
  if (Key == kEscape) {
    for (QObject* componente : findChildren<QObject*>()) {
      auto* botao = qobject_cast<QPushButton*>(componente);
      if (botao && botao->objectName() == "btnCancelar" && botao->isEnabled()) {
        botao->click();
        return false;
      }
    }
    close();
    return false;
  }
  if (QComboBox* combo = ComboAtiva(ativo)) {
    const int i = BuscarItem(Key, *combo);
    if (i >= 0) combo->setCurrentIndex(i);
    Key = 0;
    return true;
  }
  return false;
}

int TKVPadrao::BuscarItem(char32_t Key, const QComboBox& combo) {
  FBusca += Base().LimparTexto(QString::fromUcs4(&Key, 1).toStdString(), true);
  int achado = -1;
  for (int i = 0; i < combo.count(); ++i) {
    const std::string inicio =
        formato::MaiusculasAscii(combo.itemText(i).toStdString().substr(0, FBusca.size()));
    if (inicio == FBusca) {
      achado = i;
      break;
    }
  }
  // Not restarted by later keys: the buffer empties a second after the first one.
  if (!FTimerBusca.isActive()) FTimerBusca.start();
  return achado;
}

void TKVPadrao::KeyDown(QWidget* ativo, int Key, Qt::KeyboardModifiers) {
  if (Key != Qt::Key_Delete) return;
  QPushButton* botao = nullptr;
  QToolButton* botaoImagem = nullptr;
  QTableView* grade = nullptr;
  for (QObject* componente : findChildren<QObject*>()) {
    if (componente->objectName() == "btnExcluir") {
      if (auto* b = qobject_cast<QPushButton*>(componente)) botao = b;
      if (auto* b = qobject_cast<QToolButton*>(componente)) botaoImagem = b;
    }
    if (auto* g = qobject_cast<QTableView*>(componente)) grade = g;
  }
  if (!grade || !ativo || !(ativo == grade || grade->isAncestorOf(ativo))) return;
  if (botao && botao->isEnabled()) botao->click();
  if (botaoImagem && botaoImagem->isEnabled()) botaoImagem->click();
}

void TKVPadrao::ChamarSaida(QLineEdit& edit) {
  const QByteArray nome = edit.property(kPropriedadeSaida).toString().toUtf8();
  if (nome.isEmpty()) return;
  QMetaObject::invokeMethod(this, nome.constData(), Qt::DirectConnection, Q_ARG(QObject*, &edit));
}

bool TKVPadrao::ChamarTecla(QLineEdit& edit, QKeyEvent& tecla) {
  const QByteArray nome = edit.property(kPropriedadeTecla).toString().toUtf8();
  if (nome.isEmpty()) return false;
  const char32_t original = Caractere(tecla);
  char32_t Key = original;
  QMetaObject::invokeMethod(this, nome.constData(), Qt::DirectConnection, Q_ARG(QObject*, &edit),
                            Q_ARG(char32_t&, Key));
  if (Key == original) return false;
  if (Key != 0) {
    // The box types the handler's character instead of the one pressed.
    const QString texto = QString::fromUcs4(&Key, 1);
    QKeyEvent substituta(QEvent::KeyPress, Qt::Key_unknown, tecla.modifiers(), texto);
    FSubstituindo = true;
    QCoreApplication::sendEvent(&edit, &substituta);
    FSubstituindo = false;
  }
  return true;
}

void TKVPadrao::PadraoValorKeyPress(QObject*, char32_t& Key) {
  Key = Base().FiltrarTeclaValor(Key);
}

void TKVPadrao::PadraoNumeroKeyPress(QObject*, char32_t& Key) {
  Key = Base().FiltrarTeclaNumero(Key);
}

void TKVPadrao::PadraoValorExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarNumeroTexto(Texto(edit), 2, false));
}

void TKVPadrao::PadraoQTDExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarNumeroTexto(Texto(edit), 4, false));
}

void TKVPadrao::PadraoPesoExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarNumeroTexto(Texto(edit), 3, false));
}

void TKVPadrao::PadraoNumeroExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarNumeroTexto(Texto(edit), 0, false));
}

void TKVPadrao::PadraoFoneExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarFone(Texto(edit)));
}

void TKVPadrao::PadraoCEP_Exit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarCEP(Base().NumeroInteiro(Texto(edit))));
}

void TKVPadrao::PadraoCNPJ_CPF_Exit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().FormatarCNPJCPF(Texto(edit)));
  QPalette paleta = edit.palette();
  paleta.setColor(QPalette::Base,
                  Base().ValidarCNPJCPF(Texto(edit), false) ? kCorValido : kCorInvalido);
  edit.setPalette(paleta);
}

void TKVPadrao::PadraoTextoExit(QObject* Sender) {
  QLineEdit& edit = Edicao(Sender);
  Escrever(edit, Base().LimparTexto(Texto(edit), false));
}
