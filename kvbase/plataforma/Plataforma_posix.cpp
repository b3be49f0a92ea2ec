#include <execinfo.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "../Erros.h"
#include "Plataforma.h"

extern char** environ;

namespace plataforma {

std::filesystem::path CaminhoNativo(std::string_view nome) {
  std::string texto(nome);
  std::replace(texto.begin(), texto.end(), '\\', '/');
  return std::filesystem::path(texto);
}

std::vector<std::uintptr_t> CapturarPilha() {
  void* quadros[64];
  const int n = backtrace(quadros, 64);
  std::vector<std::uintptr_t> pilha;
  // Frame 0 is this function, frame 1 the error's constructor.
  for (int i = 2; i < n; ++i) pilha.push_back(reinterpret_cast<std::uintptr_t>(quadros[i]));
  return pilha;
}

std::filesystem::path PastaExecutavel() {
  std::error_code erro;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", erro);
  return erro ? std::filesystem::current_path() : exe.parent_path();
}

namespace {

// The stand-in interpreter beside our executable wins over any `cmd` on PATH.
std::string ProgramaInterpretador() {
  const auto vizinho = PastaExecutavel() / "cmd";
  if (access(vizinho.c_str(), X_OK) == 0) return vizinho.string();
  return "cmd";
}

}  // namespace

bool ExecutarInterpretador(const std::string& comando, bool /*mostrarJanela*/, bool aguardar) {
  const std::string programa = ProgramaInterpretador();
  std::string arg0 = "cmd", arg1 = "/c", arg2 = comando;
  char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
  pid_t pid = 0;
  const int erro = programa.find('/') == std::string::npos
                       ? posix_spawnp(&pid, programa.c_str(), nullptr, nullptr, argv, environ)
                       : posix_spawn(&pid, programa.c_str(), nullptr, nullptr, argv, environ);
  if (erro != 0) {
    throw EProcess("Failed to execute " + LinhaComandoInterpretador(comando) + " : " +
                   std::to_string(erro));
  }
  if (!aguardar) return false;
  int estado = 0;
  while (waitpid(pid, &estado, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(estado) && WEXITSTATUS(estado) == 0;
}

}  // namespace plataforma
