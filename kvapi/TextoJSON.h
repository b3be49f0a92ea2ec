#pragma once
// The request documents' text. The vendor's service was written against one particular writer,
// so its spacing and escaping are kept to the character.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// JSON text of `valor`: objects as "{ "a" : 1, "b" : 2 }" ("{}" when empty), arrays as
// "[1, 2]", no line breaks. Strings are escaped by EscaparJSON; numbers as nlohmann writes them,
// true, false and null as their names. Pure function.
std::string TextoJSON(const nlohmann::ordered_json& valor);

// Escapes a UTF-8 text byte by byte: backslash and double quote get a backslash; 8, 9, 10, 12
// and 13 become \b \t \n \f \r; other bytes below 32 become \u00XX (upper-case hex); slash and
// bytes from 128 up are copied unchanged. Pure function.
std::string EscaparJSON(std::string_view texto);
