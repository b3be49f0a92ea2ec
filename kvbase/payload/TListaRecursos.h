#pragma once
// The process-wide store of embedded resources: filled by the start-up code of this module,
// in registration order, and never changed afterwards.

#include <string>
#include <string_view>
#include <vector>

struct TRecurso {
  std::string Nome;
  std::string Tipo;        // upper case, e.g. "PNG"
  std::string_view Valor;  // the bytes, placed in the executable at build time
};

class TListaRecursos {
 public:
  static TListaRecursos& Instancia();

  // Adds an entry; the type label is kept in upper case. Only the start-up code calls it.
  void Registrar(std::string nome, std::string tipo, std::string_view valor);

  // The entry whose name equals `nome` without regard to ASCII case, or null.
  const TRecurso* Encontrar(std::string_view nome) const;

  const std::vector<TRecurso>& Entradas() const { return FEntradas; }

 private:
  TListaRecursos() = default;
  std::vector<TRecurso> FEntradas;
};
