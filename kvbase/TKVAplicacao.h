#pragma once
// The application object: a QApplication that never lets an exception cross Qt's event loop.

#include <QApplication>
#include <exception>
#include <functional>

class QMessageBox;

class TKVAplicacao : public QApplication {
  Q_OBJECT
 public:
  using TratadorErro = std::function<void(QObject* sender, const std::exception& erro)>;
  using RespostaDialogo = std::function<void(QMessageBox& caixa)>;

  TKVAplicacao(int& argc, char** argv);

  // The running application object, or null when the application is not ours.
  static TKVAplicacao* Instancia();

  // Handler of every exception that leaves an event handler (the unhandled-error event).
  // Without one, the default display shows the error. EAbort is passed over either way.
  TratadorErro OnException;

  // Shows a message box modally; a test answers it through RespostaTeste instead.
  void ExibirDialogo(QMessageBox& caixa);
  RespostaDialogo RespostaTeste;

  // The display used before a handler is installed: a critical box with class and message.
  void MostrarErroPadrao(const std::exception& erro);

  bool notify(QObject* receptor, QEvent* evento) override;
};
