#pragma once
// Client of the vendor's web service and file server.

class QProgressBar;

class TKVAPI {
 public:
  TKVAPI() = default;
  QProgressBar* Barra = nullptr;
};
