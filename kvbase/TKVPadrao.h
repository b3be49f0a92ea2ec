#pragma once
// The base form from which windows derive: one look (fixed border, no maximise button, no
// taskbar button, the background picture) and one keyboard behaviour for every window.
//
// Form notions in Qt terms:
//   designed layout       a Qt Designer .ui file; its <connections> bind events to slots by name
//   owned components      every descendant QObject of the form, in creation order (pre-order)
//   OnCreate/OnActivate/  the signals OnCreate(), OnActivate(), OnDestroy(), bound in the .ui to
//   OnDestroy             the derived form's FormCreate/FormActivate/FormDestroy slots
//   TButton / TBitBtn     QPushButton / QToolButton (both count as push buttons)
//   TMemo                 QPlainTextEdit or QTextEdit
//   TEdit                 QLineEdit;  TComboBox  QComboBox;  data grid  QTableView
//   TMainMenu             QMenuBar
//   KeyPreview            an event filter on the application that takes the key events of
//                         every widget of this window before the widget itself
//
// Binding the published field handlers: a QLineEdit of the designed layout carries the dynamic
// properties "OnExit" and/or "OnKeyPress" holding a slot name of the form, e.g.
//   <property name="OnExit"><string>PadraoValorExit</string></property>
// The exit slot takes (QObject* Sender) and runs when the box loses the focus to another
// control of the window (not when the window itself is deactivated). The key slot takes
// (QObject* Sender, char32_t& Key): it runs for every character key that reaches the box and
// may change Key; 0 drops the key, any other value is typed instead of the original character.
// A binding that names no slot of the form makes construction fail with EKVErro.

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

class QComboBox;
class QKeyEvent;
class QLineEdit;

class TKVPadrao : public QWidget {
  Q_OBJECT
 public:
  ~TKVPadrao() override;

  // A second form that AjustarPosicao keeps centred on this one; not owned.
  QPointer<QWidget> Dono;

  // A control whose designed layout sets the dynamic property "AutoSize" is sized to its text
  // at construction (width only; the designed height stays). After changing such a text the
  // form calls this again.
  static void AjustarAoTexto(QWidget& controle);

  // Type-ahead buffer of the combo-box search (upper case), for inspection.
  const std::string& Busca() const { return FBusca; }

 signals:
  void OnCreate();
  void OnActivate();
  void OnDestroy();

 public slots:
  // Field handlers for derived forms (see above). Key handlers never fail; exit handlers throw
  // EInvalidCast when Sender is not a QLineEdit, and let the format operations' errors through
  // with the box unchanged.
  void PadraoValorKeyPress(QObject* Sender, char32_t& Key);
  void PadraoValorExit(QObject* Sender);
  void PadraoQTDExit(QObject* Sender);
  void PadraoPesoExit(QObject* Sender);
  void PadraoNumeroKeyPress(QObject* Sender, char32_t& Key);
  void PadraoFoneExit(QObject* Sender);
  void PadraoCEP_Exit(QObject* Sender);
  void PadraoCNPJ_CPF_Exit(QObject* Sender);
  void PadraoTextoExit(QObject* Sender);
  void PadraoNumeroExit(QObject* Sender);

 protected:
  // A top-level window (a Qt::Window even when a parent is given). Nothing is set up yet:
  // the derived constructor calls Construir first.
  explicit TKVPadrao(QWidget* parent = nullptr);

  // Builds the form: runs carregarLayout (the .ui's setupUi on this form; a form without one
  // is refused with EKVErro), applies the base settings and then emits OnCreate. Throws what
  // the layout, the picture "fundo" (EKVErro when missing) or an OnCreate handler throws.
  void Construir(const std::function<void()>& carregarLayout);

  // Emits OnDestroy once; the derived destructor calls it first, while the form is whole.
  void Destruir();

  bool event(QEvent* evento) override;
  bool eventFilter(QObject* alvo, QEvent* evento) override;
  void paintEvent(QPaintEvent* evento) override;
  void showEvent(QShowEvent* evento) override;
  void moveEvent(QMoveEvent* evento) override;
  void resizeEvent(QResizeEvent* evento) override;

  // KeyPreview handlers: true when the key was consumed (Key := #0).
  virtual bool KeyPress(QWidget* ativo, char32_t& Key);
  virtual void KeyDown(QWidget* ativo, int Key, Qt::KeyboardModifiers Shift);

 private:
  void AjustarPosicao();
  void LimparBusca();
  int BuscarItem(char32_t Key, const QComboBox& combo);
  void PosicionarNaTela();
  void ChamarSaida(QLineEdit& edit);
  bool ChamarTecla(QLineEdit& edit, QKeyEvent& tecla);

  std::string FBusca;
  QTimer FTimerBusca;
  bool FAtivado = false;
  bool FDestruido = false;
  bool FPosicionado = false;
  bool FSubstituindo = false;
  QPixmap FFundo;
};
