#include "AmbienteJanela.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "TKVAPI.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"

void AmbienteJanela::SetUp() {
  PastaTeste::SetUp();
  TKVAplicacao::Instancia()->RespostaTeste = [this](QMessageBox& caixa) {
    Mensagens.push_back(caixa.text() + " | " + caixa.informativeText());
  };
}

void AmbienteJanela::TearDown() {
  Janela.reset();
  TKVAplicacao::Instancia()->RespostaTeste = nullptr;
  Servidor.Parar();
  PastaTeste::TearDown();
}

TFormAtualiza& AmbienteJanela::Criar() {
  Janela = std::make_unique<TFormAtualiza>();
  Janela->CriarCliente = [this] {
    ++ClientesCriados;
    return std::make_unique<TKVAPI>(Servidor.UrlBase(), Servidor.PemCA());
  };
  return *Janela;
}

bool AmbienteJanela::Ativar(QWidget& janela) {
  janela.show();
  janela.activateWindow();
  QApplication::setActiveWindow(&janela);
  return QTest::qWaitForWindowActive(&janela);
}
