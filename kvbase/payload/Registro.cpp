// Start-up registration of the embedded files, in the store's fixed order. The bytes come from
// Recursos.S, which the build assembles with .incbin from the payload files.

#include <cstddef>

#include "TListaRecursos.h"

#define KV_RECURSO(n, nome, tipo)                  \
  extern "C" const char kv_recurso_##n##_inicio[]; \
  extern "C" const char kv_recurso_##n##_fim[];
#include "RecursosTabela.inc"
#undef KV_RECURSO

namespace {

struct RegistroInicial {
  RegistroInicial() {
    auto& lista = TListaRecursos::Instancia();
#define KV_RECURSO(n, nome, tipo)               \
  lista.Registrar(                              \
      nome, tipo,                               \
      std::string_view(kv_recurso_##n##_inicio, \
                       static_cast<std::size_t>(kv_recurso_##n##_fim - kv_recurso_##n##_inicio)));
#include "RecursosTabela.inc"
#undef KV_RECURSO
  }
};

const RegistroInicial registro;

}  // namespace
