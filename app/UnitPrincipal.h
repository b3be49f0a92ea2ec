#pragma once
// The installer's one window: what is installed against what is published, and the install run.

#include <functional>
#include <memory>

#include "TKVPadrao.h"

class TKVAPI;
namespace Ui {
class FormAtualiza;
}

class TFormAtualiza : public TKVPadrao {
  Q_OBJECT
 public:
  // Builds the window from UnitPrincipal.ui and runs FormCreate. When ObjBase cannot be
  // created the error is shown with the default display and EAbort is thrown: the program
  // relies on ObjBase and ends.
  explicit TFormAtualiza(QWidget* parent = nullptr);
  ~TFormAtualiza() override;

  // Makes the service client of the status check and the install run; by default the
  // production client. Tests point it at their own server.
  std::function<std::unique_ptr<TKVAPI>()> CriarCliente;

 public slots:
  void FormCreate();
  void FormDestroy();
  void FormActivate();
  void btnInstalarClick();

 private:
  std::unique_ptr<Ui::FormAtualiza> FUi;
};
