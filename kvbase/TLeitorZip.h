#pragma once
// Reading side of a ZIP archive: its central directory and the checked data of each entry.
// libzip inflates and checks the CRC-32; the general-purpose flags, the host system and the
// raw names it keeps to itself are read from the central directory here.

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One entry of the central directory, in the terms the unpacking needs.
struct TEntradaZip {
  std::uint64_t Indice = 0;
  // UTF-8: from flag bit 11, the Info-ZIP Unicode Path field or the default code page.
  std::string Nome;
  std::uint16_t Flags = 0;
  std::uint16_t Metodo = 0;
  std::uint8_t Sistema = 0;  // host that made the entry (MS-DOS 0, Unix 3, NTFS 10, ...)
  std::uint32_t AtributosExternos = 0;
  std::uint16_t HoraDos = 0;
  std::uint16_t DataDos = 0;

  bool Criptografada() const { return (Flags & 0x0001) != 0; }
  bool DadosRemendo() const { return (Flags & 0x0020) != 0; }
};

class TFonteZip;

class TLeitorZip {
 public:
  // Opens the archive (a ".\name") and reads its central directory. Throws EFOpenError when
  // the file cannot be opened, EZipError "Corrupt ZIP file <arquivo>." when the directory is
  // missing or damaged, and EZipError for a directory over several disks or beyond the
  // supported counts and offsets.
  explicit TLeitorZip(const std::string& arquivo);
  ~TLeitorZip();
  TLeitorZip(const TLeitorZip&) = delete;
  TLeitorZip& operator=(const TLeitorZip&) = delete;

  // In central-directory order.
  const std::vector<TEntradaZip>& Entradas() const { return FEntradas; }
  // Size of the archive file in bytes.
  std::uint64_t Tamanho() const { return FTamanho; }
  // Whether the entry's data can be read: stored, deflated or another method libzip reads.
  static bool MetodoSuportado(std::uint16_t metodo);

  // The data of one entry, uncompressed, its CRC-32 checked at the end.
  class TLeitura {
   public:
    // Up to `tamanho` bytes; 0 at the end. Throws EZipError "Invalid CRC checksum while
    // unzipping <entry>." on a mismatch and the library's error for damaged data.
    std::size_t Ler(char* destino, std::size_t tamanho);

   private:
    friend class TLeitorZip;
    struct Fechar {
      void operator()(zip_file_t* f) const { zip_fclose(f); }
    };
    TLeitura(zip_file_t* arquivo, std::string nome) : FArquivo(arquivo), FNome(std::move(nome)) {}
    std::unique_ptr<zip_file_t, Fechar> FArquivo;
    std::string FNome;
  };

  // Throws EZipError "Unsupported compression format <n>" for a method not read, and the
  // encryption refusal.
  TLeitura Abrir(const TEntradaZip& entrada);

 private:
  struct Descartar {
    void operator()(zip_t* z) const { zip_discard(z); }
  };
  std::string FArquivo;
  std::unique_ptr<TFonteZip> FFonte;  // outlives FZip, which reads through it
  std::uint64_t FTamanho = 0;
  std::vector<TEntradaZip> FEntradas;
  std::unique_ptr<zip_t, Descartar> FZip;
};
