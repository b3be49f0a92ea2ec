#pragma once
// Every test works in a fresh temporary folder of its own, which becomes the current folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class PastaTeste : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Whole content of a file of the test folder (name relative to it).
  static std::string Ler(const std::string& nome);
  static void Escrever(const std::string& nome, const std::string& conteudo);

  std::filesystem::path Pasta;

 private:
  std::filesystem::path FAnterior;
};

// Folder of the test executable (where the built tools sit beside it, through the build tree).
std::filesystem::path PastaBuild();
