#include "TListaRecursos.h"

#include "FormatoDocumento.h"

TListaRecursos& TListaRecursos::Instancia() {
  // Function-local so that registration from other start-up code finds it built.
  static TListaRecursos lista;
  return lista;
}

void TListaRecursos::Registrar(std::string nome, std::string tipo, std::string_view valor) {
  FEntradas.push_back(TRecurso{std::move(nome), formato::MaiusculasAscii(std::move(tipo)), valor});
}

const TRecurso* TListaRecursos::Encontrar(std::string_view nome) const {
  const std::string procurado = formato::MaiusculasAscii(std::string(nome));
  for (const auto& r : FEntradas) {
    if (formato::MaiusculasAscii(r.Nome) == procurado) return &r;
  }
  return nullptr;
}
