// Test entry: one application object for the whole run, offscreen, Brazilian locale pinned.
#include <gtest/gtest.h>

#include <QLocale>

#include "TKVAplicacao.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
  TKVAplicacao aplicacao(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
