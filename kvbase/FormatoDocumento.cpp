#include "FormatoDocumento.h"

#include "Erros.h"

namespace formato {

std::string SomenteNumeros(const std::string&, bool) { throw EKVErro("not available yet"); }
std::int32_t NumeroInteiro(const std::string&) { throw EKVErro("not available yet"); }
std::string FormatarCEP(std::int32_t) { throw EKVErro("not available yet"); }
std::string FormatarFone(const std::string&) { throw EKVErro("not available yet"); }
std::string FormatarCNPJCPF(const std::string&) { throw EKVErro("not available yet"); }
bool ValidarCNPJCPF(const std::string&, bool) { throw EKVErro("not available yet"); }
std::string LimparTexto(const std::string&, bool) { throw EKVErro("not available yet"); }

}  // namespace formato
