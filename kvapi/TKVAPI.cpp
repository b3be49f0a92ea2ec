#include "TKVAPI.h"

#include <QProgressBar>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

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

// Folder part of a file name as written, without the trailing separator ("" for none).
std::string PastaDe(const std::string& arquivo) {
  const auto barra = arquivo.find_last_of("\\/");
  if (barra == std::string::npos) return "";
  if (barra == 0 || arquivo[barra - 1] == ':') return arquivo.substr(0, barra + 1);
  return arquivo.substr(0, barra);
}

// The body on its way to the local file: written into a temporary file beside it as it
// arrives, and moved over it only once complete and flushed, so that the local file (the
// product's own executable, among others) changes whole or not at all. A full disk or a lost
// volume leaves the former file as it was and no temporary file behind.
class TArquivoTemporario {
 public:
  explicit TArquivoTemporario(std::string nome)
      : FNome(std::move(nome)), FAlvo(plataforma::CaminhoNativo(FNome)) {
    std::random_device aleatorio;
    char sufixo[32];
    std::snprintf(sufixo, sizeof sufixo, ".%08x.tmp", aleatorio());
    FCaminho = FAlvo;
    FCaminho += sufixo;
  }
  ~TArquivoTemporario() {
    if (FMovido) return;
    FSaida.close();
    std::error_code ignorado;
    fs::remove(FCaminho, ignorado);
  }
  TArquivoTemporario(const TArquivoTemporario&) = delete;
  TArquivoTemporario& operator=(const TArquivoTemporario&) = delete;

  void Abrir() {
    FSaida.open(FCaminho, std::ios::binary | std::ios::trunc);
    if (!FSaida) {
      throw ErroCriarArquivo(FNome);
    }
  }

  void Escrever(const char* dados, std::size_t n) {
    FSaida.write(dados, static_cast<std::streamsize>(n));
    if (!FSaida) Falha();
    FEscritos += n;
  }

  // Replaces the local file; returns the number of bytes written.
  std::uint64_t Substituir() {
    if (!FSaida.is_open()) Abrir();
    if (!FSaida.flush()) Falha();
    FSaida.close();
    if (!FSaida) Falha();
    // A replaced file keeps its permissions, as when it was overwritten in place.
    std::error_code erro;
    const auto anterior = fs::status(FAlvo, erro);
    if (!erro && fs::is_regular_file(anterior)) {
      fs::permissions(FCaminho, anterior.permissions(), erro);
    }
    fs::rename(FCaminho, FAlvo, erro);
    if (erro) throw ErroCriarArquivo(FNome, erro.message());
    FMovido = true;
    return FEscritos;
  }

 private:
  [[noreturn]] void Falha() const { throw ErroGravarArquivo(FNome); }

  std::string FNome;
  fs::path FAlvo;
  fs::path FCaminho;
  std::ofstream FSaida;
  std::uint64_t FEscritos = 0;
  bool FMovido = false;
};

std::uint64_t TamanhoArquivo(const std::string& nome) {
  std::ifstream entrada(plataforma::CaminhoNativo(nome), std::ios::binary | std::ios::ate);
  if (!entrada) {
    throw ErroAbrirArquivo(nome);
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

    TArquivoTemporario temporario(arquivoLocal);
    {
      TClienteHTTP cliente({FPemConfianca, std::chrono::milliseconds(3000), FLimiteSilencio});
      std::int64_t declarado = -1;
      std::int64_t recebidos = 0;
      cliente.AoReceberCabecalho = [&](int status, std::int64_t tamanho) {
        if (status != 200) {
          throw EHTTPClient("Unexpected response status code: " + std::to_string(status));
        }
        declarado = tamanho;
        temporario.Abrir();
      };
      cliente.AoReceberDados = [&](const char* dados, std::size_t n) {
        temporario.Escrever(dados, n);
        while (n > 0) {
          const std::size_t bloco = std::min(n, kBlocoProgresso);
          recebidos += static_cast<std::int64_t>(bloco);
          ProgressoDownload(nullptr, declarado, recebidos);
          n -= bloco;
        }
      };
      cliente.Executar({"GET", FUrlBase + caminho, {}, ""});
    }

    const std::uint64_t escritos = temporario.Substituir();
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
  FRitmo.Mostrar(*Barra, static_cast<int>(std::nearbyintl(posicao)));
}
