#pragma once
// Shows progress on a bar and keeps the window alive during a long operation on the GUI thread.

#include <chrono>

class QProgressBar;

class TRitmoEventos {
 public:
  // Sets the bar's position (not painted on the spot) and lets the GUI process its pending
  // events, painting the bar with them, when 10 ms have passed since it last did so. The first
  // call always processes them.
  void Mostrar(QProgressBar& barra, int posicao);

 private:
  std::chrono::steady_clock::time_point FUltimo{};
};
