#include "TKVAplicacao.h"

#include <QMessageBox>

#include "Erros.h"

TKVAplicacao::TKVAplicacao(int& argc, char** argv) : QApplication(argc, argv) {}

TKVAplicacao* TKVAplicacao::Instancia() {
  return qobject_cast<TKVAplicacao*>(QCoreApplication::instance());
}

void TKVAplicacao::ExibirDialogo(QMessageBox& caixa) {
  if (RespostaTeste) {
    RespostaTeste(caixa);
    return;
  }
  caixa.exec();
}

void TKVAplicacao::MostrarErroPadrao(const std::exception& erro) {
  QMessageBox caixa(QMessageBox::Critical, QCoreApplication::translate("QMessageBox", "Error"),
                    QString::fromStdString(NomeClasseErro(erro) + " >> " + erro.what()),
                    QMessageBox::Ok);
  ExibirDialogo(caixa);
}

bool TKVAplicacao::notify(QObject* receptor, QEvent* evento) {
  try {
    return QApplication::notify(receptor, evento);
  } catch (const EAbort&) {
  } catch (const std::exception& erro) {
    // An error raised by the handler itself still must not cross the event loop.
    try {
      if (!OnException) throw;
      OnException(receptor, erro);
    } catch (const EAbort&) {
    } catch (const std::exception& doTratador) {
      MostrarErroPadrao(doTratador);
    }
  }
  return false;
}
