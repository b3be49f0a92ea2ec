#pragma once
// A loopback stand-in for the vendor's HTTPS server, for tests, benchmarks and the demo.
//
// It listens on 127.0.0.1 with a certificate signed by a CA made at start, answers one request
// per connection and closes it, and records every request byte for byte. It serves:
//   - "/php/api.php": the web service. POST with basic authentication ("kelvaro_api"), a JSON
//     body {"opc": 8|9, "dados": [{"local": "../arquivos/<name>"}]}; answers {"hash": sha1} for
//     8 and {"data": date} for 9 from the published folder; 401 without the right credentials,
//     404 for an unknown file, 400 for anything else;
//   - "/arquivos/<name>": the files of the published folder, streamed, by Content-Length or
//     chunked (EntregaArquivos);
//   - any path given a scripted answer, which takes precedence over both.
// Everything else is 404. Each connection runs on a thread of its own, so a stalled answer does
// not hold up the next request.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// How an answer reaches the client.
enum class TEntrega {
  Tamanho,          // header with Content-Length, then the body
  Chunked,          // Transfer-Encoding: chunked, the body in chunks of TamanhoPedaco
  AteFechar,        // no length at all: the body, then the connection is closed
  Travar,           // reads the request and sends nothing until the client gives up
  TravarNoCorpo,    // header with Content-Length and half the body, then nothing
  Derrubar,         // reads the request and drops the connection without a byte
  DerrubarNoCorpo,  // header with Content-Length and half the body, then drops the connection
};

struct TRespostaRoteiro {
  int Status = 200;
  std::vector<std::pair<std::string, std::string>> Cabecalhos;  // beside the framing ones
  std::string Corpo;
  TEntrega Entrega = TEntrega::Tamanho;
  std::size_t TamanhoPedaco = 1000;

  // A redirection to `destino` (sent as the Location header, as written).
  static TRespostaRoteiro Redirecionar(int status, std::string destino);
  // A JSON text with the given status.
  static TRespostaRoteiro Json(int status, std::string texto);
};

// One request as it arrived.
struct TRequisicaoGravada {
  std::string Bruta;    // request line, header and body, byte for byte
  std::string Metodo;   // "POST"
  std::string Caminho;  // the request target, "/php/api.php"
  std::string Corpo;
};

class TServidorFalso {
 public:
  struct TOpcoes {
    std::uint16_t Porta = 0;  // 0: any free port
    // Subject alternative names of the server certificate; change them to make a certificate
    // that does not match the address.
    std::vector<std::string> NomesCertificado = {"IP:127.0.0.1", "DNS:localhost"};
    std::string Usuario = "kelvaro_api";
    std::string Senha = "@Bxe4093fad";
  };

  // Makes the certificates, listens and starts serving. Throws std::runtime_error when the
  // port cannot be bound or OpenSSL fails.
  TServidorFalso();
  explicit TServidorFalso(TOpcoes opcoes);
  // Stops (see Parar).
  ~TServidorFalso();
  TServidorFalso(const TServidorFalso&) = delete;
  TServidorFalso& operator=(const TServidorFalso&) = delete;

  // Stops accepting, cuts every open connection (stalled ones too) and joins all threads.
  // Idempotent.
  void Parar();

  std::uint16_t Porta() const;
  // "https://127.0.0.1:<port>/".
  std::string UrlBase() const;
  // The PEM of the CA that signed the server certificate: the client's trust anchor.
  std::string PemCA() const;
  // Writes PemCA() to a file (for curl --cacert or a KV_CA_BUNDLE build).
  void GravarCA(const std::filesystem::path& arquivo) const;

  // Serves the regular files of `pasta` below "/arquivos/" and answers the web service from
  // them. `data` is the text "opc" 9 answers; empty: each file's modification time as
  // "dd/MM/yyyy HH:mm:ss" (local time). The hash is computed from the file at each query.
  void Publicar(const std::filesystem::path& pasta, const std::string& data = "");
  void EntregaArquivos(TEntrega entrega);

  // The answer for every request whose target is exactly `caminho` ("/arquivos/x.zip"), until
  // replaced or removed.
  void Roteiro(const std::string& caminho, TRespostaRoteiro resposta);
  void RemoverRoteiro(const std::string& caminho);

  // Every request received so far, in order of arrival. A request is recorded before its
  // answer is sent.
  std::vector<TRequisicaoGravada> Requisicoes() const;
  void LimparRequisicoes();
  // TLS handshakes that failed (e.g. the client refused the certificate).
  int ApertosFalhos() const;

 private:
  struct TEstado;
  std::unique_ptr<TEstado> F;
};
