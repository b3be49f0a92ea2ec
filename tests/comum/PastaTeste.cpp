#include "PastaTeste.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

void PastaTeste::SetUp() {
  FAnterior = std::filesystem::current_path();
  std::string modelo = (std::filesystem::temp_directory_path() / "kvteste-XXXXXX").string();
  ASSERT_NE(mkdtemp(modelo.data()), nullptr);
  Pasta = modelo;
  std::filesystem::current_path(Pasta);
}

void PastaTeste::TearDown() {
  std::filesystem::current_path(FAnterior);
  std::error_code erro;
  // Read-only files an unpacking test wrote must not keep the folder alive.
  for (auto& e : std::filesystem::recursive_directory_iterator(Pasta, erro)) {
    std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, erro);
  }
  std::filesystem::remove_all(Pasta, erro);
}

std::string PastaTeste::Ler(const std::string& nome) {
  std::ifstream entrada(nome, std::ios::binary);
  std::stringstream s;
  s << entrada.rdbuf();
  return s.str();
}

void PastaTeste::Escrever(const std::string& nome, const std::string& conteudo) {
  std::ofstream saida(nome, std::ios::binary | std::ios::trunc);
  saida << conteudo;
}

std::filesystem::path PastaBuild() {
  return KV_PASTA_BUILD;
}
