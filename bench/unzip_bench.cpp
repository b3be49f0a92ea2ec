// Unpacking speed against Info-ZIP unzip and bsdtar on the same archives in the same run:
// about 2000 mixed files (300 MiB archive) and one highly compressible 300 MiB file.
//
//   unzip_bench [work folder] [runs] [only the tools whose name holds this text]
//
// The archives are made once in the work folder (libzip, default deflate level) and reused.
// Every tool unpacks into a fresh folder; the best of the runs is kept, by the wall clock and
// by processor time (user and system, the tool's process included). MB/s counts the bytes
// written (10^6 bytes per MB).

#include <sys/resource.h>
#include <zip.h>

#include <QApplication>
#include <QProgressBar>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "Descompactador.h"
#include "TKVBase.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

struct Arquivo {
  std::string nome;
  std::string conteudo;
};

// Text-like data: words from a small vocabulary, compressing about 3:1 as source and logs do.
std::string Texto(std::mt19937_64& g, std::size_t tamanho) {
  static const char* kPalavras[] = {"venda ",   "cupom ",   "fiscal ", "produto ", "caixa ",
                                    "estoque ", "cliente ", "nota\n",  "123,45 ",  "CNPJ ",
                                    "valor ",   "total ",   "pedido ", "item ",    "preço "};
  std::string s;
  s.reserve(tamanho + 16);
  while (s.size() < tamanho) {
    s += kPalavras[g() % 15];
    if (g() % 7 == 0) s += std::to_string(g() % 100000);
  }
  s.resize(tamanho);
  return s;
}

// Machine-code-like data: short runs of a few byte values among random ones, about 2:1.
std::string Binario(std::mt19937_64& g, std::size_t tamanho) {
  std::string s(tamanho, '\0');
  for (std::size_t i = 0; i < tamanho;) {
    const std::uint64_t v = g();
    const std::size_t corrida = std::min<std::size_t>(1 + v % 12, tamanho - i);
    const char c =
        (v >> 8) % 3 == 0 ? static_cast<char>(v >> 16) : static_cast<char>((v >> 16) % 4);
    for (std::size_t k = 0; k < corrida; ++k)
      s[i++] = (v >> (20 + k)) & 1 ? c : static_cast<char>(g());
  }
  return s;
}

std::string Ruido(std::mt19937_64& g, std::size_t tamanho) {
  std::string s(tamanho, '\0');
  for (std::size_t i = 0; i + 8 <= tamanho; i += 8) {
    const std::uint64_t v = g();
    std::memcpy(&s[i], &v, 8);
  }
  return s;
}

void CriarZip(const fs::path& caminho, const std::vector<Arquivo>& arquivos) {
  int erro = 0;
  zip_t* z = zip_open(caminho.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &erro);
  if (!z) throw std::runtime_error("zip_open " + std::to_string(erro));
  for (const auto& a : arquivos) {
    zip_source_t* s = zip_source_buffer(z, a.conteudo.data(), a.conteudo.size(), 0);
    if (!s || zip_file_add(z, a.nome.c_str(), s, ZIP_FL_ENC_UTF_8) < 0) {
      throw std::runtime_error(zip_strerror(z));
    }
  }
  if (zip_close(z) < 0) throw std::runtime_error(zip_strerror(z));
}

// About 2000 files of sizes from a few bytes to megabytes in nested folders, as a product
// folder holds them: text, programs and libraries, and already compressed pictures, in thirds,
// until the archive holds about 300 MiB.
void CriarMisto(const fs::path& caminho) {
  std::mt19937_64 g(2026);
  std::vector<Arquivo> arquivos;
  std::uint64_t estimado = 0;
  for (int i = 0; estimado < 300 * kMiB || i < 2000; ++i) {
    const std::size_t tamanho =
        static_cast<std::size_t>(std::exp(std::uniform_real_distribution<>(4, 14.2)(g)));
    const int tipo = static_cast<int>(g() % 3);
    Arquivo a;
    a.nome = "pasta" + std::to_string(i % 37) + "/sub" + std::to_string(i % 5) + "/arquivo" +
             std::to_string(i) +
             (tipo == 0   ? ".txt"
              : tipo == 1 ? ".dll"
                          : ".png");
    a.conteudo = tipo == 0   ? Texto(g, tamanho)
                 : tipo == 1 ? Binario(g, tamanho)
                             : Ruido(g, tamanho);
    estimado += tipo == 0 ? tamanho / 3 : tipo == 1 ? tamanho / 2 : tamanho;
    arquivos.push_back(std::move(a));
    if (i >= 2000 && estimado >= 300 * kMiB) break;
  }
  CriarZip(caminho, arquivos);
}

void CriarCompressivel(const fs::path& caminho) {
  std::mt19937_64 g(7);
  // A short period inside deflate's 32 KiB window: about 100 to 1.
  std::string dados = Texto(g, 4 * 1024);
  while (dados.size() < 300 * kMiB) dados += dados;
  dados.resize(300 * kMiB);
  CriarZip(caminho, {{"banco.dat", std::move(dados)}});
}

std::uint64_t BytesEscritos(const fs::path& pasta) {
  std::uint64_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(pasta)) {
    if (e.is_regular_file()) total += e.file_size();
  }
  return total;
}

// User plus system time of this process and of its finished children.
double TempoCpu() {
  double total = 0;
  for (int quem : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage uso{};
    getrusage(quem, &uso);
    for (const timeval& t : {uso.ru_utime, uso.ru_stime}) total += t.tv_sec + t.tv_usec / 1e6;
  }
  return total;
}

struct Tempo {
  double parede = 0;
  double cpu = 0;
};

// The machine is shared: the processor time moves less than the wall clock under load.
Tempo Medir(const fs::path& saida, const std::function<void()>& executar) {
  fs::remove_all(saida);
  fs::create_directories(saida);
  const double cpu = TempoCpu();
  const auto inicio = std::chrono::steady_clock::now();
  executar();
  const double parede =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  return {parede, TempoCpu() - cpu};
}

void Comando(const std::string& linha) {
  if (std::system(linha.c_str()) != 0) throw std::runtime_error("failed: " + linha);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication aplicacao(argc, argv);
  const fs::path pasta = fs::absolute(argc > 1 ? argv[1] : "unzip_bench_dados");
  const int rodadas = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string filtro = argc > 3 ? argv[3] : "";
  fs::create_directories(pasta);
  fs::current_path(pasta);

  const std::vector<std::pair<std::string, void (*)(const fs::path&)>> arquivos = {
      {"misto.zip", CriarMisto}, {"compressivel.zip", CriarCompressivel}};
  for (const auto& [nome, criar] : arquivos) {
    if (!fs::exists(nome)) {
      std::cerr << "creating " << nome << "...\n";
      criar(nome);
    }
  }

  // The real progress path: the base services object with a bar lent, events processed.
  TKVBase base;
  ObjBase = &base;
  QProgressBar barra;
  barra.setRange(0, 100);
  barra.show();
  std::uint64_t relatorios = 0;

  std::printf(
      "| archive | archive MiB | written MiB | tool | best wall s | MB/s | best CPU s | MB/CPU s "
      "|\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const auto& [nome, criar] : arquivos) {
    const fs::path zip = pasta / nome;
    const fs::path saida = pasta / "saida";
    const std::vector<std::pair<std::string, std::function<void()>>> ferramentas = {
        {"DescompactarZip", [&] { DescompactarZip(".\\" + nome, ".\\saida", nullptr); }},
        {"Descompactar + bar",
         [&] {
           base.Progresso = &barra;
           DescompactarZip(".\\" + nome, ".\\saida", [&](double p) {
             ++relatorios;
             base.ProgressoDescompactar(nullptr, p);
           });
           base.Progresso = nullptr;
         }},
        {"unzip",
         [&] { Comando("unzip -qq -o '" + zip.string() + "' -d '" + saida.string() + "'"); }},
        {"bsdtar",
         [&] { Comando("bsdtar -xf '" + zip.string() + "' -C '" + saida.string() + "'"); }},
    };
    for (const auto& [ferramenta, executar] : ferramentas) {
      if (ferramenta.find(filtro) == std::string::npos) continue;
      Tempo melhor{1e30, 1e30};
      relatorios = 0;
      for (int r = 0; r < rodadas; ++r) {
        const Tempo t = Medir(saida, executar);
        melhor = {std::min(melhor.parede, t.parede), std::min(melhor.cpu, t.cpu)};
      }
      const std::uint64_t escritos = BytesEscritos(saida);
      std::printf("| %s | %.1f | %.1f | %s | %.3f | %.0f | %.3f | %.0f |\n", nome.c_str(),
                  static_cast<double>(fs::file_size(zip)) / kMiB,
                  static_cast<double>(escritos) / kMiB, ferramenta.c_str(), melhor.parede,
                  static_cast<double>(escritos) / melhor.parede / 1e6, melhor.cpu,
                  static_cast<double>(escritos) / melhor.cpu / 1e6);
      if (relatorios) {
        std::fprintf(stderr, "  %s: %llu progress reports per run\n", nome.c_str(),
                     static_cast<unsigned long long>(relatorios / rodadas));
      }
      std::fflush(stdout);
    }
  }
  fs::remove_all(pasta / "saida");
  ObjBase = nullptr;
  return 0;
}
