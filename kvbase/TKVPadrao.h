#pragma once
// The base form from which windows derive.

#include <QWidget>

class TKVPadrao : public QWidget {
  Q_OBJECT
 public:
  explicit TKVPadrao(QWidget* parent = nullptr);
};
