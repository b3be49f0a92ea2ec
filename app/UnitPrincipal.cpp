#include "UnitPrincipal.h"

#include "Erros.h"
#include "TKVAPI.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"
#include "ui_UnitPrincipal.h"

TFormAtualiza::TFormAtualiza(QWidget* parent)
    : TKVPadrao(parent),
      CriarCliente([] { return std::make_unique<TKVAPI>(); }),
      FUi(std::make_unique<Ui::FormAtualiza>()) {
  // The pictures live in this static library, which the linker would otherwise leave out.
  Q_INIT_RESOURCE(Instalador);
  Construir([this] { FUi->setupUi(this); });
}

TFormAtualiza::~TFormAtualiza() {
  Destruir();
}

void TFormAtualiza::FormCreate() {
  try {
    ObjBase = new TKVBase();
  } catch (const std::exception& erro) {
    if (auto* app = TKVAplicacao::Instancia()) app->MostrarErroPadrao(erro);
    throw EAbort(erro.what());
  }
  if (auto* app = TKVAplicacao::Instancia()) {
    app->OnException = [](QObject* s, const std::exception& e) { ObjBase->TratarErro(s, e); };
  }
  setWindowTitle("Instalador Ver. 1.1");
  FUi->Barra->hide();
  FUi->ImageFeitoApp->hide();
  FUi->ImageFeitoSchemas->hide();
  FUi->ImageFeitoFirebird->hide();
}

void TFormAtualiza::FormDestroy() {
  // The handler reaches ObjBase; errors after this point go to the default display.
  if (auto* app = TKVAplicacao::Instancia()) app->OnException = nullptr;
  delete ObjBase;
  ObjBase = nullptr;
}

void TFormAtualiza::FormActivate() {}

void TFormAtualiza::btnInstalarClick() {}
