#pragma once
// The base services object. Exactly one lives while the main window lives, reachable through
// ObjBase. Texts are UTF-8; file names are relative to the current folder (".\name").

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "TRitmoEventos.h"

class QObject;
class QProgressBar;
class TTradutorPO;

class TKVBase {
 public:
  // Writes the missing support files from the resource store, in list order, then switches
  // Qt's built-in texts to the Portuguese of ".\pt-BR.dll". Throws EFCreateError when a
  // support file cannot be created (the files before it stay written).
  TKVBase();
  virtual ~TKVBase();
  TKVBase(const TKVBase&) = delete;
  TKVBase& operator=(const TKVBase&) = delete;

  // The bar archive unpacking reports to; not owned, null when none is lent.
  QProgressBar* Progresso = nullptr;

  // The unhandled-error handler: appends the three-line entry to "Log_Erros.txt" and shows
  // the error text with Mensagem. Its own file errors escape.
  void TratarErro(QObject* sender, const std::exception& erro);

  // The system's only message box: caption "Atenção", main instruction "Aviso!", warning icon,
  // a single OK button, modal.
  void Mensagem(const std::string& texto);

  // Runs `cmd /c Comando`. Returns whether the interpreter's exit status is 0 (false when not
  // waited for). Throws EProcess when the interpreter cannot be started.
  bool ExecutarComando(const std::string& comando, bool mostrarJanela, bool aguardar);

  // SHA-1 of the file as 40 lower-case hex digits. Throws EFileNotFoundException
  // "File not found" when the file cannot be opened.
  std::string HashArquivo(const std::string& arquivo);

  // Appends "Data: <short date> <long time>" and the text, CR LF each. Errors escape.
  void GravarLog(const std::string& arquivo, const std::string& texto);

  // Writes the resource belonging to the file name (its name without the extension) into that
  // file; a missing resource is reported with Mensagem and nothing is written.
  void ExtrairRecurso(const std::string& arquivo);

  // Unpacks every entry of a ZIP archive into `destino`, reporting to Progresso. Throws on any
  // failure; what was written before stays.
  void Descompactar(const std::string& arquivo, const std::string& destino);
  void ProgressoDescompactar(QObject* sender, double percentual);

  // Number formats. Precision above 10 throws EKVErro.
  double Arredondar(std::uint8_t precisao, double valor);
  std::string FormatarNumero(std::uint8_t precisao, bool milhar, double valor);
  std::string FormatarNumeroTexto(const std::string& texto, std::uint8_t precisao, bool milhar);
  char32_t FiltrarTeclaValor(char32_t tecla);
  char32_t FiltrarTeclaNumero(char32_t tecla);

  // Document and contact formats.
  std::string SomenteNumeros(const std::string& texto, bool vazioSeNenhum);
  std::int32_t NumeroInteiro(const std::string& texto);
  std::string FormatarCEP(std::int32_t cep);
  std::string FormatarFone(const std::string& texto);
  std::string FormatarCNPJCPF(const std::string& texto);
  bool ValidarCNPJCPF(const std::string& texto, bool permiteVazio);
  std::string LimparTexto(const std::string& texto, bool maiusculas);

 private:
  std::unique_ptr<TTradutorPO> FTradutor;
  TRitmoEventos FRitmo;
};

// The one base services object; null before the main window creates it and after it frees it.
extern TKVBase* ObjBase;
