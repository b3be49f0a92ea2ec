#pragma once
// One HTTPS exchange over libcurl, with the redirections followed by our own loop so that the
// bytes sent, the limits and the messages are ours. Each attempt uses a new easy handle and a
// new connection; nothing is kept between calls.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TPedidoHTTP {
  std::string Metodo;  // "POST" or "GET"
  std::string Url;
  // Fields sent after Host, in this order; Content-Length (when there is a body or the method
  // is POST) and "Connection: close" follow them. Nothing else is sent.
  std::vector<std::string> Cabecalhos;
  std::string Corpo;
};

class TClienteHTTP {
 public:
  struct TConfiguracao {
    std::string PemConfianca;  // the only trust anchors; empty: the system's store
    std::chrono::milliseconds LimiteConexao{3000};
    std::chrono::milliseconds LimiteSilencio{30000};  // longest wait for the next byte
  };

  explicit TClienteHTTP(TConfiguracao configuracao);

  // Called once the final answer's header is complete, before any of its body: its status and
  // the declared Content-Length (-1 when none, or when chunked). May throw to stop the
  // transfer; the error then leaves Executar as it was thrown.
  std::function<void(int status, std::int64_t tamanhoDeclarado)> AoReceberCabecalho;
  // Body bytes of the final answer, as they arrive. May throw, as above.
  std::function<void(const char* dados, std::size_t tamanho)> AoReceberDados;

  // Sends the request and receives the whole answer, following 301, 302, 303, 307 and 308 to
  // their Location (relative ones resolved) with the same fields and body; after 303 the
  // method becomes GET. Returns the final status. Throws EHTTPClient on a connection, TLS or
  // transfer failure, on a silence longer than LimiteSilencio, and with "Maximum allowed
  // redirects reached : 17" on the 17th redirection.
  int Executar(TPedidoHTTP pedido);

 private:
  TConfiguracao FConfiguracao;
};

// "Host" field value for an https URL: its host, then ":" and the port only when the URL names
// one. Throws EHTTPClient on a malformed URL.
std::string CampoHost(const std::string& url);

// `destino` (a Location value, absolute or relative) resolved against `atual`. Throws
// EHTTPClient on a malformed URL.
std::string ResolverEndereco(const std::string& atual, const std::string& destino);
