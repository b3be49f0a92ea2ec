#pragma once
// Reading side of a ZIP archive: its central directory and the checked data of each entry.
// libzip opens the archive and bounds each entry's raw data; stored and deflated data is then
// read in large blocks, inflated with zlib and its CRC-32 checked here, which is much cheaper
// than libzip's layered reading in small pieces. Other methods libzip reads go through it.
// The general-purpose flags, the host system and the raw names it keeps to itself are read
// from the central directory here.

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
  // zlib's crc32 (`crc` the value so far, 0 to start), faster where the processor multiplies
  // without carries.
  static std::uint32_t Crc32(std::uint32_t crc, const void* dados, std::size_t n);

  // The buffers and the inflater the readings share.
  struct TMemoria;

  // The data of one entry, uncompressed, its CRC-32 checked at the end. Only one reading at a
  // time: they share the reader's buffers and inflater.
  class TLeitura {
   public:
    // The next `maximo` bytes (fewer only at the end), in the reader's own memory, valid until
    // the next call; empty at the end. Throws EZipError "Invalid CRC checksum while unzipping
    // <entry>." on a mismatch and the library's error for damaged data, after the bytes before the
    // damage.
    std::string_view Ler(std::size_t maximo);

   private:
    friend class TLeitorZip;
    struct Fechar {
      void operator()(zip_file_t* f) const { zip_fclose(f); }
    };
    TLeitura(zip_file_t* arquivo, const TEntradaZip& entrada, const zip_stat_t& estado, bool bruta,
             TMemoria& memoria);
    std::string_view LerBruta(std::size_t maximo);
    std::string_view LerInflada(std::size_t maximo);
    void Inflar();
    void Concluir();

    std::unique_ptr<zip_file_t, Fechar> FArquivo;
    std::string FNome;
    std::uint16_t FMetodo = 0;
    bool FBruta = false;  // raw bytes from libzip, inflated and checked here
    TMemoria* FMemoria = nullptr;
    std::uint32_t FCrcEsperado = 0;
    std::uint64_t FTamanhoEsperado = 0;
    bool FConfereCrc = false;  // what the central directory records, as libzip checks it
    bool FConfereTamanho = false;
    std::uint32_t FCrc = 0;
    std::uint64_t FTamanho = 0;
    std::string_view FPendente;  // inflated, not yet handed out
    bool FFimEntrada = false;    // the raw data is all read
    bool FFim = false;           // nothing more will be inflated
    std::string FErro;           // raised once the bytes before it are handed out
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
  std::unique_ptr<TMemoria> FMemoria;
};
