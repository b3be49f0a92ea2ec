// Progress pacing: every position reaches the bar, paints are left to the rounds of events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProgressBar>
#include <QThread>

#include "TRitmoEventos.h"

namespace {

class ContaPinturas : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* evento) override {
    if (evento->type() == QEvent::Paint) ++pinturas;
    return false;
  }
  int pinturas = 0;
};

}  // namespace

TEST(RitmoEventos, BarShowsEveryPositionAndPaintsOncePerRound) {
  QProgressBar barra;
  barra.setRange(0, 100);
  barra.show();
  QCoreApplication::processEvents();
  ContaPinturas contador;
  barra.installEventFilter(&contador);
  TRitmoEventos ritmo;

  // Rounds further apart than the pacing interval: each one paints the new position.
  for (int i = 1; i <= 3; ++i) {
    ritmo.Mostrar(barra, 10 * i);
    EXPECT_EQ(barra.value(), 10 * i);
    QThread::msleep(15);
  }
  EXPECT_EQ(contador.pinturas, 3);

  // A burst: the value follows every call, the painting does not.
  contador.pinturas = 0;
  for (int i = 0; i <= 100; ++i) ritmo.Mostrar(barra, i);
  EXPECT_EQ(barra.value(), 100);
  EXPECT_LT(contador.pinturas, 20);
  // What was held is painted at the next round.
  QCoreApplication::processEvents();
  EXPECT_GE(contador.pinturas, 1);
}
