#include <QGuiApplication>
#include <cstdlib>

#include "Erros.h"
#include "TKVAplicacao.h"
#include "UnitPrincipal.h"

int main(int argc, char** argv) {
  // Forms scale to the screen's DPI by the exact factor (144 dpi: 1.5).
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  TKVAplicacao aplicacao(argc, argv);
  try {
    TFormAtualiza FormAtualiza;
    FormAtualiza.show();
    // Shown as the active window even where no window manager hands out the focus.
    FormAtualiza.activateWindow();
    return aplicacao.exec();
  } catch (const EAbort&) {
    return EXIT_FAILURE;  // already shown
  } catch (const std::exception& erro) {
    aplicacao.MostrarErroPadrao(erro);
    return EXIT_FAILURE;
  }
}
