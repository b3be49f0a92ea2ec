#include "Descompactador.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unordered_set>

#include "Erros.h"
#include "TLeitorZip.h"
#include "plataforma/Plataforma.h"

namespace {

namespace fs = std::filesystem;

// Inflated data goes out in blocks of this size, each written as it comes: the progress series
// is defined by them. Stored data reports nothing, so it moves in larger blocks.
constexpr std::size_t kBloco = 16384;
constexpr std::size_t kBlocoGuardado = 256 * 1024;

bool SistemaWindows(std::uint8_t sistema) {
  return sistema == 0 || sistema == 6 || sistema == 10 || sistema == 14;
}
bool SistemaUnix(std::uint8_t sistema) {
  return sistema == 3 || sistema == 19;
}

std::uint32_t ModoUnix(const TEntradaZip& e) {
  return e.AtributosExternos >> 16;
}

bool EhPasta(const TEntradaZip& e, const std::string& nome) {
  if (!nome.empty() && nome.back() == '\\') return true;
  if (SistemaWindows(e.Sistema)) return (e.AtributosExternos & plataforma::kAtributoPasta) != 0;
  if (SistemaUnix(e.Sistema)) return (ModoUnix(e) & 0170000) == 0040000;
  return false;
}

// A name stays below the destination only when it is relative and has no part that climbs
// out. Windows drops trailing dots and blanks from a part, so "..." and ".. " climb as well;
// a colon is a drive or a stream there; a NUL would cut the name short.
bool NomeSeguro(const std::string& nome) {
  if (nome.empty()) return true;
  if (nome.front() == '\\') return false;
  if (nome.find(':') != std::string::npos || nome.find('\0') != std::string::npos) return false;
  std::size_t inicio = 0;
  while (inicio <= nome.size()) {
    std::size_t fim = nome.find('\\', inicio);
    if (fim == std::string::npos) fim = nome.size();
    const std::string parte = nome.substr(inicio, fim - inicio);
    const bool soPontosBrancos = parte.find_first_not_of(". ") == std::string::npos;
    if (soPontosBrancos && parte.size() >= 2) return false;
    inicio = fim + 1;
  }
  return true;
}

// Where a write to `caminho` lands: links standing in its own place followed, however many
// (weakly_canonical stops before a link whose target does not exist yet), the rest resolved
// as far as it exists. Empty for a loop or a link that cannot be read.
fs::path Resolvido(fs::path caminho) {
  std::error_code erro;
  for (int saltos = 0; fs::is_symlink(fs::symlink_status(caminho, erro)); ++saltos) {
    const fs::path alvo = fs::read_symlink(caminho, erro);
    if (erro || saltos == 40) return {};
    caminho = alvo.is_absolute() ? alvo : caminho.parent_path() / alvo;
  }
  const fs::path real = fs::weakly_canonical(fs::absolute(caminho, erro), erro);
  return erro ? fs::path() : real;
}

// The path with its links resolved must still lie below the destination.
bool DentroDe(const fs::path& caminho, const fs::path& base) {
  const fs::path real = Resolvido(caminho);
  if (real.empty()) return false;
  const fs::path relativo = real.lexically_relative(base);
  return !relativo.empty() && *relativo.begin() != "..";
}

EZipError ForaDoDestino(const TEntradaZip& e) {
  return EZipError("Entry " + e.Nome + " leads outside the destination folder.");
}

plataforma::DataHoraLocal DataDos(const TEntradaZip& e) {
  plataforma::DataHoraLocal d;
  d.ano = 1980 + (e.DataDos >> 9);
  d.mes = (e.DataDos >> 5) & 0x0F;
  d.dia = e.DataDos & 0x1F;
  d.hora = e.HoraDos >> 11;
  d.minuto = (e.HoraDos >> 5) & 0x3F;
  d.segundo = (e.HoraDos & 0x1F) * 2;
  return d;
}

// Attributes of the output, or 0 when the entry records none we can read.
std::uint32_t Atributos(const TEntradaZip& e, const std::string& nome) {
  if (SistemaWindows(e.Sistema)) return e.AtributosExternos;
  if (!SistemaUnix(e.Sistema) || ModoUnix(e) == 0) return 0;
  std::uint32_t atributos = plataforma::kAtributoArquivamento;
  const auto barra = nome.rfind('\\');
  if (nome.compare(barra == std::string::npos ? 0 : barra + 1, 1, ".") == 0) {
    atributos |= plataforma::kAtributoOculto;
  }
  if ((ModoUnix(e) & 0200) == 0) atributos |= plataforma::kAtributoSomenteLeitura;
  return atributos;
}

// Half a step rounds to the even neighbour.
std::uint64_t PassoProgresso(std::uint64_t tamanho) {
  std::uint64_t passo = tamanho / 100;
  const std::uint64_t resto = tamanho % 100;
  if (resto > 50 || (resto == 50 && (passo & 1))) ++passo;
  return passo;
}

void CriarPasta(const fs::path& caminho, const std::string& nome) {
  std::error_code erro;
  fs::create_directories(caminho, erro);
  if (erro) throw EFCreateError("Unable to create directory \"" + nome + "\": " + erro.message());
}

class TDescompactacao {
 public:
  TDescompactacao(const std::string& arquivo, const std::string& destino,
                  const std::function<void(double)>& aoProgredir)
      : FZip(arquivo), FAoProgredir(aoProgredir), FPasta(destino.empty() ? ".\\" : destino) {
    if (FPasta.back() != '\\' && FPasta.back() != '/') FPasta += '\\';
    std::error_code erro;
    FBase = fs::weakly_canonical(fs::absolute(plataforma::CaminhoNativo(FPasta), erro), erro);
    FPasso = PassoProgresso(FZip.Tamanho());
  }

  void Executar() {
    for (const TEntradaZip& e : FZip.Entradas()) Descompactar(e);
  }

 private:
  void Descompactar(const TEntradaZip& e) {
    if (e.Criptografada()) throw EZipError("Encrypted entry " + e.Nome + " is not supported.");
    if (e.DadosRemendo()) throw EZipError("Patch data entry " + e.Nome + " is not supported.");
    std::string nome = e.Nome;
    std::replace(nome.begin(), nome.end(), '/', '\\');
    if (!NomeSeguro(nome)) throw ForaDoDestino(e);
    const std::string saida = FPasta + nome;
    const fs::path caminho = plataforma::CaminhoNativo(saida);
    if (EhPasta(e, nome)) {
      PrepararPasta(saida.substr(0, saida.find_last_not_of('\\') + 1), e);
      plataforma::DefinirDataModificacao(caminho, DataDos(e));
      return;
    }
    // An existing link in the file's own place could still point anywhere.
    std::error_code erro;
    if (fs::is_symlink(fs::symlink_status(caminho, erro)) && !DentroDe(caminho, FBase)) {
      throw ForaDoDestino(e);
    }
    PrepararPasta(saida.substr(0, saida.rfind('\\')), e);
    auto leitura = FZip.Abrir(e);
    Gravar(e, leitura, caminho, saida);
    // The content is what matters: a date or mark the file system refuses does not undo it.
    plataforma::DefinirDataModificacao(caminho, DataDos(e));
    if (const std::uint32_t atributos = Atributos(e, nome)) {
      plataforma::DefinirAtributos(caminho, atributos);
    }
  }

  void Gravar(const TEntradaZip& e, TLeitorZip::TLeitura& leitura, const fs::path& caminho,
              const std::string& saida) {
    // Refused like Windows does, even for an administrator or root.
    if (plataforma::SomenteLeitura(caminho)) {
      throw ErroCriarArquivo(saida, std::strerror(EACCES));
    }
    std::ofstream arquivo;
    arquivo.rdbuf()->pubsetbuf(nullptr, 0);  // each block goes to the system as it comes
    arquivo.open(caminho, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!arquivo) throw ErroCriarArquivo(saida);

    const bool informa = e.Metodo != 0;
    const std::uint64_t tamanho = FZip.Tamanho();
    if (informa) Informar(0.0);
    std::uint64_t escrito = 0;
    std::uint64_t marca = FPasso;
    const std::size_t bloco = informa ? kBloco : kBlocoGuardado;
    for (std::string_view parte; !(parte = leitura.Ler(bloco)).empty();) {
      arquivo.write(parte.data(), static_cast<std::streamsize>(parte.size()));
      if (!arquivo) throw EWriteError("Stream write error");
      escrito += parte.size();
      if (informa && tamanho > 0 && escrito > marca) {
        Informar(100.0 * static_cast<double>(escrito) / static_cast<double>(tamanho));
        marca += FPasso;
      }
    }
    arquivo.close();
    if (!arquivo) throw EWriteError("Stream write error");
    if (informa) Informar(100.0);
  }

  void Informar(double percentual) {
    if (FAoProgredir) FAoProgredir(percentual);
  }

  // Checks once per folder that it lies below the destination, links resolved, and creates
  // it. No entry makes a link, so a folder found safe stays safe for the rest of the archive.
  void PrepararPasta(const std::string& pasta, const TEntradaZip& e) {
    if (FPastasProntas.count(pasta)) return;
    const fs::path caminho = plataforma::CaminhoNativo(pasta);
    if (!DentroDe(caminho, FBase)) throw ForaDoDestino(e);
    CriarPasta(caminho, pasta);
    FPastasProntas.insert(pasta);
  }

  TLeitorZip FZip;
  std::unordered_set<std::string> FPastasProntas;
  const std::function<void(double)>& FAoProgredir;
  std::string FPasta;
  fs::path FBase;
  std::uint64_t FPasso = 0;
};

}  // namespace

void DescompactarZip(const std::string& arquivo, const std::string& destino,
                     const std::function<void(double)>& aoProgredir) {
  TDescompactacao(arquivo, destino, aoProgredir).Executar();
}
