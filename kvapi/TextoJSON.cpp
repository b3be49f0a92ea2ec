#include "TextoJSON.h"

namespace {

void Escrever(const nlohmann::ordered_json& valor, std::string& saida) {
  switch (valor.type()) {
    case nlohmann::ordered_json::value_t::object: {
      if (valor.empty()) {
        saida += "{}";
        return;
      }
      saida += "{ ";
      bool primeiro = true;
      for (const auto& [nome, membro] : valor.items()) {
        if (!primeiro) saida += ", ";
        primeiro = false;
        saida += '"';
        saida += EscaparJSON(nome);
        saida += "\" : ";
        Escrever(membro, saida);
      }
      saida += " }";
      return;
    }
    case nlohmann::ordered_json::value_t::array: {
      saida += '[';
      bool primeiro = true;
      for (const auto& elemento : valor) {
        if (!primeiro) saida += ", ";
        primeiro = false;
        Escrever(elemento, saida);
      }
      saida += ']';
      return;
    }
    case nlohmann::ordered_json::value_t::string:
      saida += '"';
      saida += EscaparJSON(valor.get_ref<const std::string&>());
      saida += '"';
      return;
    default:
      saida += valor.dump();
      return;
  }
}

}  // namespace

std::string EscaparJSON(std::string_view texto) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string saida;
  saida.reserve(texto.size());
  for (const char c : texto) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '\\':
        saida += "\\\\";
        break;
      case '"':
        saida += "\\\"";
        break;
      case 8:
        saida += "\\b";
        break;
      case 9:
        saida += "\\t";
        break;
      case 10:
        saida += "\\n";
        break;
      case 12:
        saida += "\\f";
        break;
      case 13:
        saida += "\\r";
        break;
      default:
        if (byte < 32) {
          saida += "\\u00";
          saida += kHex[byte >> 4];
          saida += kHex[byte & 15];
        } else {
          saida += c;
        }
    }
  }
  return saida;
}

std::string TextoJSON(const nlohmann::ordered_json& valor) {
  std::string saida;
  Escrever(valor, saida);
  return saida;
}
