#include "TTradutorPO.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "Erros.h"
#include "plataforma/Plataforma.h"

namespace {

// The text between the first and the last double quote of a PO line, unescaped.
std::string TextoEntreAspas(const std::string& linha) {
  const auto inicio = linha.find('"');
  const auto fim = linha.rfind('"');
  std::string texto;
  if (inicio == std::string::npos || fim <= inicio) return texto;
  for (auto i = inicio + 1; i < fim; ++i) {
    char c = linha[i];
    if (c == '\\' && i + 1 < fim) {
      c = linha[++i];
      switch (c) {
        case 'n':
          c = '\n';
          break;
        case 't':
          c = '\t';
          break;
        case 'r':
          c = '\r';
          break;
        default:
          break;
      }
    }
    texto += c;
  }
  return texto;
}

struct Entrada {
  std::string msgid, msgstr;
  bool ignorada = false;
};

}  // namespace

TTradutorPO::TTradutorPO(const std::string& arquivo) {
  std::ifstream entrada(plataforma::CaminhoNativo(arquivo), std::ios::binary);
  if (!entrada) {
    throw ErroAbrirArquivo(arquivo);
  }
  Entrada atual;
  std::string* campo = nullptr;
  auto concluir = [&] {
    if (!atual.ignorada && !atual.msgid.empty() && !atual.msgstr.empty()) {
      FTextos.insert(QString::fromStdString(atual.msgid), QString::fromStdString(atual.msgstr));
    }
    atual = Entrada{};
    campo = nullptr;
  };
  std::string linha;
  while (std::getline(entrada, linha)) {
    if (!linha.empty() && linha.back() == '\r') linha.pop_back();
    if (linha.empty()) {
      concluir();
    } else if (linha.rfind("#,", 0) == 0) {
      atual.ignorada =
          linha.find("fuzzy") != std::string::npos || linha.find("badformat") != std::string::npos;
    } else if (linha.rfind("msgid", 0) == 0) {
      campo = &atual.msgid;
      *campo = TextoEntreAspas(linha);
    } else if (linha.rfind("msgstr", 0) == 0) {
      campo = &atual.msgstr;
      *campo = TextoEntreAspas(linha);
    } else if (linha.rfind("msgctxt", 0) == 0) {
      campo = nullptr;
    } else if (linha[0] == '"' && campo) {
      *campo += TextoEntreAspas(linha);
    }
  }
  concluir();
}

QString TTradutorPO::translate(const char* context, const char* sourceText, const char*,
                               int) const {
  if (!context || context[0] != 'Q' || !sourceText) return {};
  return FTextos.value(QString::fromUtf8(sourceText));
}
