// The reader's own CRC-32 against zlib's, the reference it replaces.

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "TLeitorZip.h"

namespace {

std::uint32_t CrcZlib(const char* p, std::size_t n) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(p), static_cast<uInt>(n)));
}

}  // namespace

TEST(Crc32Zip, ValorConhecido) {
  EXPECT_EQ(TLeitorZip::Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(TLeitorZip::Crc32(0, "", 0), 0u);
  EXPECT_EQ(TLeitorZip::Crc32(0x1234u, "", 0), 0x1234u);
}

// Every length and alignment around the folding widths (16 and 64 bytes), large blocks, and
// the value carried from one piece to the next at any cut.
TEST(Crc32Zip, IgualAoDoZlibEmQualquerTamanhoAlinhamentoECorte) {
  std::mt19937 gerador(11);
  std::string dados((1 << 20) + 64, '\0');
  for (auto& c : dados) c = static_cast<char>(gerador());
  int diferentes = 0;
  for (std::size_t inicio = 0; inicio < 16; ++inicio) {
    for (std::size_t n = 0; n <= 1100; ++n) {
      if (TLeitorZip::Crc32(0, dados.data() + inicio, n) != CrcZlib(dados.data() + inicio, n)) {
        ++diferentes;
      }
    }
  }
  EXPECT_EQ(diferentes, 0);
  for (std::size_t n : {std::size_t{65536}, std::size_t{262144} + 13, dados.size()}) {
    EXPECT_EQ(TLeitorZip::Crc32(0, dados.data(), n), CrcZlib(dados.data(), n)) << n;
  }
  const std::size_t n = 300000;
  const std::uint32_t inteiro = CrcZlib(dados.data(), n);
  for (std::size_t corte : {1u, 15u, 63u, 64u, 65u, 1000u, 16384u, 299999u}) {
    const std::uint32_t primeiro = TLeitorZip::Crc32(0, dados.data(), corte);
    EXPECT_EQ(TLeitorZip::Crc32(primeiro, dados.data() + corte, n - corte), inteiro) << corte;
  }
}
