// Stand-in for the Windows command interpreter, for the installer on Linux.
//   cmd /c start <program> [args]    launch detached, return at once
//   cmd /c taskkill /f /im <name>    end the processes whose executable is <name> in the
//                                    current folder; none running is no error
//   cmd /c <anything else>           /bin/sh -c
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Splits a command text into words; double quotes group, as cmd reads them.
std::vector<std::string> Palavras(const std::string& texto) {
  std::vector<std::string> palavras;
  std::string atual;
  bool aspas = false, temPalavra = false;
  for (char c : texto) {
    if (c == '"') {
      aspas = !aspas;
      temPalavra = true;
    } else if (c == ' ' && !aspas) {
      if (temPalavra) palavras.push_back(atual);
      atual.clear();
      temPalavra = false;
    } else {
      atual += c;
      temPalavra = true;
    }
  }
  if (temPalavra) palavras.push_back(atual);
  return palavras;
}

std::string Nativo(std::string nome) {
  std::replace(nome.begin(), nome.end(), '\\', '/');
  return nome;
}

bool IguaisSemCaixa(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int Iniciar(const std::vector<std::string>& palavras) {
  if (palavras.size() < 2) return 1;
  std::string programa = Nativo(palavras[1]);
  if (programa.find('/') == std::string::npos && fs::exists(programa)) programa = "./" + programa;
  struct stat info {};
  // Any .exe is runnable on Windows; a downloaded file here arrives without the execute bit.
  if (stat(programa.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IXUSR)) {
    chmod(programa.c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
  }
  std::vector<std::string> args(palavras.begin() + 1, palavras.end());
  args[0] = programa;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int canal[2];
  if (pipe2(canal, O_CLOEXEC) != 0) return 1;
  const pid_t filho = fork();
  if (filho < 0) return 1;
  if (filho == 0) {
    // Double fork: the program belongs to no one and outlives us.
    setsid();
    if (fork() != 0) _exit(0);
    close(canal[0]);
    const int nulo = open("/dev/null", O_RDWR);
    if (nulo >= 0) {
      dup2(nulo, 0);
      dup2(nulo, 1);
      dup2(nulo, 2);
    }
    execvp(argv[0], argv.data());
    const int erro = errno;
    (void)!write(canal[1], &erro, sizeof erro);
    _exit(127);
  }
  close(canal[1]);
  int estado = 0;
  waitpid(filho, &estado, 0);
  int erro = 0;
  const bool falhou = read(canal[0], &erro, sizeof erro) == sizeof erro;
  close(canal[0]);
  if (falhou) {
    std::fprintf(stderr, "start: %s: %s\n", programa.c_str(), std::strerror(erro));
    return 1;
  }
  return 0;
}

int Encerrar(const std::vector<std::string>& palavras) {
  std::string nome;
  for (std::size_t i = 1; i + 1 < palavras.size(); ++i) {
    if (IguaisSemCaixa(palavras[i], "/im")) nome = palavras[i + 1];
  }
  if (nome.empty()) return 1;
  std::error_code erro;
  const fs::path pasta = fs::canonical(fs::current_path(), erro);
  const fs::path alvo = pasta / nome;
  DIR* proc = opendir("/proc");
  if (!proc) return 1;
  const pid_t eu = getpid();
  while (dirent* e = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0 || pid == eu) continue;
    std::string exe = fs::read_symlink(fs::path("/proc") / e->d_name / "exe", erro).string();
    if (erro) continue;
    // A replaced executable still runs under its old name, marked deleted.
    const std::string apagado = " (deleted)";
    if (exe.size() > apagado.size() &&
        exe.compare(exe.size() - apagado.size(), apagado.size(), apagado) == 0) {
      exe.resize(exe.size() - apagado.size());
    }
    if (exe == alvo.string()) kill(pid, SIGKILL);
  }
  closedir(proc);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || !IguaisSemCaixa(argv[1], "/c")) {
    std::fprintf(stderr, "usage: cmd /c <command>\n");
    return 1;
  }
  std::string comando = argv[2];
  for (int i = 3; i < argc; ++i) comando += std::string(" ") + argv[i];
  const auto palavras = Palavras(comando);
  if (!palavras.empty() && IguaisSemCaixa(palavras[0], "start")) return Iniciar(palavras);
  if (!palavras.empty() && IguaisSemCaixa(palavras[0], "taskkill")) return Encerrar(palavras);
  execl("/bin/sh", "sh", "-c", comando.c_str(), static_cast<char*>(nullptr));
  return 127;
}
