#include "TRitmoEventos.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace {

// A round of event processing, and the repaint every new position causes, cost more than a
// block of data: a fast download or unpacking would spend its time drawing the bar. A hundred
// rounds a second keep the window as lively.
constexpr std::chrono::milliseconds kIntervalo{10};

}  // namespace

void TRitmoEventos::Mostrar(QProgressBar& barra, int posicao) {
  // setValue repaints at once; with updates held it only marks the bar for the next round.
  if (barra.value() != posicao) {
    barra.setUpdatesEnabled(false);
    barra.setValue(posicao);
    barra.setUpdatesEnabled(true);
  }
  const auto agora = std::chrono::steady_clock::now();
  if (agora - FUltimo < kIntervalo) return;
  FUltimo = agora;
  QCoreApplication::processEvents();
}
