#include "TServidorFalso.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <list>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

#include "TCertificados.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlocoArquivo = 256 * 1024;
constexpr std::size_t kMaxCabecalho = 1 << 20;

struct LiberarSSL {
  void operator()(SSL* p) const { SSL_free(p); }
};
struct LiberarContextoHash {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};

// A file descriptor owned by exactly one object.
class TDescritor {
 public:
  explicit TDescritor(int fd = -1) : FFd(fd) {}
  ~TDescritor() {
    if (FFd >= 0) ::close(FFd);
  }
  TDescritor(const TDescritor&) = delete;
  TDescritor& operator=(const TDescritor&) = delete;
  int Fd() const { return FFd; }
  void Adotar(int fd) {
    if (FFd >= 0) ::close(FFd);
    FFd = fd;
  }

 private:
  int FFd;
};

[[noreturn]] void FalharSistema(const std::string& passo) {
  throw std::runtime_error("TServidorFalso: " + passo + ": " + std::strerror(errno));
}

std::string Minusculas(std::string texto) {
  std::transform(texto.begin(), texto.end(), texto.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return texto;
}

std::string Base64(const std::string& texto) {
  std::string saida(4 * ((texto.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(saida.data()),
                                reinterpret_cast<const unsigned char*>(texto.data()),
                                static_cast<int>(texto.size()));
  saida.resize(static_cast<std::size_t>(n));
  return saida;
}

std::string Sha1Arquivo(const fs::path& arquivo) {
  std::ifstream entrada(arquivo, std::ios::binary);
  std::unique_ptr<EVP_MD_CTX, LiberarContextoHash> contexto(EVP_MD_CTX_new());
  EVP_DigestInit_ex(contexto.get(), EVP_sha1(), nullptr);
  std::vector<char> bloco(kBlocoArquivo);
  while (entrada) {
    entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
    EVP_DigestUpdate(contexto.get(), bloco.data(), static_cast<std::size_t>(entrada.gcount()));
  }
  unsigned char resumo[EVP_MAX_MD_SIZE];
  unsigned int tamanho = 0;
  EVP_DigestFinal_ex(contexto.get(), resumo, &tamanho);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string texto;
  for (unsigned int i = 0; i < tamanho; ++i) {
    texto += kHex[resumo[i] >> 4];
    texto += kHex[resumo[i] & 15];
  }
  return texto;
}

std::string DataArquivo(const fs::path& arquivo) {
  struct stat info {};
  if (::stat(arquivo.c_str(), &info) != 0) return "";
  std::tm partes{};
  localtime_r(&info.st_mtime, &partes);
  char texto[32];
  std::strftime(texto, sizeof texto, "%d/%m/%Y %H:%M:%S", &partes);
  return texto;
}

const char* Razao(int status) {
  static const std::map<int, const char*> kRazoes = {{200, "OK"},
                                                     {204, "No Content"},
                                                     {301, "Moved Permanently"},
                                                     {302, "Found"},
                                                     {303, "See Other"},
                                                     {304, "Not Modified"},
                                                     {307, "Temporary Redirect"},
                                                     {308, "Permanent Redirect"},
                                                     {400, "Bad Request"},
                                                     {401, "Unauthorized"},
                                                     {404, "Not Found"},
                                                     {500, "Internal Server Error"}};
  const auto i = kRazoes.find(status);
  return i == kRazoes.end() ? "Status" : i->second;
}

std::string Hex(std::size_t n) {
  char texto[32];
  std::snprintf(texto, sizeof texto, "%zx", n);
  return texto;
}

// A file name below "arquivos/" with no way out of the published folder, or empty.
std::string NomePublicado(const std::string& relativo) {
  static const std::string kPrefixo = "arquivos/";
  if (relativo.rfind(kPrefixo, 0) != 0) return "";
  const std::string nome = relativo.substr(kPrefixo.size());
  if (nome.empty() || nome.find("..") != std::string::npos || nome.find('\\') != std::string::npos)
    return "";
  return nome;
}

}  // namespace

TRespostaRoteiro TRespostaRoteiro::Redirecionar(int status, std::string destino) {
  TRespostaRoteiro r;
  r.Status = status;
  r.Cabecalhos.emplace_back("Location", std::move(destino));
  return r;
}

TRespostaRoteiro TRespostaRoteiro::Json(int status, std::string texto) {
  TRespostaRoteiro r;
  r.Status = status;
  r.Cabecalhos.emplace_back("Content-Type", "application/json");
  r.Corpo = std::move(texto);
  return r;
}

struct TServidorFalso::TEstado {
  struct TConexao {
    std::thread Linha;
    std::atomic<bool> Terminou{false};
  };

  TOpcoes Opcoes;
  TCertificados Certificados;
  TContextoSSL Contexto;
  TDescritor Escuta;
  int Aviso[2] = {-1, -1};  // written once at stop; stays readable for every waiter
  std::uint16_t Porta = 0;
  std::thread Aceitador;

  mutable std::mutex Trava;
  bool Parado = false;
  std::map<std::string, TRespostaRoteiro> Roteiros;
  fs::path Pasta;
  std::string Data;
  TEntrega EntregaArquivos = TEntrega::Tamanho;
  std::vector<TRequisicaoGravada> Gravadas;
  int ApertosFalhos = 0;
  std::list<std::unique_ptr<TConexao>> Conexoes;
  std::set<int> Abertos;

  explicit TEstado(TOpcoes opcoes)
      : Opcoes(std::move(opcoes)),
        Certificados(Opcoes.NomesCertificado),
        Contexto(Certificados.ContextoServidor()) {}

  ~TEstado() {
    for (int fd : Aviso) {
      if (fd >= 0) ::close(fd);
    }
  }

  void Iniciar() {
    if (::pipe(Aviso) != 0) FalharSistema("pipe");
    Escuta.Adotar(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (Escuta.Fd() < 0) FalharSistema("socket");
    const int sim = 1;
    ::setsockopt(Escuta.Fd(), SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_port = htons(Opcoes.Porta);
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(Escuta.Fd(), reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0)
      FalharSistema("bind");
    if (::listen(Escuta.Fd(), 64) != 0) FalharSistema("listen");
    socklen_t tamanho = sizeof endereco;
    ::getsockname(Escuta.Fd(), reinterpret_cast<sockaddr*>(&endereco), &tamanho);
    Porta = ntohs(endereco.sin_port);
    Aceitador = std::thread([this] { Aceitar(); });
  }

  void Parar() {
    {
      std::lock_guard trava(Trava);
      if (Parado) return;
      Parado = true;
      for (int fd : Abertos) ::shutdown(fd, SHUT_RDWR);
    }
    const char c = 1;
    [[maybe_unused]] const auto escritos = ::write(Aviso[1], &c, 1);
    if (Aceitador.joinable()) Aceitador.join();
    std::list<std::unique_ptr<TConexao>> restantes;
    {
      std::lock_guard trava(Trava);
      restantes.swap(Conexoes);
    }
    for (auto& c2 : restantes) c2->Linha.join();
  }

  // A broken pipe is an error return on this thread, never a signal to the process.
  static void SemSigpipe() {
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
  }

  void Aceitar() {
    SemSigpipe();
    for (;;) {
      pollfd esperados[2] = {{Escuta.Fd(), POLLIN, 0}, {Aviso[0], POLLIN, 0}};
      if (::poll(esperados, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (esperados[1].revents) return;
      const int fd = ::accept4(Escuta.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard trava(Trava);
      Conexoes.remove_if([](const std::unique_ptr<TConexao>& c) {
        if (!c->Terminou) return false;
        c->Linha.join();
        return true;
      });
      if (Parado) {
        ::close(fd);
        return;
      }
      Abertos.insert(fd);
      auto conexao = std::make_unique<TConexao>();
      TConexao* propria = conexao.get();
      conexao->Linha = std::thread([this, fd, propria] {
        SemSigpipe();
        try {
          Atender(fd);
        } catch (const std::exception&) {
          // A malformed request ends its own connection only.
        }
        {
          std::lock_guard t(Trava);
          Abertos.erase(fd);
          ::close(fd);
        }
        propria->Terminou = true;
      });
      Conexoes.push_back(std::move(conexao));
    }
  }

  // Waits until the client goes away or the server stops.
  void Esperar(int fd) const {
    pollfd esperados[2] = {{fd, POLLIN, 0}, {Aviso[0], POLLIN, 0}};
    while (::poll(esperados, 2, -1) < 0 && errno == EINTR) {
    }
  }

  static bool Enviar(SSL* ssl, std::string_view dados) {
    while (!dados.empty()) {
      const int n = SSL_write(ssl, dados.data(),
                              static_cast<int>(std::min<std::size_t>(dados.size(), 1 << 30)));
      if (n <= 0) return false;
      dados.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  static std::string Cabecalho(int status,
                               const std::vector<std::pair<std::string, std::string>>& campos) {
    std::string texto = "HTTP/1.1 " + std::to_string(status) + " " + Razao(status) + "\r\n";
    for (const auto& [nome, valor] : campos) texto += nome + ": " + valor + "\r\n";
    texto += "Connection: close\r\n";
    return texto;
  }

  static bool EnviarPedacos(SSL* ssl, std::string_view corpo, std::size_t tamanhoPedaco) {
    tamanhoPedaco = std::max<std::size_t>(tamanhoPedaco, 1);
    while (!corpo.empty()) {
      const auto pedaco = corpo.substr(0, tamanhoPedaco);
      if (!Enviar(ssl, Hex(pedaco.size()) + "\r\n") || !Enviar(ssl, pedaco) || !Enviar(ssl, "\r\n"))
        return false;
      corpo.remove_prefix(pedaco.size());
    }
    return true;
  }

  // Sends a scripted answer; false when the connection must be dropped without a goodbye.
  bool Responder(SSL* ssl, int fd, const TRespostaRoteiro& r) const {
    auto campos = r.Cabecalhos;
    const std::string_view corpo = r.Corpo;
    switch (r.Entrega) {
      case TEntrega::Tamanho:
        campos.emplace_back("Content-Length", std::to_string(corpo.size()));
        Enviar(ssl, Cabecalho(r.Status, campos) + "\r\n") && Enviar(ssl, corpo);
        return true;
      case TEntrega::Chunked:
        campos.emplace_back("Transfer-Encoding", "chunked");
        Enviar(ssl, Cabecalho(r.Status, campos) + "\r\n") &&
            EnviarPedacos(ssl, corpo, r.TamanhoPedaco) && Enviar(ssl, "0\r\n\r\n");
        return true;
      case TEntrega::AteFechar:
        Enviar(ssl, Cabecalho(r.Status, campos) + "\r\n") && Enviar(ssl, corpo);
        return true;
      case TEntrega::Travar:
        Esperar(fd);
        return false;
      case TEntrega::TravarNoCorpo:
      case TEntrega::DerrubarNoCorpo:
        campos.emplace_back("Content-Length", std::to_string(corpo.size()));
        Enviar(ssl, Cabecalho(r.Status, campos) + "\r\n") &&
            Enviar(ssl, corpo.substr(0, corpo.size() / 2));
        if (r.Entrega == TEntrega::TravarNoCorpo) Esperar(fd);
        return false;
      case TEntrega::Derrubar:
        return false;
    }
    return false;
  }

  void EnviarArquivo(SSL* ssl, const fs::path& arquivo, TEntrega entrega) const {
    std::ifstream entrada(arquivo, std::ios::binary);
    std::error_code erro;
    const auto tamanho = fs::file_size(arquivo, erro);
    const bool pedacos = entrega == TEntrega::Chunked;
    std::vector<std::pair<std::string, std::string>> campos = {
        {"Content-Type", "application/octet-stream"}};
    if (pedacos) {
      campos.emplace_back("Transfer-Encoding", "chunked");
    } else {
      campos.emplace_back("Content-Length", std::to_string(tamanho));
    }
    if (!Enviar(ssl, Cabecalho(200, campos) + "\r\n")) return;
    std::vector<char> bloco(kBlocoArquivo);
    while (entrada) {
      entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
      const std::string_view lido(bloco.data(), static_cast<std::size_t>(entrada.gcount()));
      if (lido.empty()) break;
      if (pedacos ? !EnviarPedacos(ssl, lido, lido.size()) : !Enviar(ssl, lido)) return;
    }
    if (pedacos) Enviar(ssl, "0\r\n\r\n");
  }

  // The web service's answer to a request body.
  TRespostaRoteiro Servico(const std::string& autorizacao, const std::string& corpo,
                           const fs::path& pasta, const std::string& data) const {
    if (autorizacao != "Basic " + Base64(Opcoes.Usuario + ":" + Opcoes.Senha)) {
      auto r = TRespostaRoteiro::Json(401, R"({"erro": "acesso negado"})");
      r.Cabecalhos.emplace_back("WWW-Authenticate", "Basic realm=\"api\"");
      return r;
    }
    const auto pedido = nlohmann::json::parse(corpo, nullptr, false);
    if (!pedido.is_object() || !pedido.contains("opc") || !pedido.contains("dados") ||
        !pedido["dados"].is_array() || pedido["dados"].empty() || !pedido["dados"][0].is_object() ||
        !pedido["dados"][0].contains("local") || !pedido["dados"][0]["local"].is_string()) {
      return TRespostaRoteiro::Json(400, R"({"erro": "pedido invalido"})");
    }
    const std::string local = pedido["dados"][0]["local"];
    // The service resolves "local" against the folder of its own script.
    const std::string nome =
        pasta.empty()
            ? ""
            : NomePublicado(
                  (fs::path("php") / fs::path(local)).lexically_normal().generic_string());
    std::error_code erro;
    if (nome.empty() || !fs::is_regular_file(pasta / nome, erro)) {
      return TRespostaRoteiro::Json(404, R"({"erro": "arquivo nao encontrado"})");
    }
    nlohmann::json resposta;
    if (pedido["opc"] == 8) {
      resposta["hash"] = Sha1Arquivo(pasta / nome);
    } else if (pedido["opc"] == 9) {
      resposta["data"] = data.empty() ? DataArquivo(pasta / nome) : data;
    } else {
      return TRespostaRoteiro::Json(400, R"({"erro": "opc desconhecida"})");
    }
    return TRespostaRoteiro::Json(200, resposta.dump());
  }

  void Atender(int fd) {
    std::unique_ptr<SSL, LiberarSSL> ssl(SSL_new(Contexto.get()));
    if (!ssl) return;
    SSL_set_fd(ssl.get(), fd);
    if (SSL_accept(ssl.get()) != 1) {
      ERR_clear_error();
      std::lock_guard trava(Trava);
      ++ApertosFalhos;
      return;
    }

    TRequisicaoGravada pedido;
    char bloco[16384];
    std::size_t fim;
    while ((fim = pedido.Bruta.find("\r\n\r\n")) == std::string::npos) {
      const int n = SSL_read(ssl.get(), bloco, sizeof bloco);
      if (n <= 0 || pedido.Bruta.size() > kMaxCabecalho) return;
      pedido.Bruta.append(bloco, static_cast<std::size_t>(n));
    }
    const std::string cabecalho = pedido.Bruta.substr(0, fim);
    std::size_t tamanhoCorpo = 0;
    std::string autorizacao;
    std::size_t inicio = 0;
    for (std::size_t linha = 0; inicio <= cabecalho.size(); ++linha) {
      auto quebra = cabecalho.find("\r\n", inicio);
      if (quebra == std::string::npos) quebra = cabecalho.size();
      const std::string texto = cabecalho.substr(inicio, quebra - inicio);
      inicio = quebra + 2;
      if (linha == 0) {
        const auto a = texto.find(' '), b = texto.rfind(' ');
        pedido.Metodo = texto.substr(0, a);
        if (a != std::string::npos && b > a) pedido.Caminho = texto.substr(a + 1, b - a - 1);
        continue;
      }
      const auto doisPontos = texto.find(':');
      if (doisPontos == std::string::npos) continue;
      const std::string nome = Minusculas(texto.substr(0, doisPontos));
      std::string valor = texto.substr(doisPontos + 1);
      valor.erase(0, valor.find_first_not_of(" \t"));
      if (nome == "content-length") tamanhoCorpo = std::stoul(valor);
      if (nome == "authorization") autorizacao = valor;
    }
    while (pedido.Bruta.size() < fim + 4 + tamanhoCorpo) {
      const int n = SSL_read(ssl.get(), bloco, sizeof bloco);
      if (n <= 0) break;
      pedido.Bruta.append(bloco, static_cast<std::size_t>(n));
    }
    pedido.Corpo = pedido.Bruta.substr(fim + 4);

    std::optional<TRespostaRoteiro> roteiro;
    fs::path pasta;
    std::string data;
    TEntrega entregaArquivos;
    {
      std::lock_guard trava(Trava);
      Gravadas.push_back(pedido);
      const auto i = Roteiros.find(pedido.Caminho);
      if (i != Roteiros.end()) roteiro = i->second;
      pasta = Pasta;
      data = Data;
      entregaArquivos = EntregaArquivos;
    }

    bool despedir = true;
    static const std::string kArquivos = "/arquivos/";
    const std::string nome = pedido.Caminho.rfind(kArquivos, 0) == 0 && !pasta.empty()
                                 ? NomePublicado(pedido.Caminho.substr(1))
                                 : "";
    std::error_code erro;
    if (roteiro) {
      despedir = Responder(ssl.get(), fd, *roteiro);
    } else if (pedido.Caminho == "/php/api.php") {
      despedir = Responder(ssl.get(), fd, Servico(autorizacao, pedido.Corpo, pasta, data));
    } else if (!nome.empty() && fs::is_regular_file(pasta / nome, erro)) {
      EnviarArquivo(ssl.get(), pasta / nome, entregaArquivos);
    } else {
      TRespostaRoteiro r;
      r.Status = 404;
      r.Cabecalhos.emplace_back("Content-Type", "text/html");
      r.Corpo = "<html><body><h1>404 Not Found</h1></body></html>";
      despedir = Responder(ssl.get(), fd, r);
    }
    if (despedir) SSL_shutdown(ssl.get());
  }
};

TServidorFalso::TServidorFalso() : TServidorFalso(TOpcoes{}) {}

TServidorFalso::TServidorFalso(TOpcoes opcoes) : F(std::make_unique<TEstado>(std::move(opcoes))) {
  F->Iniciar();
}

TServidorFalso::~TServidorFalso() {
  Parar();
}

void TServidorFalso::Parar() {
  F->Parar();
}

std::uint16_t TServidorFalso::Porta() const {
  return F->Porta;
}

std::string TServidorFalso::UrlBase() const {
  return "https://127.0.0.1:" + std::to_string(F->Porta) + "/";
}

std::string TServidorFalso::PemCA() const {
  return F->Certificados.PemCA();
}

void TServidorFalso::GravarCA(const fs::path& arquivo) const {
  std::ofstream saida(arquivo, std::ios::binary | std::ios::trunc);
  saida << PemCA();
  saida.close();
  if (!saida) throw std::runtime_error("TServidorFalso: cannot write " + arquivo.string());
}

void TServidorFalso::Publicar(const fs::path& pasta, const std::string& data) {
  std::lock_guard trava(F->Trava);
  F->Pasta = pasta.empty() ? pasta : fs::absolute(pasta);
  F->Data = data;
}

void TServidorFalso::EntregaArquivos(TEntrega entrega) {
  std::lock_guard trava(F->Trava);
  F->EntregaArquivos = entrega;
}

void TServidorFalso::Roteiro(const std::string& caminho, TRespostaRoteiro resposta) {
  std::lock_guard trava(F->Trava);
  F->Roteiros[caminho] = std::move(resposta);
}

void TServidorFalso::RemoverRoteiro(const std::string& caminho) {
  std::lock_guard trava(F->Trava);
  F->Roteiros.erase(caminho);
}

std::vector<TRequisicaoGravada> TServidorFalso::Requisicoes() const {
  std::lock_guard trava(F->Trava);
  return F->Gravadas;
}

void TServidorFalso::LimparRequisicoes() {
  std::lock_guard trava(F->Trava);
  F->Gravadas.clear();
}

int TServidorFalso::ApertosFalhos() const {
  std::lock_guard trava(F->Trava);
  return F->ApertosFalhos;
}
