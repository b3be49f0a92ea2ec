#pragma once
// The installer's one window.

#include "TKVPadrao.h"

class TFormAtualiza : public TKVPadrao {
  Q_OBJECT
 public:
  explicit TFormAtualiza(QWidget* parent = nullptr);
  ~TFormAtualiza() override;
};
