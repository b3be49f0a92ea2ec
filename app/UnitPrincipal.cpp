#include "UnitPrincipal.h"

#include "TKVBase.h"
#include "TKVAplicacao.h"

TFormAtualiza::TFormAtualiza(QWidget* parent) : TKVPadrao(parent) {
  ObjBase = new TKVBase();
  TKVAplicacao::Instancia()->OnException = [](QObject* s, const std::exception& e) {
    ObjBase->TratarErro(s, e);
  };
  setWindowTitle("Instalador Ver. 1.1");
}

TFormAtualiza::~TFormAtualiza() {
  delete ObjBase;
  ObjBase = nullptr;
}
