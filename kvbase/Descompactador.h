#pragma once
// ZIP unpacking into a folder.

#include <functional>
#include <string>

// Unpacks every entry of the archive `arquivo` into the folder `destino`, in central-directory
// order, calling `aoProgredir` with the percentages of the progress rule. Throws on any
// failure (EZipError and the file errors); files written before the failure stay.
void DescompactarZip(const std::string& arquivo, const std::string& destino,
                     const std::function<void(double)>& aoProgredir);
