#pragma once
// Brazilian document and contact formats: postal code, phone, CNPJ/CPF, free-text cleanup.
// Pure functions over UTF-8 texts; a digit is one of the ASCII characters 0 to 9.

#include <cstdint>
#include <string>

namespace formato {

std::string SomenteNumeros(const std::string& texto, bool vazioSeNenhum);
std::int32_t NumeroInteiro(const std::string& texto);  // EConvertError above 2147483647
std::string FormatarCEP(std::int32_t cep);
std::string FormatarFone(const std::string& texto);
std::string FormatarCNPJCPF(const std::string& texto);
bool ValidarCNPJCPF(const std::string& texto, bool permiteVazio);
std::string LimparTexto(const std::string& texto, bool maiusculas);

}  // namespace formato
