// Unpacking speed against Info-ZIP unzip and bsdtar on the same archives in the same run:
// about 2000 mixed files (300 MiB archive) and one highly compressible 300 MiB file.
//
//   unzip_bench [work folder] [runs]
//
// The archives are made once in the work folder (libzip, default deflate level) and reused.
// Every tool unpacks into a fresh folder; the best of the runs is kept. MB/s counts the bytes
// written (10^6 bytes per MB).

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

// About 2000 files of sizes from a few bytes to megabytes in nested folders: a third text, the
// rest already compressed (pictures, libraries), until the archive holds about 300 MiB.
void CriarMisto(const fs::path& caminho) {
  std::mt19937_64 g(2026);
  std::vector<Arquivo> arquivos;
  std::uint64_t estimado = 0;
  for (int i = 0; estimado < 300 * kMiB || i < 2000; ++i) {
    const std::size_t tamanho =
        static_cast<std::size_t>(std::exp(std::uniform_real_distribution<>(4, 14.2)(g)));
    const bool texto = g() % 3 == 0;
    Arquivo a;
    a.nome = "pasta" + std::to_string(i % 37) + "/sub" + std::to_string(i % 5) + "/arquivo" +
             std::to_string(i) + (texto ? ".txt" : ".bin");
    a.conteudo = texto ? Texto(g, tamanho) : Ruido(g, tamanho);
    estimado += texto ? tamanho / 3 : tamanho;
    arquivos.push_back(std::move(a));
    if (i >= 2000 && estimado >= 300 * kMiB) break;
  }
  CriarZip(caminho, arquivos);
}

void CriarCompressivel(const fs::path& caminho) {
  std::mt19937_64 g(7);
  std::string dados = Texto(g, 64 * 1024);
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

double Medir(const fs::path& saida, const std::function<void()>& executar) {
  fs::remove_all(saida);
  fs::create_directories(saida);
  const auto inicio = std::chrono::steady_clock::now();
  executar();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
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

  std::printf("| archive | archive MiB | written MiB | tool | best s | MB/s |\n");
  std::printf("|---|---|---|---|---|---|\n");
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
      double melhor = 1e30;
      relatorios = 0;
      for (int r = 0; r < rodadas; ++r) melhor = std::min(melhor, Medir(saida, executar));
      const std::uint64_t escritos = BytesEscritos(saida);
      std::printf("| %s | %.1f | %.1f | %s | %.3f | %.0f |\n", nome.c_str(),
                  static_cast<double>(fs::file_size(zip)) / kMiB,
                  static_cast<double>(escritos) / kMiB, ferramenta.c_str(), melhor,
                  static_cast<double>(escritos) / melhor / 1e6);
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
