#include "TKVBase.h"

#include <openssl/evp.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QWidget>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "Descompactador.h"
#include "Erros.h"
#include "FormatoDocumento.h"
#include "FormatoNumero.h"
#include "TKVAplicacao.h"
#include "TTradutorPO.h"
#include "payload/TListaRecursos.h"
#include "plataforma/Plataforma.h"

TKVBase* ObjBase = nullptr;

namespace {

constexpr const char* kArquivoCatalogo = ".\\pt-BR.dll";
constexpr const char* kLogErros = "Log_Erros.txt";
constexpr const char* kTemp = "Temp.txt";

constexpr std::array<const char*, 13> kSuporte = {
    ".\\logo300x300.bmp", ".\\pt-BR.dll",    ".\\libssl-1_1.dll", ".\\libcrypto-1_1.dll",
    ".\\libexslt.dll",    ".\\libiconv.dll", ".\\libxml2.dll",    ".\\libxslt.dll",
    ".\\kvcrypt.dll",     ".\\firebird.msg", ".\\gbak.exe",       ".\\gfix.exe",
    ".\\fbclient.dll"};

bool ArquivoExiste(const std::string& nome) {
  std::error_code erro;
  return std::filesystem::is_regular_file(plataforma::CaminhoNativo(nome), erro);
}

std::ofstream CriarArquivo(const std::string& nome, std::ios::openmode modo = std::ios::trunc) {
  std::ofstream saida(plataforma::CaminhoNativo(nome), std::ios::binary | std::ios::out | modo);
  if (!saida) throw ErroCriarArquivo(nome);
  return saida;
}

// Resource name of a file: its name part with every occurrence of its extension removed,
// without regard to letter case.
std::string NomeRecurso(const std::string& arquivo) {
  const auto barra = arquivo.find_last_of("\\/");
  std::string nome = barra == std::string::npos ? arquivo : arquivo.substr(barra + 1);
  const auto ponto = nome.rfind('.');
  if (ponto == std::string::npos) return nome;
  const std::string extensao = formato::MaiusculasAscii(nome.substr(ponto));
  std::string resultado;
  for (std::size_t i = 0; i < nome.size();) {
    if (formato::MaiusculasAscii(nome.substr(i, extensao.size())) == extensao) {
      i += extensao.size();
    } else {
      resultado += nome[i++];
    }
  }
  return resultado;
}

// The first character of a Qt format that is not a pattern letter: the locale's separator.
QString Separador(const QString& formato, const QString& padrao) {
  for (QChar c : formato) {
    if (!c.isLetter() && !c.isSpace()) return QString(c);
  }
  return padrao;
}

QString CarimboErro(const QDateTime& agora) {
  const QLocale local;
  const QString d = Separador(local.dateFormat(QLocale::ShortFormat), "/");
  const QString t = Separador(local.timeFormat(QLocale::LongFormat), ":");
  return agora.toString("dd" + d + "MM" + d + "yyyy - HH" + t + "mm" + t + "ss >> ");
}

// The long time format without the zone, as the log shows it.
QString FormatoHoraLonga() {
  QString formato = QLocale().timeFormat(QLocale::LongFormat);
  formato.remove('t');
  return formato.trimmed();
}

std::vector<std::string> LerLinhas(const std::string& nome) {
  std::ifstream entrada(plataforma::CaminhoNativo(nome), std::ios::binary);
  if (!entrada) throw ErroAbrirArquivo(nome);
  std::stringstream conteudo;
  conteudo << entrada.rdbuf();
  const std::string texto = conteudo.str();
  std::vector<std::string> linhas;
  std::string linha;
  for (std::size_t i = 0; i < texto.size(); ++i) {
    const char c = texto[i];
    if (c == '\r' || c == '\n') {
      linhas.push_back(linha);
      linha.clear();
      if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
    } else {
      linha += c;
    }
  }
  if (!linha.empty()) linhas.push_back(linha);
  return linhas;
}

void GravarLinhas(const std::string& nome, const std::vector<std::string>& linhas) {
  auto saida = CriarArquivo(nome);
  for (const auto& l : linhas) saida << l << "\r\n";
  saida.close();
  if (!saida) throw EWriteError("Stream write error");
}

// Location of the error: the first back-trace line ending in "pas", from its 14th character,
// at most 200 characters. Our frame lines never end so, but the rule is kept for the file.
std::string LocalDoErro(const std::vector<std::uintptr_t>& pilha) {
  {
    auto temp = CriarArquivo(kTemp);
    constexpr int digitos = static_cast<int>(2 * sizeof(void*));
    for (auto endereco : pilha) {
      char linha[40];
      std::snprintf(linha, sizeof linha, "  $%0*llX\r\n", digitos,
                    static_cast<unsigned long long>(endereco));
      temp << linha;
    }
  }
  std::string local;
  std::error_code ignorado;
  try {
    for (const auto& linha : LerLinhas(kTemp)) {
      if (linha.size() >= 3 && linha.compare(linha.size() - 3, 3, "pas") == 0) {
        local = linha.size() > 13 ? linha.substr(13, 200) : std::string();
        break;
      }
    }
  } catch (...) {
    std::filesystem::remove(plataforma::CaminhoNativo(kTemp), ignorado);
    throw;
  }
  std::filesystem::remove(plataforma::CaminhoNativo(kTemp), ignorado);
  return local;
}

struct LiberarContexto {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

formato::SeparadoresNumero SeparadoresLocais() {
  const QLocale local;
  return {local.decimalPoint().toStdString(), local.groupSeparator().toStdString()};
}

}  // namespace

TKVBase::TKVBase() {
  for (const char* alvo : kSuporte) {
    if (!ArquivoExiste(alvo)) ExtrairRecurso(alvo);
  }
  if (ArquivoExiste(kArquivoCatalogo)) {
    FTradutor = std::make_unique<TTradutorPO>(kArquivoCatalogo);
    if (QCoreApplication::instance()) QCoreApplication::installTranslator(FTradutor.get());
  }
  Progresso = nullptr;
}

TKVBase::~TKVBase() {
  if (FTradutor && QCoreApplication::instance()) {
    QCoreApplication::removeTranslator(FTradutor.get());
  }
}

void TKVBase::ExtrairRecurso(const std::string& arquivo) {
  const std::string nome = NomeRecurso(arquivo);
  const TRecurso* recurso = TListaRecursos::Instancia().Encontrar(nome);
  if (!recurso) {
    Mensagem("O resource " + nome + " não foi encontrado!");
    return;
  }
  auto saida = CriarArquivo(arquivo);
  saida.write(recurso->Valor.data(), static_cast<std::streamsize>(recurso->Valor.size()));
  saida.close();
  if (!saida) throw EWriteError("Stream write error");
}

void TKVBase::TratarErro(QObject*, const std::exception& erro) {
  const std::string texto = NomeClasseErro(erro) + " >> " + erro.what();
  const auto* nosso = dynamic_cast<const Exception*>(&erro);
  const std::string local = LocalDoErro(nosso ? nosso->Pilha() : std::vector<std::uintptr_t>{});

  std::vector<std::string> linhas;
  if (ArquivoExiste(kLogErros)) linhas = LerLinhas(kLogErros);
  linhas.push_back(CarimboErro(QDateTime::currentDateTime()).toStdString() + texto);
  linhas.push_back(local);
  linhas.push_back(std::string(64, '='));
  GravarLinhas(kLogErros, linhas);

  Mensagem(texto);
}

void TKVBase::Mensagem(const std::string& texto) {
  QMessageBox caixa(QMessageBox::Warning, QString::fromUtf8("Atenção"), QString::fromUtf8("Aviso!"),
                    QMessageBox::Ok, QApplication::activeWindow());
  caixa.setInformativeText(QString::fromStdString(texto));
  if (auto* app = TKVAplicacao::Instancia()) {
    app->ExibirDialogo(caixa);
  } else {
    caixa.exec();
  }
}

bool TKVBase::ExecutarComando(const std::string& comando, bool mostrarJanela, bool aguardar) {
  return plataforma::ExecutarInterpretador(comando, mostrarJanela, aguardar);
}

std::string TKVBase::HashArquivo(const std::string& arquivo) {
  const auto caminho = plataforma::CaminhoNativo(arquivo);
  std::error_code erro;
  std::ifstream entrada;
  if (!std::filesystem::is_directory(caminho, erro)) entrada.open(caminho, std::ios::binary);
  if (!entrada.is_open()) throw EFileNotFoundException("File not found");

  std::unique_ptr<EVP_MD_CTX, LiberarContexto> contexto(EVP_MD_CTX_new());
  if (!contexto || EVP_DigestInit_ex(contexto.get(), EVP_sha1(), nullptr) != 1) {
    throw EKVErro("SHA-1 unavailable");
  }
  std::vector<char> bloco(1 << 16);
  while (entrada) {
    entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
    const auto lidos = entrada.gcount();
    if (lidos > 0) EVP_DigestUpdate(contexto.get(), bloco.data(), static_cast<size_t>(lidos));
  }
  if (entrada.bad()) throw EReadError("Stream read error");
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

void TKVBase::GravarLog(const std::string& arquivo, const std::string& texto) {
  const QDateTime agora = QDateTime::currentDateTime();
  QString data = QLocale().toString(agora.date(), QLocale::ShortFormat);
  if (agora.time() != QTime(0, 0, 0)) data += ' ' + agora.time().toString(FormatoHoraLonga());
  auto saida = CriarArquivo(arquivo, std::ios::app);
  saida << "Data: " << data.toStdString() << "\r\n" << texto << "\r\n";
  saida.close();
  if (!saida) throw EWriteError("Stream write error");
}

void TKVBase::Descompactar(const std::string& arquivo, const std::string& destino) {
  DescompactarZip(arquivo, destino, [this](double p) { ProgressoDescompactar(nullptr, p); });
}

void TKVBase::ProgressoDescompactar(QObject*, double percentual) {
  if (!Progresso) return;
  // The bar would ignore a position outside its range; it shows the nearest end instead.
  const double truncado = std::trunc(percentual);
  const int posicao = truncado > Progresso->maximum()   ? Progresso->maximum()
                      : truncado < Progresso->minimum() ? Progresso->minimum()
                                                        : static_cast<int>(truncado);
  FRitmo.Mostrar(*Progresso, posicao);
}

double TKVBase::Arredondar(std::uint8_t precisao, double valor) {
  return formato::Arredondar(precisao, valor);
}
std::string TKVBase::FormatarNumero(std::uint8_t precisao, bool milhar, double valor) {
  return formato::FormatarNumero(precisao, milhar, valor, SeparadoresLocais());
}
std::string TKVBase::FormatarNumeroTexto(const std::string& texto, std::uint8_t precisao,
                                         bool milhar) {
  return formato::FormatarNumeroTexto(texto, precisao, milhar, SeparadoresLocais());
}
char32_t TKVBase::FiltrarTeclaValor(char32_t tecla) {
  return formato::FiltrarTeclaValor(tecla);
}
char32_t TKVBase::FiltrarTeclaNumero(char32_t tecla) {
  return formato::FiltrarTeclaNumero(tecla);
}

std::string TKVBase::SomenteNumeros(const std::string& texto, bool vazioSeNenhum) {
  return formato::SomenteNumeros(texto, vazioSeNenhum);
}
std::int32_t TKVBase::NumeroInteiro(const std::string& texto) {
  return formato::NumeroInteiro(texto);
}
std::string TKVBase::FormatarCEP(std::int32_t cep) {
  return formato::FormatarCEP(cep);
}
std::string TKVBase::FormatarFone(const std::string& texto) {
  return formato::FormatarFone(texto);
}
std::string TKVBase::FormatarCNPJCPF(const std::string& texto) {
  return formato::FormatarCNPJCPF(texto);
}
bool TKVBase::ValidarCNPJCPF(const std::string& texto, bool permiteVazio) {
  return formato::ValidarCNPJCPF(texto, permiteVazio);
}
std::string TKVBase::LimparTexto(const std::string& texto, bool maiusculas) {
  return formato::LimparTexto(texto, maiusculas);
}
