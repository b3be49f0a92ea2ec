#pragma once
// Error classes. Every error the system raises derives from Exception and carries the stable
// class name that the error log shows; EAbort cancels silently.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& mensagem);
  ~Exception() override = default;

  // Name written to the error log, e.g. "EFileNotFoundException".
  virtual const char* ClassName() const { return "Exception"; }
  std::string Message() const { return what(); }

  // Return addresses captured where the error was raised, innermost first.
  const std::vector<std::uintptr_t>& Pilha() const { return FPilha; }

 private:
  std::vector<std::uintptr_t> FPilha;
};

#define KV_CLASSE_ERRO(Nome, Base)                           \
  class Nome : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Nome; } \
  }

KV_CLASSE_ERRO(EAbort, Exception);  // passed over by the unhandled-error handler
KV_CLASSE_ERRO(EConvertError, Exception);
KV_CLASSE_ERRO(EInvalidCast, Exception);
KV_CLASSE_ERRO(EInvalidOp, Exception);
KV_CLASSE_ERRO(EStreamError, Exception);
KV_CLASSE_ERRO(EFCreateError, EStreamError);
KV_CLASSE_ERRO(EFOpenError, EStreamError);
KV_CLASSE_ERRO(EWriteError, EStreamError);
KV_CLASSE_ERRO(EReadError, EStreamError);
KV_CLASSE_ERRO(EFileNotFoundException, Exception);
KV_CLASSE_ERRO(EInOutError, Exception);
KV_CLASSE_ERRO(EProcess, Exception);
KV_CLASSE_ERRO(EHTTPClient, Exception);
KV_CLASSE_ERRO(EJSON, Exception);
KV_CLASSE_ERRO(EZipError, Exception);
KV_CLASSE_ERRO(EKVErro, Exception);  // the system's own refusals

#undef KV_CLASSE_ERRO

// Class name for the log of any exception: ours by ClassName(), others by their type.
std::string NomeClasseErro(const std::exception& e);

// File errors in the platform's wording, e.g. `Unable to create file ".\gbak.exe": <motivo>`.
// Without a reason, that of the last failed C library call (errno).
EFCreateError ErroCriarArquivo(const std::string& nome, const std::string& motivo = {});
EFOpenError ErroAbrirArquivo(const std::string& nome, const std::string& motivo = {});
EWriteError ErroGravarArquivo(const std::string& nome, const std::string& motivo = {});
