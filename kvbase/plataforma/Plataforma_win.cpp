#include <windows.h>

#include <algorithm>

#include "../Erros.h"
#include "Plataforma.h"

namespace plataforma {

namespace {

std::wstring Largo(std::string_view texto) {
  if (texto.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, texto.data(), static_cast<int>(texto.size()), nullptr, 0);
  std::wstring largo(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, texto.data(), static_cast<int>(texto.size()), largo.data(), n);
  return largo;
}

struct Identificador {
  HANDLE h = nullptr;
  explicit Identificador(HANDLE valor) : h(valor) {}
  Identificador(const Identificador&) = delete;
  Identificador& operator=(const Identificador&) = delete;
  ~Identificador() {
    if (h) CloseHandle(h);
  }
};

}  // namespace

std::filesystem::path CaminhoNativo(std::string_view nome) {
  std::wstring largo = Largo(nome);
  std::replace(largo.begin(), largo.end(), L'/', L'\\');
  return std::filesystem::path(largo);
}

std::vector<std::uintptr_t> CapturarPilha() {
  void* quadros[64];
  const USHORT n = RtlCaptureStackBackTrace(2, 64, quadros, nullptr);
  std::vector<std::uintptr_t> pilha;
  for (USHORT i = 0; i < n; ++i) pilha.push_back(reinterpret_cast<std::uintptr_t>(quadros[i]));
  return pilha;
}

std::filesystem::path PastaExecutavel() {
  std::wstring nome(MAX_PATH, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, nome.data(), static_cast<DWORD>(nome.size()));
  nome.resize(n);
  return std::filesystem::path(nome).parent_path();
}

bool ExecutarInterpretador(const std::string& comando, bool mostrarJanela, bool aguardar) {
  const std::string linha = LinhaComandoInterpretador(comando);
  std::wstring linhaLarga = Largo(linha);
  STARTUPINFOW inicio{};
  inicio.cb = sizeof(inicio);
  inicio.dwFlags = STARTF_USESHOWWINDOW;
  inicio.wShowWindow = mostrarJanela ? SW_SHOWNORMAL : SW_HIDE;
  PROCESS_INFORMATION processo{};
  if (!CreateProcessW(nullptr, linhaLarga.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &inicio, &processo)) {
    throw EProcess("Failed to execute " + linha + " : " + std::to_string(GetLastError()));
  }
  Identificador fio(processo.hThread), proc(processo.hProcess);
  if (!aguardar) return false;
  WaitForSingleObject(proc.h, INFINITE);
  DWORD codigo = 1;
  GetExitCodeProcess(proc.h, &codigo);
  return codigo == 0;
}

}  // namespace plataforma

namespace plataforma {

namespace {

std::string Estreito(std::wstring_view largo) {
  if (largo.empty()) return {};
  const int tamanho = static_cast<int>(largo.size());
  const int m =
      WideCharToMultiByte(CP_UTF8, 0, largo.data(), tamanho, nullptr, 0, nullptr, nullptr);
  std::string texto(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, largo.data(), tamanho, texto.data(), m, nullptr, nullptr);
  return texto;
}

EFOpenError ErroAbertura(const std::string& nome, DWORD codigo) {
  wchar_t* texto = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, codigo, 0, reinterpret_cast<LPWSTR>(&texto), 0, nullptr);
  std::wstring motivo = n ? std::wstring(texto, n) : L"error " + std::to_wstring(codigo);
  if (texto) LocalFree(texto);
  while (!motivo.empty() &&
         (motivo.back() == L'\r' || motivo.back() == L'\n' || motivo.back() == L'.')) {
    motivo.pop_back();
  }
  return ErroAbrirArquivo(nome, Estreito(motivo));
}

}  // namespace

bool DefinirDataModificacao(const std::filesystem::path& caminho, const DataHoraLocal& data) {
  if (!DataHoraValida(data)) return false;
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(data.ano);
  local.wMonth = static_cast<WORD>(data.mes);
  local.wDay = static_cast<WORD>(data.dia);
  local.wHour = static_cast<WORD>(data.hora);
  local.wMinute = static_cast<WORD>(data.minuto);
  local.wSecond = static_cast<WORD>(data.segundo);
  // The zone rules of that date, not today's bias, so summer dates keep their hour.
  SYSTEMTIME utc{};
  FILETIME tempo{};
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &tempo)) {
    return false;
  }
  const HANDLE h = CreateFileW(caminho.c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  Identificador arquivo(h);
  return SetFileTime(arquivo.h, nullptr, nullptr, &tempo) != 0;
}

bool DefinirAtributos(const std::filesystem::path& caminho, std::uint32_t atributos) {
  // Only the bits SetFileAttributesW accepts; the folder bit is the file system's to give.
  constexpr DWORD kAceitos = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                             FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD valor = static_cast<DWORD>(atributos) & kAceitos;
  if (valor == 0) valor = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(caminho.c_str(), valor) != 0;
}

bool SomenteLeitura(const std::filesystem::path& caminho) {
  const DWORD a = GetFileAttributesW(caminho.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
         (a & FILE_ATTRIBUTE_READONLY);
}

std::string TextoPaginaPadrao(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int tamanho = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), tamanho, nullptr, 0);
  std::wstring largo(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), tamanho, largo.data(), n);
  return Estreito(largo);
}

TArquivoLeitura::TArquivoLeitura(const std::string& nome) {
  const HANDLE h = CreateFileW(CaminhoNativo(nome).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw ErroAbertura(nome, GetLastError());
  LARGE_INTEGER tamanho{};
  if (!GetFileSizeEx(h, &tamanho)) {
    const DWORD erro = GetLastError();
    CloseHandle(h);
    throw ErroAbertura(nome, erro);
  }
  FIdentificador = reinterpret_cast<std::intptr_t>(h);
  FTamanho = static_cast<std::uint64_t>(tamanho.QuadPart);
}

TArquivoLeitura::~TArquivoLeitura() {
  CloseHandle(reinterpret_cast<HANDLE>(FIdentificador));
}

std::int64_t TArquivoLeitura::Ler(std::uint64_t posicao, void* destino, std::size_t n) noexcept {
  auto* saida = static_cast<char*>(destino);
  std::size_t lidos = 0;
  while (lidos < n) {
    // On a handle opened without FILE_FLAG_OVERLAPPED the structure only gives the position.
    OVERLAPPED onde{};
    const std::uint64_t p = posicao + lidos;
    onde.Offset = static_cast<DWORD>(p & 0xFFFFFFFFu);
    onde.OffsetHigh = static_cast<DWORD>(p >> 32);
    const DWORD pedido = static_cast<DWORD>(std::min<std::size_t>(n - lidos, 1u << 30));
    DWORD r = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(FIdentificador), saida + lidos, pedido, &r, &onde)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (r == 0) break;
    lidos += r;
  }
  return static_cast<std::int64_t>(lidos);
}

}  // namespace plataforma
