#pragma once
// The real main window in a fresh folder, its status check pointed at a loopback vendor server,
// message boxes recorded instead of shown.

#include <QString>
#include <memory>
#include <vector>

#include "PastaTeste.h"
#include "TServidorFalso.h"
#include "UnitPrincipal.h"

class AmbienteJanela : public PastaTeste {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the window (FormCreate runs); every client it makes talks to Servidor.
  TFormAtualiza& Criar();
  // Shows the window and waits until it is the active one (the first time runs FormActivate).
  bool Ativar(QWidget& janela);

  template <class T>
  T& Controle(const char* nome) {
    T* c = Janela->findChild<T*>(nome);
    if (!c) throw std::runtime_error(std::string("no control ") + nome);
    return *c;
  }

  TServidorFalso Servidor;
  std::unique_ptr<TFormAtualiza> Janela;
  int ClientesCriados = 0;
  std::vector<QString> Mensagens;  // main instruction and content of each box
};
