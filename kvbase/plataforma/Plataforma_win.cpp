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
