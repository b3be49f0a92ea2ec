// Writes a stand-in for an outside payload: deterministic bytes of the published size, starting
// with the given prefix. Usage: GerarSubstituto <out> <size> <seed text> [prefix hex]
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: GerarSubstituto <out> <size> <seed> [prefix-hex]\n";
    return 2;
  }
  const std::size_t tamanho = std::strtoull(argv[2], nullptr, 10);
  std::uint64_t estado = 1469598103934665603ull;
  for (const char* p = argv[3]; *p; ++p)
    estado = (estado ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
  std::vector<char> bytes(tamanho);
  for (auto& b : bytes) {
    estado ^= estado << 13;
    estado ^= estado >> 7;
    estado ^= estado << 17;
    b = static_cast<char>(estado >> 24);
  }
  if (argc > 4) {
    const std::string hex = argv[4];
    for (std::size_t i = 0; i + 1 < hex.size() && i / 2 < tamanho; i += 2)
      bytes[i / 2] = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  std::ofstream saida(argv[1], std::ios::binary | std::ios::trunc);
  saida.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return saida ? 0 : 1;
}
