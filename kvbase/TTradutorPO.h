#pragma once
// Switches Qt's built-in texts to the Portuguese of a PO catalogue, looked up by English text.

#include <QHash>
#include <QString>
#include <QTranslator>
#include <string>

class TTradutorPO : public QTranslator {
  Q_OBJECT
 public:
  // Reads the catalogue; entries flagged fuzzy or badformat, or with an empty msgstr, are left
  // out. Throws EFOpenError when the file cannot be opened.
  explicit TTradutorPO(const std::string& arquivo);

  // Answers only for Qt's own contexts (they start with "Q"): the window's designed texts are
  // not the toolkit's and stay as designed.
  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return FTextos.isEmpty(); }

  // The Portuguese text of an English one, or a null string.
  QString Traduzir(const QString& ingles) const { return FTextos.value(ingles); }
  qsizetype Quantidade() const { return FTextos.size(); }

 private:
  QHash<QString, QString> FTextos;
};
