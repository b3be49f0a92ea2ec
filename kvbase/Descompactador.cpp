#include "Descompactador.h"

#include "Erros.h"

void DescompactarZip(const std::string&, const std::string&, const std::function<void(double)>&) {
  throw EKVErro("Descompactar: not available yet");
}
