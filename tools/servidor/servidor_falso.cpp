// The loopback vendor server as a program, for the demo and the download benchmark.
//   servidor_falso [--porta N] [--pasta DIR] [--data TEXT] [--ca FILE] [--chunked]
// Prints its base address on the first line of standard output and serves until SIGTERM or
// SIGINT.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "TServidorFalso.h"

int main(int argc, char** argv) {
  TServidorFalso::TOpcoes opcoes;
  std::string pasta, data, ca;
  bool chunked = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool temValor = i + 1 < argc;
    if (arg == "--porta" && temValor) {
      opcoes.Porta = static_cast<std::uint16_t>(std::stoi(argv[++i]));
    } else if (arg == "--pasta" && temValor) {
      pasta = argv[++i];
    } else if (arg == "--data" && temValor) {
      data = argv[++i];
    } else if (arg == "--ca" && temValor) {
      ca = argv[++i];
    } else if (arg == "--chunked") {
      chunked = true;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--porta N] [--pasta DIR] [--data TEXT] [--ca FILE] [--chunked]\n",
                   argv[0]);
      return 2;
    }
  }
  // Blocked before any thread starts, so that only sigwait below receives them.
  sigset_t sinais;
  sigemptyset(&sinais);
  sigaddset(&sinais, SIGTERM);
  sigaddset(&sinais, SIGINT);
  pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
  try {
    TServidorFalso servidor(opcoes);
    if (!pasta.empty()) servidor.Publicar(pasta, data);
    if (chunked) servidor.EntregaArquivos(TEntrega::Chunked);
    if (!ca.empty()) servidor.GravarCA(ca);
    std::printf("%s\n", servidor.UrlBase().c_str());
    std::fflush(stdout);
    int recebido = 0;
    sigwait(&sinais, &recebido);
    servidor.Parar();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "servidor_falso: %s\n", e.what());
    return 1;
  }
  return 0;
}
