#pragma once
// Client of the vendor's web service and file server. One instance per task; it owns nothing
// and keeps no connection between calls. Every operation catches its own failures, appends
// "Erro: <message>" to ".\log_API.log" (ObjBase->GravarLog) and returns an empty text or false;
// only an error of GravarLog itself escapes.

#include <chrono>
#include <cstdint>
#include <string>

#include "TRitmoEventos.h"

class QObject;
class QProgressBar;

class TKVAPI {
 public:
  // The build's server (KV_URL_BASE) and trust anchors (KV_CA_BUNDLE, or the system's store).
  TKVAPI();
  // Test seam: another base address (ending with "/"), PEM trust anchors (empty: the system's
  // store) and the longest silence a transfer waits for.
  TKVAPI(std::string urlBase, std::string pemConfianca,
         std::chrono::milliseconds limiteSilencio = std::chrono::seconds(30));

  // The bar downloads report to; lent by the caller, never owned.
  QProgressBar* Barra = nullptr;

  // The SHA-1 the service publishes for `caminho` (member "hash" of "opc" 8), or "".
  // A status other than 200 whose body still holds the member shows the body with Mensagem.
  std::string ConsultarHash(const std::string& caminho);
  // The date the service publishes for `caminho` (member "data" of "opc" 9), or "".
  std::string ConsultarData(const std::string& caminho);

  // GETs base URL + `caminho` and stores it as `arquivoLocal`: the body goes into a temporary
  // file in the same folder as it arrives, which replaces the local file only when complete
  // and flushed (a failure leaves the former file as it was). The folder is created when missing,
  // one level only. With `descompactar` the file is then unpacked into its folder by
  // ObjBase->Descompactar (Progresso lent Barra meanwhile) and deleted. Returns whether the stored
  // file has the received size: true also when only the unpacking failed.
  bool BaixarArquivo(const std::string& caminho, const std::string& arquivoLocal,
                     bool descompactar);

  // Progress of a download: with Barra set and a declared length above 0, sets the bar to
  // recebidos / tamanhoDeclarado * 100 (extended precision, halves to even) and lets the GUI
  // process pending events, at most every 10 ms (TRitmoEventos); otherwise does nothing.
  void ProgressoDownload(QObject* sender, std::int64_t tamanhoDeclarado, std::int64_t recebidos);

 private:
  std::string Consultar(int opcao, const char* membro, const std::string& caminho);

  std::string FUrlBase;
  std::string FPemConfianca;
  std::chrono::milliseconds FLimiteSilencio;
  TRitmoEventos FRitmo;
};
