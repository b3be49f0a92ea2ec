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
  // Bound by name in UnitPrincipal.ui.
  // Creates ObjBase, installs its TratarErro for unhandled errors, sets the caption and hides
  // the bar and the check marks. Throws EAbort after showing ObjBase's creation error.
  void FormCreate();
  // Frees ObjBase; unhandled errors go back to the default display.
  void FormDestroy();
  // The status check: the published date and hash from the service, the installed file's date
  // and hash, the verdict in the heading and the preselected install options. Runs on the
  // first activation only, and again when the install run calls it. A failed query leaves the
  // label's prefix; any other error (the file vanishing before it is hashed) ends the check.
  void FormActivate();
  void btnInstalarClick();

 private:
  std::unique_ptr<Ui::FormAtualiza> FUi;
};
