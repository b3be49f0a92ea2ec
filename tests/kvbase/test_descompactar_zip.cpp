#include "test_descompactar_zip.h"

#include <QByteArray>
#include <array>

namespace {

void Poe16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Poe32(std::string& s, std::uint32_t v) {
  Poe16(s, v & 0xFFFF);
  Poe16(s, v >> 16);
}
void Poe64(std::string& s, std::uint64_t v) {
  Poe32(s, static_cast<std::uint32_t>(v));
  Poe32(s, static_cast<std::uint32_t>(v >> 32));
}

// qCompress gives a zlib stream behind a 4-byte length: the raw deflate data lies between the
// 2-byte zlib header and the 4-byte Adler-32 trailer.
std::string Deflate(const std::string& dados) {
  const QByteArray z = qCompress(QByteArray(dados.data(), static_cast<qsizetype>(dados.size())), 9);
  return std::string(z.constData() + 6, static_cast<std::size_t>(z.size() - 10));
}

}  // namespace

std::uint32_t Crc32Teste(const std::string& dados) {
  static const auto tabela = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : dados) crc = tabela[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint16_t HoraDos(int hora, int minuto, int segundo) {
  return static_cast<std::uint16_t>((hora << 11) | (minuto << 5) | (segundo / 2));
}
std::uint16_t DataDos(int ano, int mes, int dia) {
  return static_cast<std::uint16_t>(((ano - 1980) << 9) | (mes << 5) | dia);
}

std::string CampoCaminhoUnicode(const std::string& nomeGravado, const std::string& utf8,
                                std::optional<std::uint32_t> crcDoNome) {
  std::string campo;
  Poe16(campo, 0x7075);
  Poe16(campo, static_cast<std::uint32_t>(5 + utf8.size()));
  campo += '\1';
  Poe32(campo, crcDoNome.value_or(Crc32Teste(nomeGravado)));
  return campo + utf8;
}

std::string MontarZip(const std::vector<EntradaTeste>& entradas, const OpcoesZip& opcoes) {
  std::string zip, central;
  for (const auto& e : entradas) {
    const std::string dados = e.dados ? *e.dados : e.metodo == 8 ? Deflate(e.conteudo) : e.conteudo;
    const std::uint32_t crc = e.crc.value_or(Crc32Teste(e.conteudo));
    std::string comum;
    Poe16(comum, e.flags);
    Poe16(comum, e.metodo);
    Poe16(comum, e.hora);
    Poe16(comum, e.data);
    Poe32(comum, crc);
    Poe32(comum, static_cast<std::uint32_t>(dados.size()));
    Poe32(comum, static_cast<std::uint32_t>(e.conteudo.size()));
    Poe16(comum, static_cast<std::uint32_t>(e.nome.size()));
    Poe16(comum, static_cast<std::uint32_t>(e.extra.size()));

    const auto posicao = static_cast<std::uint32_t>(zip.size());
    Poe32(zip, 0x04034b50);
    Poe16(zip, 20);
    zip += comum + e.nome + e.extra + dados;

    Poe32(central, 0x02014b50);
    Poe16(central, (static_cast<std::uint32_t>(e.sistema) << 8) | 20);
    Poe16(central, 20);
    central += comum;
    Poe16(central, 0);  // comment
    Poe16(central, 0);  // disk
    Poe16(central, 0);  // internal attributes
    Poe32(central, e.atributos);
    Poe32(central, posicao);
    central += e.nome + e.extra;
  }
  const auto inicioCentral = static_cast<std::uint32_t>(zip.size());
  zip += central;
  if (opcoes.zip64) {
    const std::uint64_t quantas = opcoes.entradas64.value_or(entradas.size());
    const auto inicioFim64 = static_cast<std::uint64_t>(zip.size());
    Poe32(zip, 0x06064b50);
    Poe64(zip, 44);
    Poe16(zip, 45);
    Poe16(zip, 45);
    Poe32(zip, 0);
    Poe32(zip, 0);
    Poe64(zip, quantas);
    Poe64(zip, quantas);
    Poe64(zip, central.size());
    Poe64(zip, opcoes.posicao64.value_or(inicioCentral));
    Poe32(zip, 0x07064b50);
    Poe32(zip, 0);
    Poe64(zip, inicioFim64);
    Poe32(zip, 1);
  }
  Poe32(zip, 0x06054b50);
  Poe16(zip, opcoes.disco);
  Poe16(zip, opcoes.disco);
  Poe16(zip, opcoes.zip64 ? 0xFFFF : static_cast<std::uint32_t>(entradas.size()));
  Poe16(zip, opcoes.zip64 ? 0xFFFF : static_cast<std::uint32_t>(entradas.size()));
  Poe32(zip, opcoes.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(central.size()));
  Poe32(zip, opcoes.zip64 ? 0xFFFFFFFF : inicioCentral);
  Poe16(zip, static_cast<std::uint32_t>(opcoes.comentario.size()));
  return zip + opcoes.comentario;
}
