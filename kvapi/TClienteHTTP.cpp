#include "TClienteHTTP.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

#include "Erros.h"

namespace {

constexpr int kMaxRedirecoes = 16;

struct LiberarCurl {
  void operator()(CURL* p) const { curl_easy_cleanup(p); }
};
struct LiberarLista {
  void operator()(curl_slist* p) const { curl_slist_free_all(p); }
};
struct LiberarUrl {
  void operator()(CURLU* p) const { curl_url_cleanup(p); }
};
struct LiberarTexto {
  void operator()(char* p) const { curl_free(p); }
};
using TTextoCurl = std::unique_ptr<char, LiberarTexto>;

bool Redirecao(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string Minusculas(std::string texto) {
  std::transform(texto.begin(), texto.end(), texto.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return texto;
}

std::string Aparar(const std::string& texto) {
  const auto inicio = texto.find_first_not_of(" \t\r\n");
  if (inicio == std::string::npos) return "";
  return texto.substr(inicio, texto.find_last_not_of(" \t\r\n") - inicio + 1);
}

std::unique_ptr<CURLU, LiberarUrl> AnalisarUrl(const std::string& url) {
  std::unique_ptr<CURLU, LiberarUrl> u(curl_url());
  if (!u) throw EHTTPClient("Out of memory");
  const CURLUcode erro = curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0);
  if (erro != CURLUE_OK) {
    throw EHTTPClient("Invalid URL \"" + url + "\": " + curl_url_strerror(erro));
  }
  return u;
}

// One request on one connection: the state the libcurl callbacks share.
class TTentativa {
 public:
  TTentativa(const TClienteHTTP::TConfiguracao& configuracao,
             const std::function<void(int, std::int64_t)>& aoCabecalho,
             const std::function<void(const char*, std::size_t)>& aoDados)
      : FConfiguracao(configuracao), FAoCabecalho(aoCabecalho), FAoDados(aoDados) {}

  struct TResultado {
    int Status = 0;
    std::string Location;  // set when the answer is a redirection to follow
  };

  TResultado Executar(const TPedidoHTTP& pedido) {
    std::unique_ptr<CURL, LiberarCurl> curl(curl_easy_init());
    if (!curl) throw EHTTPClient("Out of memory");
    CURL* c = curl.get();

    // Host first (libcurl writes it right after the request line anyway), then ours in order,
    // and curl's own defaults removed so that nothing else goes on the wire.
    std::unique_ptr<curl_slist, LiberarLista> campos;
    auto acrescentar = [&campos](const std::string& campo) {
      curl_slist* nova = curl_slist_append(campos.get(), campo.c_str());
      if (!nova) throw EHTTPClient("Out of memory");
      (void)campos.release();
      campos.reset(nova);
    };
    acrescentar("Host: " + CampoHost(pedido.Url));
    for (const auto& campo : pedido.Cabecalhos) acrescentar(campo);
    const bool temCorpo = pedido.Metodo == "POST" || !pedido.Corpo.empty();
    if (temCorpo) acrescentar("Content-Length: " + std::to_string(pedido.Corpo.size()));
    acrescentar("Connection: close");
    acrescentar("Accept:");
    acrescentar("Content-Type:");
    acrescentar("Expect:");
    acrescentar("Transfer-Encoding:");

    char mensagem[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, mensagem);
    curl_easy_setopt(c, CURLOPT_URL, pedido.Url.c_str());
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(FConfiguracao.LimiteConexao.count()));
    curl_easy_setopt(c, CURLOPT_SSL_CIPHER_LIST, "DEFAULT");
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!FConfiguracao.PemConfianca.empty()) {
      // The embedded anchors are the only ones: the built-in bundle and folder are dropped.
      curl_easy_setopt(c, CURLOPT_CAINFO, nullptr);
      curl_easy_setopt(c, CURLOPT_CAPATH, nullptr);
      curl_blob ancoras{const_cast<char*>(FConfiguracao.PemConfianca.data()),
                        FConfiguracao.PemConfianca.size(), CURL_BLOB_COPY};
      curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &ancoras);
    } else {
#ifdef _WIN32
      curl_easy_setopt(c, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, campos.get());
    if (temCorpo) {
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, pedido.Corpo.data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(pedido.Corpo.size()));
      if (pedido.Metodo != "POST")
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, pedido.Metodo.c_str());
    } else {
      curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &TTentativa::LinhaCabecalho);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &TTentativa::Dados);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &TTentativa::Andamento);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    // Fewer, larger reads; the callbacks still see every byte once.
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024);

    FUltimaAtividade = std::chrono::steady_clock::now();
    const CURLcode resultado = curl_easy_perform(c);
    if (FErro) std::rethrow_exception(FErro);
    if (FSeguir) return {FStatus, FLocation};
    if (FSilencio) {
      throw EHTTPClient("Operation timed out: no data received for " +
                        std::to_string(FConfiguracao.LimiteSilencio.count()) + " ms");
    }
    if (resultado != CURLE_OK) {
      throw EHTTPClient(mensagem[0] ? Aparar(mensagem) : curl_easy_strerror(resultado));
    }
    return {FStatus, ""};
  }

 private:
  static std::size_t LinhaCabecalho(char* dados, std::size_t, std::size_t n, void* proprio) {
    auto* t = static_cast<TTentativa*>(proprio);
    t->FUltimaAtividade = std::chrono::steady_clock::now();
    try {
      return t->TratarLinha(std::string(dados, n)) ? n : 0;
    } catch (...) {
      t->FErro = std::current_exception();
      return 0;
    }
  }

  // False stops the transfer.
  bool TratarLinha(const std::string& linha) {
    if (linha.rfind("HTTP/", 0) == 0) {
      const auto branco = linha.find(' ');
      FStatus = branco == std::string::npos ? 0 : std::atoi(linha.c_str() + branco + 1);
      FTamanho = -1;
      FPedacos = false;
      FLocation.clear();
      return true;
    }
    if (linha != "\r\n" && linha != "\n") {
      const auto doisPontos = linha.find(':');
      if (doisPontos == std::string::npos) return true;
      const std::string nome = Minusculas(Aparar(linha.substr(0, doisPontos)));
      const std::string valor = Aparar(linha.substr(doisPontos + 1));
      if (nome == "content-length") {
        FTamanho = std::all_of(valor.begin(), valor.end(), ::isdigit) && !valor.empty()
                       ? std::stoll(valor)
                       : -1;
      } else if (nome == "transfer-encoding" &&
                 Minusculas(valor).find("chunked") != std::string::npos) {
        FPedacos = true;
      } else if (nome == "location") {
        FLocation = valor;
      }
      return true;
    }
    if (FStatus >= 100 && FStatus < 200) return true;  // an interim answer; the real one follows
    if (Redirecao(FStatus) && !FLocation.empty()) {
      // The body of a redirection is not read.
      FSeguir = true;
      return false;
    }
    if (FAoCabecalho) FAoCabecalho(FStatus, FPedacos ? -1 : FTamanho);
    return true;
  }

  static std::size_t Dados(char* dados, std::size_t, std::size_t n, void* proprio) {
    auto* t = static_cast<TTentativa*>(proprio);
    try {
      if (t->FAoDados) t->FAoDados(dados, n);
      // Time spent here (events processed, perhaps a dialog) is not the server's silence.
      t->FUltimaAtividade = std::chrono::steady_clock::now();
      return n;
    } catch (...) {
      t->FErro = std::current_exception();
      return CURL_WRITEFUNC_ERROR;
    }
  }

  static int Andamento(void* proprio, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<TTentativa*>(proprio);
    if (std::chrono::steady_clock::now() - t->FUltimaAtividade > t->FConfiguracao.LimiteSilencio) {
      t->FSilencio = true;
      return 1;
    }
    return 0;
  }

  const TClienteHTTP::TConfiguracao& FConfiguracao;
  const std::function<void(int, std::int64_t)>& FAoCabecalho;
  const std::function<void(const char*, std::size_t)>& FAoDados;
  int FStatus = 0;
  std::int64_t FTamanho = -1;
  bool FPedacos = false;
  std::string FLocation;
  bool FSeguir = false;
  bool FSilencio = false;
  std::exception_ptr FErro;
  std::chrono::steady_clock::time_point FUltimaAtividade;
};

}  // namespace

TClienteHTTP::TClienteHTTP(TConfiguracao configuracao) : FConfiguracao(std::move(configuracao)) {}

int TClienteHTTP::Executar(TPedidoHTTP pedido) {
  for (int redirecoes = 0;;) {
    TTentativa tentativa(FConfiguracao, AoReceberCabecalho, AoReceberDados);
    const auto resultado = tentativa.Executar(pedido);
    if (resultado.Location.empty()) return resultado.Status;
    if (++redirecoes > kMaxRedirecoes) {
      throw EHTTPClient("Maximum allowed redirects reached : " + std::to_string(redirecoes));
    }
    pedido.Url = ResolverEndereco(pedido.Url, resultado.Location);
    if (resultado.Status == 303) pedido.Metodo = "GET";
  }
}

std::string CampoHost(const std::string& url) {
  const auto u = AnalisarUrl(url);
  char* host = nullptr;
  if (curl_url_get(u.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    throw EHTTPClient("Invalid URL \"" + url + "\": no host");
  }
  const TTextoCurl h(host);
  std::string campo = host;
  char* porta = nullptr;
  if (curl_url_get(u.get(), CURLUPART_PORT, &porta, 0) == CURLUE_OK) {
    const TTextoCurl p(porta);
    campo += ':';
    campo += porta;
  }
  return campo;
}

std::string ResolverEndereco(const std::string& atual, const std::string& destino) {
  const auto u = AnalisarUrl(atual);
  const CURLUcode erro = curl_url_set(u.get(), CURLUPART_URL, destino.c_str(), 0);
  if (erro != CURLUE_OK) {
    throw EHTTPClient("Invalid redirection \"" + destino + "\": " + curl_url_strerror(erro));
  }
  char* texto = nullptr;
  if (curl_url_get(u.get(), CURLUPART_URL, &texto, 0) != CURLUE_OK) {
    throw EHTTPClient("Invalid redirection \"" + destino + "\"");
  }
  const TTextoCurl t(texto);
  return texto;
}
