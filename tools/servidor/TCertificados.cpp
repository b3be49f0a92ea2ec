#include "TCertificados.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace {

struct LiberarBIO {
  void operator()(BIO* p) const { BIO_free(p); }
};
struct LiberarExtensao {
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};

[[noreturn]] void Falhar(const std::string& passo) {
  char texto[256] = "";
  ERR_error_string_n(ERR_get_error(), texto, sizeof texto);
  throw std::runtime_error("TCertificados: " + passo + ": " + texto);
}

TChave NovaChave() {
  TChave chave(EVP_EC_gen("P-256"));
  if (!chave) Falhar("EVP_EC_gen");
  return chave;
}

void Estender(X509* certificado, X509* emissor, int nid, const std::string& valor) {
  X509V3_CTX contexto;
  X509V3_set_ctx(&contexto, emissor, certificado, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, LiberarExtensao> extensao(
      X509V3_EXT_conf_nid(nullptr, &contexto, nid, valor.c_str()));
  if (!extensao || X509_add_ext(certificado, extensao.get(), -1) != 1) Falhar(valor);
}

using TExtensoes = std::vector<std::pair<int, std::string>>;

// Certificate for `chave` named `nome`, signed by `emissor`; self-signed when it is null.
TCertificado NovoCertificado(EVP_PKEY* chave, const char* nome, X509* emissor,
                             EVP_PKEY* chaveEmissor, const TExtensoes& extensoes) {
  TCertificado c(X509_new());
  if (!c) Falhar("X509_new");
  unsigned char serie[8];
  RAND_bytes(serie, sizeof serie);
  serie[0] &= 0x7f;
  BIGNUM* numero = BN_bin2bn(serie, sizeof serie, nullptr);
  BN_to_ASN1_INTEGER(numero, X509_get_serialNumber(c.get()));
  BN_free(numero);
  X509_set_version(c.get(), 2);
  X509_gmtime_adj(X509_getm_notBefore(c.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(c.get()), 30L * 24 * 3600);
  X509_set_pubkey(c.get(), chave);
  X509_NAME* sujeito = X509_get_subject_name(c.get());
  X509_NAME_add_entry_by_txt(sujeito, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(nome), -1, -1, 0);
  X509* assinante = emissor ? emissor : c.get();
  X509_set_issuer_name(c.get(), X509_get_subject_name(assinante));
  Estender(c.get(), assinante, NID_subject_key_identifier, "hash");
  Estender(c.get(), assinante, NID_authority_key_identifier, "keyid:always");
  for (const auto& [nid, valor] : extensoes) Estender(c.get(), assinante, nid, valor);
  if (X509_sign(c.get(), emissor ? chaveEmissor : chave, EVP_sha256()) == 0) Falhar("X509_sign");
  return c;
}

std::string Pem(X509* certificado) {
  std::unique_ptr<BIO, LiberarBIO> memoria(BIO_new(BIO_s_mem()));
  if (!memoria || PEM_write_bio_X509(memoria.get(), certificado) != 1) Falhar("PEM");
  char* dados = nullptr;
  const long tamanho = BIO_get_mem_data(memoria.get(), &dados);
  return std::string(dados, static_cast<std::size_t>(tamanho));
}

}  // namespace

TCertificados::TCertificados(const std::vector<std::string>& nomes)
    : FChaveCA(NovaChave()), FChaveServidor(NovaChave()) {
  FCA = NovoCertificado(FChaveCA.get(), "Servidor falso - CA de teste", nullptr, nullptr,
                        {{NID_basic_constraints, "critical,CA:TRUE"},
                         {NID_key_usage, "critical,keyCertSign,cRLSign"}});
  TExtensoes extensoes = {{NID_basic_constraints, "critical,CA:FALSE"},
                          {NID_key_usage, "critical,digitalSignature"},
                          {NID_ext_key_usage, "serverAuth"}};
  std::string alternativos;
  for (const auto& n : nomes) alternativos += (alternativos.empty() ? "" : ",") + n;
  if (!alternativos.empty()) extensoes.emplace_back(NID_subject_alt_name, alternativos);
  FServidor =
      NovoCertificado(FChaveServidor.get(), "Servidor falso", FCA.get(), FChaveCA.get(), extensoes);
  FPemCA = Pem(FCA.get());
}

TContextoSSL TCertificados::ContextoServidor() const {
  TContextoSSL contexto(SSL_CTX_new(TLS_server_method()));
  if (!contexto) Falhar("SSL_CTX_new");
  if (SSL_CTX_use_certificate(contexto.get(), FServidor.get()) != 1 ||
      SSL_CTX_use_PrivateKey(contexto.get(), FChaveServidor.get()) != 1) {
    Falhar("SSL_CTX_use_certificate");
  }
  return contexto;
}
