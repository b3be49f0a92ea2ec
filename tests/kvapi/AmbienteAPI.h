#pragma once
// A test folder with its own base services object, a loopback vendor server, and the message
// boxes answered and collected.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "PastaTeste.h"
#include "TKVAPI.h"
#include "TKVBase.h"
#include "TServidorFalso.h"

class AmbienteAPI : public PastaTeste {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A client of Servidor that trusts its CA.
  TKVAPI Cliente(std::chrono::milliseconds limiteSilencio = std::chrono::seconds(30)) const;

  // The texts of the ".\log_API.log" entries (the line after each "Data: " line).
  static std::vector<std::string> EntradasLog();

  // The request line and header a query sends to the service, followed by its body.
  std::string PostEsperado(const std::string& caminho, const std::string& corpo) const;
  std::string Host() const;

  TServidorFalso Servidor;
  std::unique_ptr<TKVBase> Base;
  std::vector<std::string> Mensagens;  // texts shown with Mensagem, in order
};

// A port on 127.0.0.1 where nobody listens.
std::uint16_t PortaFechada();
