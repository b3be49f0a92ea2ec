#include "TListaRecursos.h"

#include <algorithm>

namespace {

char MaiusculaAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool IguaisSemCaixa(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return MaiusculaAscii(x) == MaiusculaAscii(y);
         });
}

}  // namespace

TListaRecursos& TListaRecursos::Instancia() {
  // Function-local so that registration from other start-up code finds it built.
  static TListaRecursos lista;
  return lista;
}

void TListaRecursos::Registrar(std::string nome, std::string tipo, std::string_view valor) {
  std::transform(tipo.begin(), tipo.end(), tipo.begin(), MaiusculaAscii);
  FEntradas.push_back(TRecurso{std::move(nome), std::move(tipo), valor});
}

const TRecurso* TListaRecursos::Encontrar(std::string_view nome) const {
  for (const auto& r : FEntradas) {
    if (IguaisSemCaixa(r.Nome, nome)) return &r;
  }
  return nullptr;
}
