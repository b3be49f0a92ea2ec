#include "TKVAplicacao.h"
#include "UnitPrincipal.h"

int main(int argc, char** argv) {
  TKVAplicacao aplicacao(argc, argv);
  TFormAtualiza janela;
  janela.show();
  return aplicacao.exec();
}
