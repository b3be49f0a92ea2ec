#include "TKVPadrao.h"

TKVPadrao::TKVPadrao(QWidget* parent) : QWidget(parent) {}
