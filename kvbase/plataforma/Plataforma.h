#pragma once
// The thin layer over the operating system. It uses only the C++ standard library and the
// system's own API, so that it builds and is tested with MinGW-w64 as well as on Linux.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plataforma {

// Native path of a file name written the Windows way, relative to the current folder with a
// leading ".\" (e.g. ".\log_API.log"). Names are UTF-8. Every file-system call goes through it.
std::filesystem::path CaminhoNativo(std::string_view nome);

// UTF-8 text of a native path, for messages.
std::string TextoCaminho(const std::filesystem::path& caminho);

// Return addresses of the calling thread, innermost first (may be empty).
std::vector<std::uintptr_t> CapturarPilha();

// Command line handed to the operating system for `cmd /c Comando`: the command is wrapped in
// double quotes when it holds a blank and no double quote. Pure function.
std::string LinhaComandoInterpretador(std::string_view comando);

// Runs `cmd /c Comando`. On Windows the real interpreter, its window shown or hidden; elsewhere
// the stand-in `cmd` beside the running executable, else the one on PATH. With `aguardar`
// waits, without a time limit, and returns whether the exit status was 0; without it returns
// false. Throws EProcess "Failed to execute <command line> : <error code>" when the interpreter
// cannot be started.
bool ExecutarInterpretador(const std::string& comando, bool mostrarJanela, bool aguardar);

// Folder of the running executable.
std::filesystem::path PastaExecutavel();

// ---- Files unpacked from archives: dates, attributes, names ----

// Local date and time of a file's last change, as archives and the user's clock record it.
struct DataHoraLocal {
  int ano = 1980;
  int mes = 1;
  int dia = 1;
  int hora = 0;
  int minuto = 0;
  int segundo = 0;
};

// File attribute bits, with the values Windows gives them.
inline constexpr std::uint32_t kAtributoSomenteLeitura = 0x01;
inline constexpr std::uint32_t kAtributoOculto = 0x02;
inline constexpr std::uint32_t kAtributoSistema = 0x04;
inline constexpr std::uint32_t kAtributoPasta = 0x10;
inline constexpr std::uint32_t kAtributoArquivamento = 0x20;

// Whether the fields name a real day of the Gregorian calendar and a time of day.
bool DataHoraValida(const DataHoraLocal& data);

// Sets the modification time of a file or folder to a local date and time. Returns false,
// changing nothing, when the date is not a valid one or the system refuses it.
bool DefinirDataModificacao(const std::filesystem::path& caminho, const DataHoraLocal& data);

// Applies attribute bits to a file. Windows takes them as they stand (the folder bit aside);
// elsewhere only read-only has a meaning: it takes every write permission away, and without it
// nothing changes. Returns false when the system refuses.
bool DefinirAtributos(const std::filesystem::path& caminho, std::uint32_t atributos);

// Whether an existing file carries the read-only mark (elsewhere than Windows: its owner may
// not write it). False for a missing file.
bool SomenteLeitura(const std::filesystem::path& caminho);

// UTF-8 text of bytes written in the system's default code page (the ANSI code page on
// Windows). Elsewhere the default is UTF-8, and bytes that are not valid UTF-8 are read as
// Windows-1252, the code page of the archives that reach us.
std::string TextoPaginaPadrao(std::string_view bytes);

// A file opened for reading at any position. On Windows others may read it meanwhile but not
// write it, so an archive cannot change under its unpacking.
class TArquivoLeitura {
 public:
  // `nome` is a ".\\name". Throws EFOpenError "Unable to open file "<nome>": <reason>".
  explicit TArquivoLeitura(const std::string& nome);
  ~TArquivoLeitura();
  TArquivoLeitura(const TArquivoLeitura&) = delete;
  TArquivoLeitura& operator=(const TArquivoLeitura&) = delete;

  std::uint64_t Tamanho() const { return FTamanho; }
  // Up to `n` bytes from `posicao`, fewer only at the end of the file; -1 when the system
  // fails. Never throws, so that it can serve a C library's callback.
  std::int64_t Ler(std::uint64_t posicao, void* destino, std::size_t n) noexcept;

 private:
  std::intptr_t FIdentificador = -1;  // the descriptor, or the Windows handle
  std::uint64_t FTamanho = 0;
};

}  // namespace plataforma
