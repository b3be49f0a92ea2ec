#include "Erros.h"

#include <cerrno>
#include <cstring>
#include <typeinfo>

#include "plataforma/Plataforma.h"

#if defined(__GNUG__)
#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#endif

Exception::Exception(const std::string& mensagem)
    : std::runtime_error(mensagem), FPilha(plataforma::CapturarPilha()) {}

std::string NomeClasseErro(const std::exception& e) {
  if (auto* nosso = dynamic_cast<const Exception*>(&e)) return nosso->ClassName();
  const char* bruto = typeid(e).name();
#if defined(__GNUG__)
  int estado = 0;
  std::unique_ptr<char, decltype(&std::free)> nome(
      abi::__cxa_demangle(bruto, nullptr, nullptr, &estado), &std::free);
  if (estado == 0 && nome) return nome.get();
#endif
  return bruto;
}

namespace {

std::string Frase(const char* acao, const std::string& nome, const std::string& motivo) {
  return std::string("Unable to ") + acao + " file \"" + nome +
         "\": " + (motivo.empty() ? std::strerror(errno) : motivo);
}

}  // namespace

EFCreateError ErroCriarArquivo(const std::string& nome, const std::string& motivo) {
  return EFCreateError(Frase("create", nome, motivo));
}
EFOpenError ErroAbrirArquivo(const std::string& nome, const std::string& motivo) {
  return EFOpenError(Frase("open", nome, motivo));
}
EWriteError ErroGravarArquivo(const std::string& nome, const std::string& motivo) {
  return EWriteError(Frase("write", nome, motivo));
}
