#include "Plataforma.h"

#include <algorithm>

namespace plataforma {

std::string LinhaComandoInterpretador(std::string_view comando) {
  std::string linha = "cmd /c ";
  const bool temBranco = comando.find(' ') != std::string_view::npos;
  const bool temAspas = comando.find('"') != std::string_view::npos;
  if (temBranco && !temAspas) {
    linha += '"';
    linha += comando;
    linha += '"';
  } else {
    linha += comando;
  }
  return linha;
}

std::string TextoCaminho(const std::filesystem::path& caminho) {
  const auto u8 = caminho.u8string();
  return std::string(u8.begin(), u8.end());
}

}  // namespace plataforma
