#include "TKVAPI.h"

#include <QCoreApplication>
#include <QProgressBar>
#ifdef __linux__
#include <sys/mman.h>
#endif

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <vector>

#include "ConfiancaEmbutida.h"
#include "Erros.h"
#include "TClienteHTTP.h"
#include "TKVBase.h"
#include "TextoJSON.h"
#include "plataforma/Plataforma.h"

static_assert(LDBL_MANT_DIG == 64, "the progress position needs an 80-bit long double");

namespace {

namespace fs = std::filesystem;

constexpr const char* kLog = ".\\log_API.log";
constexpr const char* kServico = "php/api.php";
constexpr const char* kUsuario = "kelvaro_api";
constexpr const char* kSenha = "@Bxe4093fad";
constexpr std::size_t kBlocoProgresso = 4096;
constexpr std::size_t kBlocoMemoria = 8 << 20;
constexpr std::size_t kPaginaGrande = 2 << 20;
constexpr std::chrono::milliseconds kIntervaloEventos{10};

std::string Base64(const std::string& texto) {
  static constexpr char kAlfabeto[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string saida;
  for (std::size_t i = 0; i < texto.size(); i += 3) {
    const std::size_t resta = std::min<std::size_t>(3, texto.size() - i);
    std::uint32_t n = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      n = (n << 8) | (j < resta ? static_cast<unsigned char>(texto[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      saida += j <= resta ? kAlfabeto[(n >> (18 - 6 * j)) & 63] : '=';
    }
  }
  return saida;
}

struct LiberarBloco {
  void operator()(char* p) const { std::free(p); }
};
using TBloco = std::unique_ptr<char, LiberarBloco>;

TBloco NovoBloco() {
#ifdef __linux__
  // Touching hundreds of megabytes page by page costs more than receiving them; large pages
  // take that fault count down five hundred times.
  TBloco bloco(static_cast<char*>(std::aligned_alloc(kPaginaGrande, kBlocoMemoria)));
  if (bloco) madvise(bloco.get(), kBlocoMemoria, MADV_HUGEPAGE);
#else
  TBloco bloco(static_cast<char*>(std::malloc(kBlocoMemoria)));
#endif
  if (!bloco) throw std::bad_alloc();
  return bloco;
}

// The received body in fixed blocks: no up-front reservation a lying Content-Length could
// inflate, and no copy when it grows.
class TCorpoRecebido {
 public:
  void Acrescentar(const char* dados, std::size_t n) {
    while (n > 0) {
      if (FBlocos.empty() || FUsadoUltimo == kBlocoMemoria) {
        FBlocos.push_back(NovoBloco());
        FUsadoUltimo = 0;
      }
      const std::size_t k = std::min(n, kBlocoMemoria - FUsadoUltimo);
      std::memcpy(FBlocos.back().get() + FUsadoUltimo, dados, k);
      FUsadoUltimo += k;
      FTamanho += k;
      dados += k;
      n -= k;
    }
  }

  std::uint64_t Tamanho() const { return FTamanho; }

  // Writes everything; false when the stream failed.
  bool Gravar(std::ostream& saida) const {
    for (std::size_t i = 0; i < FBlocos.size() && saida; ++i) {
      const std::size_t n = i + 1 == FBlocos.size() ? FUsadoUltimo : kBlocoMemoria;
      saida.write(FBlocos[i].get(), static_cast<std::streamsize>(n));
    }
    return static_cast<bool>(saida);
  }

 private:
  std::vector<TBloco> FBlocos;
  std::size_t FUsadoUltimo = 0;
  std::uint64_t FTamanho = 0;
};

// Folder part of a file name as written, without the trailing separator ("" for none).
std::string PastaDe(const std::string& arquivo) {
  const auto barra = arquivo.find_last_of("\\/");
  if (barra == std::string::npos) return "";
  if (barra == 0 || arquivo[barra - 1] == ':') return arquivo.substr(0, barra + 1);
  return arquivo.substr(0, barra);
}

// A temporary file beside the target, removed unless it was moved over the target.
class TArquivoTemporario {
 public:
  explicit TArquivoTemporario(const fs::path& alvo) {
    std::random_device aleatorio;
    char sufixo[32];
    std::snprintf(sufixo, sizeof sufixo, ".%08x.tmp", aleatorio());
    FCaminho = alvo;
    FCaminho += sufixo;
  }
  ~TArquivoTemporario() {
    std::error_code ignorado;
    if (!FMovido) fs::remove(FCaminho, ignorado);
  }
  TArquivoTemporario(const TArquivoTemporario&) = delete;
  TArquivoTemporario& operator=(const TArquivoTemporario&) = delete;

  const fs::path& Caminho() const { return FCaminho; }
  void Movido() { FMovido = true; }

 private:
  fs::path FCaminho;
  bool FMovido = false;
};

// Stores the body as `nome`: all of it in a temporary file first, then renamed over the
// target, so that a full disk or a lost volume never leaves a truncated product behind.
// Returns the number of bytes written.
std::uint64_t GravarSubstituindo(const std::string& nome, const TCorpoRecebido& corpo) {
  const fs::path alvo = plataforma::CaminhoNativo(nome);
  TArquivoTemporario temporario(alvo);
  {
    std::ofstream saida(temporario.Caminho(), std::ios::binary | std::ios::trunc);
    if (!saida) {
      throw EFCreateError("Unable to create file \"" + nome + "\": " + std::strerror(errno));
    }
    if (!corpo.Gravar(saida) || !saida.flush()) {
      const int erro = errno;
      throw EWriteError("Unable to write file \"" + nome + "\": " + std::strerror(erro));
    }
    saida.close();
    if (!saida) throw EWriteError("Unable to write file \"" + nome + "\": " + std::strerror(errno));
  }
  // A replaced file keeps its permissions, as when it was overwritten in place.
  std::error_code erro;
  const auto anterior = fs::status(alvo, erro);
  if (!erro && fs::is_regular_file(anterior)) {
    fs::permissions(temporario.Caminho(), anterior.permissions(), erro);
  }
  fs::rename(temporario.Caminho(), alvo, erro);
  if (erro) throw EFCreateError("Unable to create file \"" + nome + "\": " + erro.message());
  temporario.Movido();
  return corpo.Tamanho();
}

std::uint64_t TamanhoArquivo(const std::string& nome) {
  std::ifstream entrada(plataforma::CaminhoNativo(nome), std::ios::binary | std::ios::ate);
  if (!entrada) {
    throw EFOpenError("Unable to open file \"" + nome + "\": " + std::strerror(errno));
  }
  return static_cast<std::uint64_t>(entrada.tellg());
}

// The member's value as the caller gets it.
std::string TextoMembro(const nlohmann::json& resposta, const char* membro) {
  if (!resposta.is_object()) throw EJSON("The answer is not a JSON object");
  const auto valor = resposta.find(membro);
  if (valor == resposta.end()) {
    throw EJSON(std::string("Member \"") + membro + "\" not found in the answer");
  }
  if (valor->is_string()) return valor->get<std::string>();
  if (valor->is_null() || valor->is_object() || valor->is_array()) {
    throw EJSON(std::string("Member \"") + membro + "\" is " + valor->type_name() + ", not a text");
  }
  return valor->dump();
}

std::string MensagemDe(std::exception_ptr erro) {
  try {
    std::rethrow_exception(erro);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void RegistrarErro(const std::string& mensagem) {
  if (ObjBase) ObjBase->GravarLog(kLog, "Erro: " + mensagem);
}

}  // namespace

TKVAPI::TKVAPI() : TKVAPI(KV_URL_BASE, kConfiancaEmbutida) {}

TKVAPI::TKVAPI(std::string urlBase, std::string pemConfianca,
               std::chrono::milliseconds limiteSilencio)
    : FUrlBase(std::move(urlBase)),
      FPemConfianca(std::move(pemConfianca)),
      FLimiteSilencio(limiteSilencio) {}

std::string TKVAPI::ConsultarHash(const std::string& caminho) {
  return Consultar(8, "hash", caminho);
}

std::string TKVAPI::ConsultarData(const std::string& caminho) {
  return Consultar(9, "data", caminho);
}

std::string TKVAPI::Consultar(int opcao, const char* membro, const std::string& caminho) {
  std::string resultado;
  std::exception_ptr falha;
  try {
    nlohmann::ordered_json argumento = nlohmann::ordered_json::object();
    argumento["local"] = caminho;
    nlohmann::ordered_json documento = nlohmann::ordered_json::object();
    documento["opc"] = opcao;
    documento["dados"] = nlohmann::ordered_json::array({argumento});

    TClienteHTTP cliente({FPemConfianca, std::chrono::milliseconds(3000), FLimiteSilencio});
    std::string resposta;
    cliente.AoReceberDados = [&resposta](const char* dados, std::size_t n) {
      resposta.append(dados, n);
    };
    const int status =
        cliente.Executar({"POST",
                          FUrlBase + kServico,
                          {"Authorization: Basic " + Base64(std::string(kUsuario) + ":" + kSenha)},
                          TextoJSON(documento)});
    resultado = TextoMembro(nlohmann::json::parse(resposta), membro);
    if (status != 200 && ObjBase) ObjBase->Mensagem(resposta);
  } catch (...) {
    falha = std::current_exception();
  }
  if (falha) {
    RegistrarErro(MensagemDe(falha));
    return "";
  }
  return resultado;
}

bool TKVAPI::BaixarArquivo(const std::string& caminho, const std::string& arquivoLocal,
                           bool descompactar) {
  bool armazenado = false;
  std::exception_ptr falha;
  try {
    const std::string pasta = PastaDe(arquivoLocal);
    if (!pasta.empty()) {
      // A failure here shows up when the file cannot be created.
      std::error_code ignorado;
      const auto nativa = plataforma::CaminhoNativo(pasta);
      if (!fs::is_directory(nativa, ignorado)) fs::create_directory(nativa, ignorado);
    }

    TCorpoRecebido corpo;
    {
      TClienteHTTP cliente({FPemConfianca, std::chrono::milliseconds(3000), FLimiteSilencio});
      std::int64_t declarado = -1;
      std::int64_t recebidos = 0;
      cliente.AoReceberCabecalho = [&declarado](int status, std::int64_t tamanho) {
        if (status != 200) {
          throw EHTTPClient("Unexpected response status code: " + std::to_string(status));
        }
        declarado = tamanho;
      };
      cliente.AoReceberDados = [&](const char* dados, std::size_t n) {
        while (n > 0) {
          const std::size_t bloco = std::min(n, kBlocoProgresso);
          corpo.Acrescentar(dados, bloco);
          recebidos += static_cast<std::int64_t>(bloco);
          ProgressoDownload(nullptr, declarado, recebidos);
          dados += bloco;
          n -= bloco;
        }
      };
      cliente.Executar({"GET", FUrlBase + caminho, {}, ""});
    }

    const std::uint64_t escritos = GravarSubstituindo(arquivoLocal, corpo);
    armazenado = TamanhoArquivo(arquivoLocal) == escritos;

    if (armazenado && descompactar && ObjBase) {
      ObjBase->Progresso = Barra;
      try {
        ObjBase->Descompactar(arquivoLocal, pasta);
      } catch (...) {
        ObjBase->Progresso = nullptr;
        throw;
      }
      ObjBase->Progresso = nullptr;
      std::error_code ignorado;
      fs::remove(plataforma::CaminhoNativo(arquivoLocal), ignorado);
    }
  } catch (...) {
    falha = std::current_exception();
  }
  if (falha) RegistrarErro(MensagemDe(falha));
  return armazenado;
}

void TKVAPI::ProgressoDownload(QObject*, std::int64_t tamanhoDeclarado, std::int64_t recebidos) {
  if (!Barra || tamanhoDeclarado <= 0) return;
  const long double posicao =
      static_cast<long double>(recebidos) / static_cast<long double>(tamanhoDeclarado) * 100.0L;
  // The default rounding mode takes halves to the even neighbour.
  const int valor = static_cast<int>(std::nearbyintl(posicao));
  const bool mudou = valor != Barra->value();
  Barra->setValue(valor);
  // Processing events costs about ten microseconds, which after every 4 KiB block would halve
  // a fast download; a window that hears from us every 10 ms, and at each new position, stays
  // as lively.
  const auto agora = std::chrono::steady_clock::now();
  if (mudou || agora - FUltimosEventos >= kIntervaloEventos) {
    FUltimosEventos = agora;
    QCoreApplication::processEvents();
  }
}
