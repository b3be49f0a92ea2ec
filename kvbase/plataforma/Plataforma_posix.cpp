#include <execinfo.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "../Erros.h"
#include "Plataforma.h"

extern char** environ;

namespace plataforma {

std::filesystem::path CaminhoNativo(std::string_view nome) {
  std::string texto(nome);
  std::replace(texto.begin(), texto.end(), '\\', '/');
  return std::filesystem::path(texto);
}

std::vector<std::uintptr_t> CapturarPilha() {
  void* quadros[64];
  const int n = backtrace(quadros, 64);
  std::vector<std::uintptr_t> pilha;
  // Frame 0 is this function, frame 1 the error's constructor.
  for (int i = 2; i < n; ++i) pilha.push_back(reinterpret_cast<std::uintptr_t>(quadros[i]));
  return pilha;
}

std::filesystem::path PastaExecutavel() {
  std::error_code erro;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", erro);
  return erro ? std::filesystem::current_path() : exe.parent_path();
}

namespace {

// The stand-in interpreter beside our executable wins over any `cmd` on PATH.
std::string ProgramaInterpretador() {
  const auto vizinho = PastaExecutavel() / "cmd";
  if (access(vizinho.c_str(), X_OK) == 0) return vizinho.string();
  return "cmd";
}

}  // namespace

bool ExecutarInterpretador(const std::string& comando, bool /*mostrarJanela*/, bool aguardar) {
  const std::string programa = ProgramaInterpretador();
  std::string arg0 = "cmd", arg1 = "/c", arg2 = comando;
  char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
  pid_t pid = 0;
  const int erro = programa.find('/') == std::string::npos
                       ? posix_spawnp(&pid, programa.c_str(), nullptr, nullptr, argv, environ)
                       : posix_spawn(&pid, programa.c_str(), nullptr, nullptr, argv, environ);
  if (erro != 0) {
    throw EProcess("Failed to execute " + LinhaComandoInterpretador(comando) + " : " +
                   std::to_string(erro));
  }
  if (!aguardar) return false;
  int estado = 0;
  while (waitpid(pid, &estado, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(estado) && WEXITSTATUS(estado) == 0;
}

}  // namespace plataforma

namespace plataforma {

namespace {

// Length of the UTF-8 sequence starting at `i`, or 0 when it is not a valid one.
std::size_t SequenciaUtf8(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  std::size_t n;
  char32_t minimo;
  if ((c & 0xE0) == 0xC0) {
    n = 2, minimo = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, minimo = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, minimo = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  char32_t ponto = c & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const auto cont = static_cast<unsigned char>(s[i + k]);
    if ((cont & 0xC0) != 0x80) return 0;
    ponto = (ponto << 6) | (cont & 0x3F);
  }
  if (ponto < minimo || ponto > 0x10FFFF || (ponto >= 0xD800 && ponto <= 0xDFFF)) return 0;
  return n;
}

void AcrescentarUtf8(std::string& saida, char32_t ponto) {
  if (ponto < 0x80) {
    saida += static_cast<char>(ponto);
  } else if (ponto < 0x800) {
    saida += static_cast<char>(0xC0 | (ponto >> 6));
    saida += static_cast<char>(0x80 | (ponto & 0x3F));
  } else {
    saida += static_cast<char>(0xE0 | (ponto >> 12));
    saida += static_cast<char>(0x80 | ((ponto >> 6) & 0x3F));
    saida += static_cast<char>(0x80 | (ponto & 0x3F));
  }
}

// 0x80 to 0x9F of Windows-1252; the five holes keep their C1 code points, as Windows does.
constexpr char16_t kCp1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool DefinirDataModificacao(const std::filesystem::path& caminho, const DataHoraLocal& data) {
  if (!DataHoraValida(data)) return false;
  std::tm local{};
  local.tm_year = data.ano - 1900;
  local.tm_mon = data.mes - 1;
  local.tm_mday = data.dia;
  local.tm_hour = data.hora;
  local.tm_min = data.minuto;
  local.tm_sec = data.segundo;
  local.tm_isdst = -1;
  const std::time_t instante = std::mktime(&local);
  if (instante == static_cast<std::time_t>(-1)) return false;
  const timespec tempos[2] = {{0, UTIME_OMIT}, {instante, 0}};
  return utimensat(AT_FDCWD, caminho.c_str(), tempos, 0) == 0;
}

bool DefinirAtributos(const std::filesystem::path& caminho, std::uint32_t atributos) {
  if (!(atributos & kAtributoSomenteLeitura)) return true;
  struct stat info {};
  if (stat(caminho.c_str(), &info) != 0) return false;
  const mode_t modo = info.st_mode & 07777 & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  return chmod(caminho.c_str(), modo) == 0;
}

bool SomenteLeitura(const std::filesystem::path& caminho) {
  struct stat info {};
  return stat(caminho.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR);
}

std::string TextoPaginaPadrao(std::string_view bytes) {
  bool valido = true;
  for (std::size_t i = 0; i < bytes.size() && valido;) {
    const std::size_t n = SequenciaUtf8(bytes, i);
    valido = n != 0;
    i += n;
  }
  if (valido) return std::string(bytes);
  std::string saida;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AcrescentarUtf8(saida, b >= 0x80 && b < 0xA0 ? kCp1252[b - 0x80] : char32_t{b});
  }
  return saida;
}

TArquivoLeitura::TArquivoLeitura(const std::string& nome) {
  const int fd = open(CaminhoNativo(nome).c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    const int erro = errno;
    if (fd >= 0) close(fd);
    throw ErroAbrirArquivo(nome, std::strerror(erro));
  }
  FIdentificador = fd;
  FTamanho = static_cast<std::uint64_t>(info.st_size);
}

TArquivoLeitura::~TArquivoLeitura() {
  close(static_cast<int>(FIdentificador));
}

std::int64_t TArquivoLeitura::Ler(std::uint64_t posicao, void* destino, std::size_t n) noexcept {
  auto* saida = static_cast<char*>(destino);
  std::size_t lidos = 0;
  while (lidos < n) {
    const ssize_t r = pread(static_cast<int>(FIdentificador), saida + lidos, n - lidos,
                            static_cast<off_t>(posicao + lidos));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    lidos += static_cast<std::size_t>(r);
  }
  return static_cast<std::int64_t>(lidos);
}

}  // namespace plataforma
