#pragma once
// A throw-away certificate authority and a server certificate signed by it, made in memory
// for the loopback vendor server.

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

struct LiberarChave {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct LiberarX509 {
  void operator()(X509* p) const { X509_free(p); }
};
struct LiberarContextoSSL {
  void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
using TChave = std::unique_ptr<EVP_PKEY, LiberarChave>;
using TCertificado = std::unique_ptr<X509, LiberarX509>;
using TContextoSSL = std::unique_ptr<SSL_CTX, LiberarContextoSSL>;

class TCertificados {
 public:
  // Makes a new CA (P-256, valid from an hour ago for 30 days) and a server certificate whose
  // subject alternative names are `nomes` in OpenSSL's notation ("IP:127.0.0.1",
  // "DNS:localhost"). Throws std::runtime_error when OpenSSL fails.
  explicit TCertificados(const std::vector<std::string>& nomes = {"IP:127.0.0.1", "DNS:localhost"});

  // The CA certificate in PEM: the trust anchor a client is given.
  const std::string& PemCA() const { return FPemCA; }

  // A TLS server context presenting the server certificate (and its chain).
  TContextoSSL ContextoServidor() const;

 private:
  TChave FChaveCA, FChaveServidor;
  TCertificado FCA, FServidor;
  std::string FPemCA;
};
