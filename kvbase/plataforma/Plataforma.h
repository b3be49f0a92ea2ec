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

}  // namespace plataforma
