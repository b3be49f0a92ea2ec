#pragma once
// Builds ZIP archives byte by byte, so that a test can give an entry any name, flag, host,
// attribute, date or CRC, including the ones no well-behaved tool would write.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct EntradaTeste {
  std::string nome;  // the bytes as stored
  std::string conteudo;
  std::uint16_t metodo = 8;  // 8 is deflated here, anything else is stored as given
  std::uint16_t flags = 0;
  std::uint8_t sistema = 3;                         // Unix
  std::uint32_t atributos = 0100644u << 16;         // rw-r--r--
  std::uint16_t hora = 0x7000;                      // 14:00:00
  std::uint16_t data = (43u << 9) | (5 << 5) | 17;  // 2023-05-17
  std::string extra;
  std::optional<std::uint32_t> crc;  // a wrong one on purpose
  std::optional<std::string> dados;  // the data as stored, instead of the content's
};

struct OpcoesZip {
  std::string comentario;
  std::uint16_t disco = 0;
  bool zip64 = false;  // the ZIP64 end records, the classic one only marking them
  std::optional<std::uint64_t> entradas64;  // a false count or offset in the ZIP64 record
  std::optional<std::uint64_t> posicao64;
};

std::string MontarZip(const std::vector<EntradaTeste>& entradas, const OpcoesZip& opcoes = {});

// Info-ZIP Unicode Path extra field for a stored name; `crcDoNome` defaults to the right one.
std::string CampoCaminhoUnicode(const std::string& nomeGravado, const std::string& utf8,
                                std::optional<std::uint32_t> crcDoNome = std::nullopt);

std::uint32_t Crc32Teste(const std::string& dados);
std::uint16_t HoraDos(int hora, int minuto, int segundo);
std::uint16_t DataDos(int ano, int mes, int dia);
