// Download benchmark: BaixarArquivo beside `curl -o` against the same loopback HTTPS server
// (the servidor_falso program), in the same run, alternating. Each download runs in a process
// of its own, so that its peak resident memory is its own.
//
//   download_bench [size in MiB, default 512] [rounds, default 3]
//
// Prints wall time, throughput and peak RSS of every run, and the medians.
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QProgressBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TKVAPI.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Relogio = std::chrono::steady_clock;

long PicoKiB() {
  rusage uso{};
  getrusage(RUSAGE_SELF, &uso);
  return uso.ru_maxrss;
}

// Child mode: one BaixarArquivo with a live progress bar, as the install run does it.
int Filho(const std::string& url, const std::string& pemArquivo, const std::string& destino) {
  int argc = 1;
  char nome[] = "download_bench";
  char* argv[] = {nome, nullptr};
  QApplication app(argc, argv);
  std::ifstream entrada(pemArquivo);
  const std::string pem((std::istreambuf_iterator<char>(entrada)),
                        std::istreambuf_iterator<char>());
  QProgressBar barra;
  TKVAPI api(url, pem);
  if (!std::getenv("KV_BENCH_SEM_BARRA")) api.Barra = &barra;
  const long antes = PicoKiB();
  const auto inicio = Relogio::now();
  const bool ok = api.BaixarArquivo("arquivos/grande.bin", destino, false);
  const double segundos = std::chrono::duration<double>(Relogio::now() - inicio).count();
  std::printf("%d %.6f %ld %ld %d\n", ok ? 1 : 0, segundos, antes, PicoKiB(), barra.value());
  return ok ? 0 : 1;
}

struct TExecucao {
  double Segundos = 0;
  long PicoKiB = 0;
  long BaseKiB = 0;
  bool Ok = false;
};

pid_t Iniciar(const std::vector<std::string>& args, int* saida) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t acoes;
  posix_spawn_file_actions_init(&acoes);
  int tubo[2] = {-1, -1};
  if (saida) {
    if (pipe(tubo) != 0) return -1;
    posix_spawn_file_actions_adddup2(&acoes, tubo[1], 1);
    posix_spawn_file_actions_addclose(&acoes, tubo[0]);
  }
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &acoes, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&acoes);
  if (saida) {
    close(tubo[1]);
    *saida = tubo[0];
  }
  return pid;
}

std::string LerTudo(int fd) {
  std::string texto;
  char bloco[4096];
  for (ssize_t n; (n = read(fd, bloco, sizeof bloco)) > 0;) texto.append(bloco, n);
  close(fd);
  return texto;
}

std::string LerLinha(int fd) {
  std::string linha;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') linha += c;
  return linha;
}

TExecucao Curl(const std::string& url, const fs::path& ca, const fs::path& destino) {
  const auto inicio = Relogio::now();
  const pid_t pid = Iniciar({"/usr/bin/curl", "-sS", "--cacert", ca.string(), "-o",
                             destino.string(), url + "arquivos/grande.bin"},
                            nullptr);
  int estado = 0;
  rusage uso{};
  wait4(pid, &estado, 0, &uso);
  TExecucao e;
  e.Segundos = std::chrono::duration<double>(Relogio::now() - inicio).count();
  e.PicoKiB = uso.ru_maxrss;
  e.Ok = WIFEXITED(estado) && WEXITSTATUS(estado) == 0;
  return e;
}

TExecucao Nosso(const std::string& url, const fs::path& ca, const fs::path& destino) {
  int saida = -1;
  const pid_t pid =
      Iniciar({"/proc/self/exe", "--filho", url, ca.string(), destino.string()}, &saida);
  const std::string texto = LerTudo(saida);
  int estado = 0;
  waitpid(pid, &estado, 0);
  TExecucao e;
  int ok = 0, posicao = 0;
  std::sscanf(texto.c_str(), "%d %lf %ld %ld %d", &ok, &e.Segundos, &e.BaseKiB, &e.PicoKiB,
              &posicao);
  e.Ok = ok == 1 && posicao == 100;
  return e;
}

double Mediana(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--filho") return Filho(argv[2], argv[3], argv[4]);
  const long mib = argc > 1 ? std::atol(argv[1]) : 512;
  const int rodadas = argc > 2 ? std::atoi(argv[2]) : 3;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::string modelo = (fs::temp_directory_path() / "kvbench-download-XXXXXX").string();
  if (!mkdtemp(modelo.data())) return 1;
  const fs::path pasta = modelo;
  fs::create_directory(pasta / "publicado");
  {
    // Incompressible content, so that nothing along the way can shortcut it.
    std::vector<char> bloco(1 << 20);
    std::mt19937_64 gerador(42);
    std::ofstream saida(pasta / "publicado" / "grande.bin", std::ios::binary);
    for (long i = 0; i < mib; ++i) {
      for (auto& c : bloco) c = static_cast<char>(gerador());
      saida.write(bloco.data(), static_cast<std::streamsize>(bloco.size()));
    }
  }
  const std::uint64_t tamanho = static_cast<std::uint64_t>(mib) << 20;

  int saidaServidor = -1;
  const fs::path ca = pasta / "ca.pem";
  const pid_t servidor =
      Iniciar({KV_SERVIDOR_FALSO, "--pasta", (pasta / "publicado").string(), "--ca", ca.string()},
              &saidaServidor);
  const std::string url = LerLinha(saidaServidor);
  if (servidor < 0 || url.empty()) {
    std::fprintf(stderr, "servidor_falso did not start\n");
    return 1;
  }
  std::printf("file %ld MiB, server %s, %d rounds\n", mib, url.c_str(), rodadas);
  std::printf("%-14s %5s %9s %10s %12s %s\n", "tool", "round", "seconds", "MiB/s", "peak RSS MiB",
              "ok");

  std::vector<double> tempoCurl, tempoNosso, picoCurl, picoNosso, baseNosso;
  bool tudoOk = true;
  for (int r = 1; r <= rodadas; ++r) {
    for (int lado = 0; lado < 2; ++lado) {
      const fs::path destino = pasta / (lado == 0 ? "curl.bin" : "nosso.bin");
      const TExecucao e = lado == 0 ? Curl(url, ca, destino) : Nosso(url, ca, destino);
      std::error_code erro;
      const bool inteiro = fs::file_size(destino, erro) == tamanho;
      tudoOk = tudoOk && e.Ok && inteiro;
      std::printf("%-14s %5d %9.3f %10.1f %12.1f %s\n", lado == 0 ? "curl -o" : "BaixarArquivo", r,
                  e.Segundos, static_cast<double>(mib) / e.Segundos, e.PicoKiB / 1024.0,
                  e.Ok && inteiro ? "yes" : "NO");
      (lado == 0 ? tempoCurl : tempoNosso).push_back(e.Segundos);
      (lado == 0 ? picoCurl : picoNosso).push_back(e.PicoKiB / 1024.0);
      if (lado == 1) baseNosso.push_back(e.BaseKiB / 1024.0);
      fs::remove(destino, erro);
    }
  }
  kill(servidor, SIGTERM);
  waitpid(servidor, nullptr, 0);
  close(saidaServidor);

  const double mc = Mediana(tempoCurl), mn = Mediana(tempoNosso);
  std::printf("\nmedian curl -o        %.3f s  %.1f MiB/s  peak RSS %.1f MiB\n", mc, mib / mc,
              Mediana(picoCurl));
  std::printf(
      "median BaixarArquivo  %.3f s  %.1f MiB/s  peak RSS %.1f MiB (%.1f MiB before the "
      "download)\n",
      mn, mib / mn, Mediana(picoNosso), Mediana(baseNosso));
  std::printf("throughput BaixarArquivo / curl: %.3f (goal >= 0.90)\n", mc / mn);
  std::printf("(peak RSS - RSS before) / file size: %.3f (goal <= 1.1)\n",
              (Mediana(picoNosso) - Mediana(baseNosso)) / static_cast<double>(mib));
  fs::remove_all(pasta);
  return tudoOk ? 0 : 1;
}
