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

bool DataHoraValida(const DataHoraLocal& d) {
  static constexpr int kDiasMes[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.mes < 1 || d.mes > 12 || d.dia < 1 || d.dia > kDiasMes[d.mes - 1]) return false;
  const bool bissexto = (d.ano % 4 == 0 && d.ano % 100 != 0) || d.ano % 400 == 0;
  if (d.mes == 2 && d.dia == 29 && !bissexto) return false;
  return d.hora >= 0 && d.hora < 24 && d.minuto >= 0 && d.minuto < 60 && d.segundo >= 0 &&
         d.segundo < 60;
}

}  // namespace plataforma
