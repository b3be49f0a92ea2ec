#include "TLeitorZip.h"

#include <zlib.h>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define KV_CRC_CLMUL 1
#endif

#include <algorithm>
#include <cstring>
#include <limits>

#include "Erros.h"
#include "plataforma/Plataforma.h"

namespace {

constexpr std::uint32_t kAssinaturaFim = 0x06054b50;
constexpr std::uint32_t kAssinaturaLocalizador64 = 0x07064b50;
constexpr std::uint32_t kAssinaturaFim64 = 0x06064b50;
constexpr std::uint32_t kAssinaturaCentral = 0x02014b50;
constexpr std::size_t kTamanhoFim = 22;
constexpr std::size_t kTamanhoLocalizador64 = 20;
constexpr std::size_t kTamanhoFim64 = 56;
constexpr std::size_t kTamanhoCentral = 46;
constexpr std::uint16_t kCampoCaminhoUnicode = 0x7075;
constexpr std::uint16_t kFlagUtf8 = 0x0800;

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(Le16(p)) | (static_cast<std::uint32_t>(Le16(p + 2)) << 16);
}
std::uint64_t Le64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

EZipError Corrompido(const std::string& arquivo) {
  return EZipError("Corrupt ZIP file " + arquivo + ".");
}

#ifdef KV_CRC_CLMUL
// CRC-32 by folding with carry-less multiplication: zlib's table method takes about as long as
// inflating highly compressible data. Each fold constant is x^(d+32) and x^(d-32) mod P(x),
// bit-reflected and shifted by one, for a fold distance of d bits; then x^64 mod P(x), P(x)
// and the Barrett constant for the final reduction. The state is the inverted CRC.
#define KV_ALVO_CLMUL __attribute__((target("pclmul,sse4.1")))
#define KV_ALVO_CLMUL512 __attribute__((target("pclmul,sse4.1,avx512f,vpclmulqdq")))

KV_ALVO_CLMUL __m128i Carregar(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `a` folded forward by the distance `k` stands for, with the next block `b` added.
KV_ALVO_CLMUL __m128i Dobrar(__m128i a, __m128i k, __m128i b) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), b);
}

// The four 16-byte lanes x1..x4 of the last 64 bytes folded, then the rest of `n` (a multiple
// of 16) folded in and reduced to 32 bits.
KV_ALVO_CLMUL std::uint32_t Reduzir(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                    const unsigned char* p, std::size_t n) {
  const __m128i k128 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  const __m128i k64 = _mm_set_epi64x(0, 0x163cd6124);
  const __m128i polinomio = _mm_set_epi64x(0x1f7011641, 0x1db710641);
  const __m128i mascara32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = Dobrar(x1, k128, x2);
  x1 = Dobrar(x1, k128, x3);
  x1 = Dobrar(x1, k128, x4);
  for (; n >= 16; p += 16, n -= 16) x1 = Dobrar(x1, k128, Carregar(p));

  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k128, 0x10));
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mascara32), k64, 0x00),
                    _mm_srli_si128(x, 4));
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x, mascara32), polinomio, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, mascara32), polinomio, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, q), 1));
}

// Four 16-byte lanes, 64 bytes a step. `n` a multiple of 16, at least 64.
KV_ALVO_CLMUL std::uint32_t CrcDobrado(std::uint32_t estado, const unsigned char* p,
                                       std::size_t n) {
  const __m128i k512 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  __m128i x1 = _mm_xor_si128(Carregar(p), _mm_cvtsi32_si128(static_cast<int>(estado)));
  __m128i x2 = Carregar(p + 16), x3 = Carregar(p + 32), x4 = Carregar(p + 48);
  for (p += 64, n -= 64; n >= 64; p += 64, n -= 64) {
    x1 = Dobrar(x1, k512, Carregar(p));
    x2 = Dobrar(x2, k512, Carregar(p + 16));
    x3 = Dobrar(x3, k512, Carregar(p + 32));
    x4 = Dobrar(x4, k512, Carregar(p + 48));
  }
  return Reduzir(x1, x2, x3, x4, p, n);
}

KV_ALVO_CLMUL512 __m512i Carregar512(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}

KV_ALVO_CLMUL512 __m512i Dobrar512(__m512i a, __m512i k, __m512i b) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(a, k, 0x00),
                                   _mm512_clmulepi64_epi128(a, k, 0x11), b, 0x96);
}

// Four 64-byte registers of four lanes each, 256 bytes a step. `n` a multiple of 16, at least
// 256.
KV_ALVO_CLMUL512 std::uint32_t CrcDobrado512(std::uint32_t estado, const unsigned char* p,
                                             std::size_t n) {
  const __m512i k2048 = _mm512_set_epi64(0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a,
                                         0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a);
  const __m512i k512 = _mm512_set_epi64(0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4,
                                        0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4);
  __m512i z1 = _mm512_xor_si512(Carregar512(p), _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0, estado));
  __m512i z2 = Carregar512(p + 64), z3 = Carregar512(p + 128), z4 = Carregar512(p + 192);
  for (p += 256, n -= 256; n >= 256; p += 256, n -= 256) {
    z1 = Dobrar512(z1, k2048, Carregar512(p));
    z2 = Dobrar512(z2, k2048, Carregar512(p + 64));
    z3 = Dobrar512(z3, k2048, Carregar512(p + 128));
    z4 = Dobrar512(z4, k2048, Carregar512(p + 192));
  }
  z1 = Dobrar512(z1, k512, z2);
  z1 = Dobrar512(z1, k512, z3);
  z1 = Dobrar512(z1, k512, z4);
  for (; n >= 64; p += 64, n -= 64) z1 = Dobrar512(z1, k512, Carregar512(p));
  alignas(64) unsigned char faixas[64];
  _mm512_store_si512(faixas, z1);
  return Reduzir(Carregar(faixas), Carregar(faixas + 16), Carregar(faixas + 32),
                 Carregar(faixas + 48), p, n);
}
#endif

}  // namespace

// The archive file as libzip reads it, through a window of 1 MiB, and larger blocks directly.
// libzip's own file reading asks the system for a few kilobytes at a time, and a memory mapping
// costs more in page-table walks than the copy it saves.
class TFonteZip {
 public:
  explicit TFonteZip(const std::string& nome) : FArquivo(nome) { zip_error_init(&FErro); }
  ~TFonteZip() { zip_error_fini(&FErro); }
  TFonteZip(const TFonteZip&) = delete;
  TFonteZip& operator=(const TFonteZip&) = delete;

  std::uint64_t Tamanho() const { return FArquivo.Tamanho(); }

  // Exactly `n` bytes from `posicao`, or the archive is corrupt.
  std::vector<unsigned char> LerBloco(std::uint64_t posicao, std::size_t n,
                                      const std::string& arquivo) {
    std::vector<unsigned char> bloco(n);
    if (Ler(posicao, bloco.data(), n) != static_cast<std::int64_t>(n)) throw Corrompido(arquivo);
    return bloco;
  }

  // The source libzip reads; it stays ours and must not outlive this object.
  zip_source_t* Fonte(zip_error_t* erro) { return zip_source_function_create(Comando, this, erro); }

 private:
  static constexpr std::size_t kJanela = 1024 * 1024;

  // Up to `n` bytes from `posicao`, fewer at the end of the file; -1 when the system fails.
  std::int64_t Ler(std::uint64_t posicao, void* destino, std::size_t n) noexcept {
    auto* saida = static_cast<unsigned char*>(destino);
    const std::uint64_t tamanho = FArquivo.Tamanho();
    std::size_t lidos = 0;
    while (lidos < n && posicao < tamanho) {
      const bool naJanela = posicao >= FInicio && posicao < FInicio + FCheia;
      if (!naJanela && n - lidos >= kJanela) {
        // A block as large as the window goes straight where it is wanted.
        const std::int64_t r = FArquivo.Ler(posicao, saida + lidos, n - lidos);
        if (r <= 0) return r < 0 ? -1 : static_cast<std::int64_t>(lidos);
        lidos += static_cast<std::size_t>(r);
        posicao += static_cast<std::uint64_t>(r);
        continue;
      }
      if (!naJanela) {
        FInicio = posicao;
        FCheia = 0;
        const std::int64_t r = FArquivo.Ler(posicao, FJanela.data(), kJanela);
        if (r <= 0) return r < 0 ? -1 : static_cast<std::int64_t>(lidos);
        FCheia = static_cast<std::size_t>(r);
      }
      const std::size_t deslocamento = static_cast<std::size_t>(posicao - FInicio);
      const std::size_t parte = std::min(n - lidos, FCheia - deslocamento);
      std::memcpy(saida + lidos, FJanela.data() + deslocamento, parte);
      lidos += parte;
      posicao += parte;
    }
    return static_cast<std::int64_t>(lidos);
  }

  static zip_int64_t Comando(void* eu, void* dados, zip_uint64_t tamanho, zip_source_cmd_t cmd) {
    auto& f = *static_cast<TFonteZip*>(eu);
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        f.FPosicao = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::int64_t n = f.Ler(f.FPosicao, dados, static_cast<std::size_t>(tamanho));
        if (n < 0) {
          zip_error_set(&f.FErro, ZIP_ER_READ, 0);
          return -1;
        }
        f.FPosicao += static_cast<std::uint64_t>(n);
        return n;
      }
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_FREE:
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, dados, tamanho, &f.FErro);
        if (!st) return -1;
        zip_stat_init(st);
        st->size = f.Tamanho();
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&f.FErro, dados, tamanho);
      case ZIP_SOURCE_SEEK: {
        const zip_int64_t nova =
            zip_source_seek_compute_offset(f.FPosicao, f.Tamanho(), dados, tamanho, &f.FErro);
        if (nova < 0) return -1;
        f.FPosicao = static_cast<std::uint64_t>(nova);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(f.FPosicao);
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
      default:
        zip_error_set(&f.FErro, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  plataforma::TArquivoLeitura FArquivo;
  std::uint64_t FPosicao = 0;  // libzip's
  std::vector<unsigned char> FJanela = std::vector<unsigned char>(kJanela);
  std::uint64_t FInicio = 0;
  std::size_t FCheia = 0;
  zip_error_t FErro;
};

namespace {

EZipError MultiplosDiscos() {
  return EZipError("A central directory split over multiple disks is unsupported.");
}

struct TDiretorio {
  std::uint64_t Entradas = 0;
  std::uint64_t Tamanho = 0;
  std::uint64_t Posicao = 0;
};

// The end record is the last one whose comment reaches the end of the file exactly; failing
// that (bytes appended after the archive), the last one that fits.
std::size_t AcharFim(const unsigned char* cauda, std::size_t tamanho) {
  std::size_t encaixado = std::string::npos;
  for (std::size_t p = tamanho - kTamanhoFim + 1; p-- > 0;) {
    if (Le32(cauda + p) != kAssinaturaFim) continue;
    const std::size_t fim = p + kTamanhoFim + Le16(cauda + p + 20);
    if (fim == tamanho) return p;
    if (fim < tamanho && encaixado == std::string::npos) encaixado = p;
  }
  return encaixado;
}

TDiretorio LerDiretorio(TFonteZip& fonte, const std::string& arquivo) {
  const std::uint64_t tamanho = fonte.Tamanho();
  if (tamanho < kTamanhoFim) throw Corrompido(arquivo);
  const std::size_t tamanhoCauda =
      static_cast<std::size_t>(std::min<std::uint64_t>(tamanho, kTamanhoFim + 0xFFFF));
  const std::uint64_t inicioCauda = tamanho - tamanhoCauda;
  const auto cauda = fonte.LerBloco(inicioCauda, tamanhoCauda, arquivo);
  const std::size_t p = AcharFim(cauda.data(), tamanhoCauda);
  if (p == std::string::npos) throw Corrompido(arquivo);
  const unsigned char* fim = cauda.data() + p;
  std::uint32_t disco = Le16(fim + 4), discoDiretorio = Le16(fim + 6);
  std::uint64_t nesteDisco = Le16(fim + 8);
  TDiretorio d{Le16(fim + 10), Le32(fim + 12), Le32(fim + 16)};
  const std::uint64_t posicaoFim = inicioCauda + p;

  const bool zip64 = d.Entradas == 0xFFFF || d.Tamanho == 0xFFFFFFFF || d.Posicao == 0xFFFFFFFF ||
                     disco == 0xFFFF || discoDiretorio == 0xFFFF;
  if (zip64 && posicaoFim >= kTamanhoLocalizador64) {
    const auto bloco =
        fonte.LerBloco(posicaoFim - kTamanhoLocalizador64, kTamanhoLocalizador64, arquivo);
    const unsigned char* localizador = bloco.data();
    if (Le32(localizador) == kAssinaturaLocalizador64) {
      if (Le32(localizador + 16) > 1) throw MultiplosDiscos();
      const std::uint64_t posicao64 = Le64(localizador + 8);
      if (posicao64 > posicaoFim - kTamanhoLocalizador64 ||
          posicaoFim - kTamanhoLocalizador64 - posicao64 < kTamanhoFim64) {
        throw Corrompido(arquivo);
      }
      const auto blocoFim64 = fonte.LerBloco(posicao64, kTamanhoFim64, arquivo);
      const unsigned char* fim64 = blocoFim64.data();
      if (Le32(fim64) != kAssinaturaFim64) throw Corrompido(arquivo);
      disco = Le32(&fim64[16]);
      discoDiretorio = Le32(&fim64[20]);
      nesteDisco = Le64(&fim64[24]);
      d = {Le64(&fim64[32]), Le64(&fim64[40]), Le64(&fim64[48])};
    }
  }
  if (disco != 0 || discoDiretorio != 0 || nesteDisco != d.Entradas) throw MultiplosDiscos();
  constexpr std::uint64_t kMaximoEntradas = std::numeric_limits<std::int32_t>::max();
  if (d.Entradas > kMaximoEntradas) {
    throw EZipError("Encountered " + std::to_string(d.Entradas) +
                    " file entries; maximum supported is " + std::to_string(kMaximoEntradas) + ".");
  }
  constexpr std::uint64_t kMaximaPosicao = std::numeric_limits<std::int64_t>::max();
  if (d.Posicao > kMaximaPosicao) {
    throw EZipError("Position/offset " + std::to_string(d.Posicao) +
                    " is larger than maximum supported " + std::to_string(kMaximaPosicao) + ".");
  }
  if (d.Posicao > posicaoFim || d.Tamanho > posicaoFim - d.Posicao ||
      d.Entradas > d.Tamanho / kTamanhoCentral) {
    throw Corrompido(arquivo);
  }
  return d;
}

// Bit 11 says UTF-8; otherwise an Info-ZIP Unicode Path field (version 1) whose CRC-32 is that
// of the stored name gives it; otherwise the name is in the default code page.
std::string NomeUtf8(std::uint16_t flags, const unsigned char* nome, std::size_t tamanhoNome,
                     const unsigned char* extra, std::size_t tamanhoExtra) {
  const std::string bruto(reinterpret_cast<const char*>(nome), tamanhoNome);
  if (flags & kFlagUtf8) return bruto;
  for (std::size_t i = 0; i + 4 <= tamanhoExtra;) {
    const std::uint16_t campo = Le16(extra + i);
    const std::size_t tamanho = Le16(extra + i + 2);
    const unsigned char* dados = extra + i + 4;
    if (i + 4 + tamanho > tamanhoExtra) break;
    if (campo == kCampoCaminhoUnicode && tamanho >= 5 && dados[0] == 1 &&
        Le32(dados + 1) == TLeitorZip::Crc32(0, nome, tamanhoNome)) {
      return std::string(reinterpret_cast<const char*>(dados + 5), tamanho - 5);
    }
    i += 4 + tamanho;
  }
  return plataforma::TextoPaginaPadrao(bruto);
}

std::vector<TEntradaZip> LerEntradas(const std::vector<unsigned char>& bloco,
                                     std::uint64_t quantidade, const std::string& arquivo) {
  const unsigned char* diretorio = bloco.data();
  const std::size_t tamanho = bloco.size();
  std::vector<TEntradaZip> entradas;
  entradas.reserve(static_cast<std::size_t>(quantidade));
  std::size_t p = 0;
  for (std::uint64_t i = 0; i < quantidade; ++i) {
    if (tamanho - p < kTamanhoCentral) throw Corrompido(arquivo);
    const unsigned char* c = diretorio + p;
    if (Le32(c) != kAssinaturaCentral) throw Corrompido(arquivo);
    const std::size_t tamanhoNome = Le16(c + 28), tamanhoExtra = Le16(c + 30);
    const std::size_t total = kTamanhoCentral + tamanhoNome + tamanhoExtra + Le16(c + 32);
    if (tamanho - p < total) throw Corrompido(arquivo);
    TEntradaZip e;
    e.Indice = i;
    e.Sistema = c[5];
    e.Flags = Le16(c + 8);
    e.Metodo = Le16(c + 10);
    e.HoraDos = Le16(c + 12);
    e.DataDos = Le16(c + 14);
    e.AtributosExternos = Le32(c + 38);
    e.Nome = NomeUtf8(e.Flags, c + kTamanhoCentral, tamanhoNome, c + kTamanhoCentral + tamanhoNome,
                      tamanhoExtra);
    entradas.push_back(std::move(e));
    p += total;
  }
  return entradas;
}

}  // namespace

std::uint32_t TLeitorZip::Crc32(std::uint32_t crc, const void* dados, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(dados);
#ifdef KV_CRC_CLMUL
  if (n >= 64 && __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1")) {
    const std::size_t dobrados = n & ~std::size_t{15};
    const bool largo = dobrados >= 256 && __builtin_cpu_supports("avx512f") &&
                       __builtin_cpu_supports("vpclmulqdq");
    crc = ~(largo ? CrcDobrado512 : CrcDobrado)(~crc, p, dobrados);
    p += dobrados;
    n -= dobrados;
  }
#endif
  // zlib takes at most 4 GiB per call.
  while (n > 0) {
    const std::size_t parte = std::min<std::size_t>(n, 1u << 30);
    crc = static_cast<std::uint32_t>(crc32(crc, p, static_cast<uInt>(parte)));
    p += parte;
    n -= parte;
  }
  return crc;
}

TLeitorZip::TLeitorZip(const std::string& arquivo)
    : FArquivo(arquivo),
      FFonte(std::make_unique<TFonteZip>(arquivo)),
      FMemoria(std::make_unique<TMemoria>()) {
  FTamanho = FFonte->Tamanho();
  const TDiretorio d = LerDiretorio(*FFonte, arquivo);
  FEntradas = LerEntradas(FFonte->LerBloco(d.Posicao, static_cast<std::size_t>(d.Tamanho), arquivo),
                          d.Entradas, arquivo);
  zip_error_t erro;
  zip_error_init(&erro);
  zip_source_t* fonte = FFonte->Fonte(&erro);
  if (fonte) FZip.reset(zip_open_from_source(fonte, ZIP_RDONLY, &erro));
  const int codigo = zip_error_code_zip(&erro);
  zip_error_fini(&erro);
  if (!FZip) {
    zip_source_free(fonte);
    if (codigo == ZIP_ER_MULTIDISK) throw MultiplosDiscos();
    throw Corrompido(arquivo);
  }
  const zip_int64_t n = zip_get_num_entries(FZip.get(), 0);
  if (n < 0 || static_cast<std::uint64_t>(n) != FEntradas.size()) throw Corrompido(arquivo);
}

TLeitorZip::~TLeitorZip() = default;

bool TLeitorZip::MetodoSuportado(std::uint16_t metodo) {
  return metodo == ZIP_CM_STORE || zip_compression_method_supported(metodo, 0) != 0;
}

namespace {

// Raw data is read in blocks this large, the window's size, so that those of large entries go
// straight from the file; inflated data is made this far ahead of the reads.
constexpr std::size_t kEntrada = 1024 * 1024;
constexpr std::size_t kSaida = 256 * 1024;

// libzip's wording for its error codes, the same as when it inflated.
std::string MensagemZip(int codigo, int sistema = 0) {
  zip_error_t erro;
  zip_error_init(&erro);
  zip_error_set(&erro, codigo, sistema);
  std::string mensagem = zip_error_strerror(&erro);
  zip_error_fini(&erro);
  return mensagem;
}

std::string FalhaLeitura(zip_file_t* arquivo, const std::string& nome) {
  zip_error_t* erro = zip_file_get_error(arquivo);
  if (zip_error_code_zip(erro) == ZIP_ER_CRC) {
    return "Invalid CRC checksum while unzipping " + nome + ".";
  }
  return zip_error_strerror(erro);
}

struct Encerrar {
  void operator()(z_stream* z) const {
    inflateEnd(z);
    delete z;
  }
};

}  // namespace

struct TLeitorZip::TMemoria {
  std::vector<char> Entrada = std::vector<char>(kEntrada);
  std::vector<char> Saida = std::vector<char>(kSaida);
  std::unique_ptr<z_stream, Encerrar> Inflador;  // made at the first deflated entry

  // Ready for a new raw deflate stream.
  z_stream& Reiniciar() {
    if (!Inflador) {
      auto z = std::make_unique<z_stream>();
      const int r = inflateInit2(z.get(), -MAX_WBITS);
      if (r != Z_OK) throw EZipError(MensagemZip(ZIP_ER_ZLIB, r));
      Inflador.reset(z.release());
    } else if (const int r = inflateReset(Inflador.get()); r != Z_OK) {
      throw EZipError(MensagemZip(ZIP_ER_ZLIB, r));
    }
    Inflador->next_in = nullptr;
    Inflador->avail_in = 0;
    return *Inflador;
  }
};

TLeitorZip::TLeitura TLeitorZip::Abrir(const TEntradaZip& entrada) {
  if (!MetodoSuportado(entrada.Metodo)) {
    throw EZipError("Unsupported compression format " + std::to_string(entrada.Metodo));
  }
  zip_stat_t estado;
  zip_stat_init(&estado);
  if (zip_stat_index(FZip.get(), entrada.Indice, 0, &estado) != 0) throw Corrompido(FArquivo);
  // Encrypted data goes to libzip, which refuses it.
  const bool bruta = !entrada.Criptografada() &&
                     (entrada.Metodo == ZIP_CM_STORE || entrada.Metodo == ZIP_CM_DEFLATE);
  zip_file_t* arquivo = zip_fopen_index(FZip.get(), entrada.Indice, bruta ? ZIP_FL_COMPRESSED : 0);
  if (!arquivo) {
    zip_error_t* erro = zip_get_error(FZip.get());
    switch (zip_error_code_zip(erro)) {
      case ZIP_ER_COMPNOTSUPP:
        throw EZipError("Unsupported compression format " + std::to_string(entrada.Metodo));
      case ZIP_ER_NOZIP:
      case ZIP_ER_INCONS:
        throw Corrompido(FArquivo);
      default:
        throw EZipError(zip_error_strerror(erro));
    }
  }
  TLeitura leitura(arquivo, entrada, estado, bruta, *FMemoria);
  if (bruta && entrada.Metodo == ZIP_CM_DEFLATE) FMemoria->Reiniciar();
  return leitura;
}

TLeitorZip::TLeitura::TLeitura(zip_file_t* arquivo, const TEntradaZip& entrada,
                               const zip_stat_t& estado, bool bruta, TMemoria& memoria)
    : FArquivo(arquivo),
      FNome(entrada.Nome),
      FMetodo(entrada.Metodo),
      FBruta(bruta),
      FMemoria(&memoria),
      FCrcEsperado(estado.crc),
      FTamanhoEsperado(estado.size),
      FConfereCrc((estado.valid & ZIP_STAT_CRC) != 0),
      FConfereTamanho((estado.valid & ZIP_STAT_SIZE) != 0),
      FCrc(0) {}

std::string_view TLeitorZip::TLeitura::Ler(std::size_t maximo) {
  if (FBruta) return FMetodo == ZIP_CM_STORE ? LerBruta(maximo) : LerInflada(maximo);
  std::vector<char>& saida = FMemoria->Saida;
  const zip_int64_t n = zip_fread(FArquivo.get(), saida.data(), std::min(maximo, saida.size()));
  if (n < 0) throw EZipError(FalhaLeitura(FArquivo.get(), FNome));
  return {saida.data(), static_cast<std::size_t>(n)};
}

std::string_view TLeitorZip::TLeitura::LerBruta(std::size_t maximo) {
  std::vector<char>& entrada = FMemoria->Entrada;
  const zip_int64_t n = zip_fread(FArquivo.get(), entrada.data(), std::min(maximo, entrada.size()));
  if (n < 0) throw EZipError(FalhaLeitura(FArquivo.get(), FNome));
  if (n == 0) {
    Concluir();
    return {};
  }
  const auto tamanho = static_cast<std::size_t>(n);
  FCrc = Crc32(FCrc, entrada.data(), tamanho);
  FTamanho += tamanho;
  return {entrada.data(), tamanho};
}

// Whole blocks of `maximo` until the end, as libzip gives them.
std::string_view TLeitorZip::TLeitura::LerInflada(std::size_t maximo) {
  maximo = std::min(maximo, FMemoria->Saida.size());
  while (FPendente.size() < maximo && !FFim) Inflar();
  if (FPendente.empty()) {
    if (!FErro.empty()) throw EZipError(FErro);
    Concluir();
    return {};
  }
  const std::string_view parte = FPendente.substr(0, maximo);
  FPendente.remove_prefix(parte.size());
  return parte;
}

// Inflates into the rest of the output buffer at once, behind the bytes not yet handed out:
// zlib then takes its fast path nearly always and copies to its window only the last 32 KiB
// of each call instead of every byte.
void TLeitorZip::TLeitura::Inflar() {
  z_stream& z = *FMemoria->Inflador;
  std::vector<char>& entrada = FMemoria->Entrada;
  std::vector<char>& saida = FMemoria->Saida;
  const std::size_t guardados = FPendente.size();
  if (guardados > 0) std::memmove(saida.data(), FPendente.data(), guardados);
  z.next_out = reinterpret_cast<Bytef*>(saida.data() + guardados);
  z.avail_out = static_cast<uInt>(saida.size() - guardados);
  while (z.avail_out > 0) {
    if (z.avail_in == 0 && !FFimEntrada) {
      const zip_int64_t n = zip_fread(FArquivo.get(), entrada.data(), entrada.size());
      if (n < 0) {
        FErro = FalhaLeitura(FArquivo.get(), FNome);
        FFim = true;
        break;
      }
      FFimEntrada = n == 0;
      z.next_in = reinterpret_cast<Bytef*>(entrada.data());
      z.avail_in = static_cast<uInt>(n);
    }
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_OK) continue;
    FFim = true;
    // Data that ends before its stream does is left to the CRC check, as libzip leaves it.
    if (r != Z_STREAM_END && !(r == Z_BUF_ERROR && FFimEntrada))
      FErro = MensagemZip(ZIP_ER_ZLIB, r);
    break;
  }
  const std::size_t feitos = saida.size() - guardados - z.avail_out;
  FCrc = Crc32(FCrc, saida.data() + guardados, feitos);
  FTamanho += feitos;
  FPendente = {saida.data(), guardados + feitos};
}

void TLeitorZip::TLeitura::Concluir() {
  if (FConfereCrc && FCrc != FCrcEsperado) {
    throw EZipError("Invalid CRC checksum while unzipping " + FNome + ".");
  }
  if (FConfereTamanho && FTamanho != FTamanhoEsperado) throw EZipError(MensagemZip(ZIP_ER_INCONS));
}
