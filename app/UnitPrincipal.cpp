#include "UnitPrincipal.h"

#include <QFileInfo>
#include <QLocale>
#include <filesystem>

#include "Erros.h"
#include "TKVAPI.h"
#include "TKVAplicacao.h"
#include "TKVBase.h"
#include "plataforma/Plataforma.h"
#include "ui_UnitPrincipal.h"

namespace {

constexpr const char* kProdutoPublicado = "../arquivos/Mercanta.exe";
constexpr const char* kProdutoInstalado = ".\\Mercanta.exe";

const QColor kCorPendente(255, 0, 0);
const QColor kCorAtualizado(0, 128, 0);

// Hides the bar, detaches it from the client and releases the client, also when a step fails.
class TUsoCliente {
 public:
  TUsoCliente(std::unique_ptr<TKVAPI> cliente, QProgressBar& barra)
      : FCliente(std::move(cliente)), FBarra(barra) {}
  ~TUsoCliente() {
    FBarra.hide();
    FCliente->Barra = nullptr;
  }
  TUsoCliente(const TUsoCliente&) = delete;
  TUsoCliente& operator=(const TUsoCliente&) = delete;
  TKVAPI* operator->() const { return FCliente.get(); }

 private:
  std::unique_ptr<TKVAPI> FCliente;
  QProgressBar& FBarra;
};

void Legenda(QLabel& label, const QString& texto) {
  label.setText(texto);
  TKVPadrao::AjustarAoTexto(label);
}

void CorDoTexto(QLabel& label, const QColor& cor) {
  QPalette paleta = label.palette();
  for (auto grupo : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    paleta.setColor(grupo, QPalette::WindowText, cor);
  }
  label.setPalette(paleta);
}

}  // namespace

TFormAtualiza::TFormAtualiza(QWidget* parent)
    : TKVPadrao(parent),
      CriarCliente([] { return std::make_unique<TKVAPI>(); }),
      FUi(std::make_unique<Ui::FormAtualiza>()) {
  // The pictures live in this static library, which the linker would otherwise leave out.
  Q_INIT_RESOURCE(Instalador);
  Construir([this] { FUi->setupUi(this); });
}

TFormAtualiza::~TFormAtualiza() {
  Destruir();
}

void TFormAtualiza::FormCreate() {
  try {
    ObjBase = new TKVBase();
  } catch (const std::exception& erro) {
    if (auto* app = TKVAplicacao::Instancia()) app->MostrarErroPadrao(erro);
    throw EAbort(erro.what());
  }
  if (auto* app = TKVAplicacao::Instancia()) {
    app->OnException = [](QObject* s, const std::exception& e) { ObjBase->TratarErro(s, e); };
  }
  setWindowTitle("Instalador Ver. 1.1");
  FUi->Barra->hide();
  FUi->ImageFeitoApp->hide();
  FUi->ImageFeitoSchemas->hide();
  FUi->ImageFeitoFirebird->hide();
}

void TFormAtualiza::FormDestroy() {
  // The handler reaches ObjBase; errors after this point go to the default display.
  if (auto* app = TKVAplicacao::Instancia()) app->OnException = nullptr;
  delete ObjBase;
  ObjBase = nullptr;
}

void TFormAtualiza::FormActivate() {
  {
    TUsoCliente api(CriarCliente(), *FUi->Barra);
    Legenda(*FUi->LabelVersaoAtual,
            QString::fromUtf8("Versão Atual: ") +
                QString::fromStdString(api->ConsultarData(kProdutoPublicado)));
    Legenda(*FUi->LabelSha1Atual,
            "Hash: " + QString::fromStdString(api->ConsultarHash(kProdutoPublicado)));
  }

  const auto caminho = plataforma::CaminhoNativo(kProdutoInstalado);
  std::error_code erro;
  if (!std::filesystem::is_regular_file(caminho, erro)) {
    FUi->CheckBoxSchemas->setChecked(true);
    FUi->RadioEmbarcado->setChecked(true);
    FUi->CheckBoxMercanta->setChecked(true);
    return;
  }

  FUi->btnInstalar->setText("Atualizar / Acrescentar");
  const QDateTime alterado = QFileInfo(QString::fromStdString(caminho.string())).lastModified();
  if (!alterado.isValid()) throw EFileNotFoundException("File not found");
  Legenda(*FUi->LabelVersaoInstalada,
          QString::fromUtf8("Versão Instalada: ") +
              QLocale().toString(alterado.date(), QLocale::ShortFormat));
  Legenda(*FUi->LabelSha1Instalado,
          "Hash: " + QString::fromStdString(ObjBase->HashArquivo(kProdutoInstalado)));

  if (FUi->LabelSha1Atual->text() != FUi->LabelSha1Instalado->text()) {
    FUi->LabelStatus->setText(QString::fromUtf8("Atualização Pendente"));
    CorDoTexto(*FUi->LabelStatus, kCorPendente);
    FUi->ImageFeitoApp->hide();
    FUi->CheckBoxMercanta->setChecked(true);
  } else {
    FUi->LabelStatus->setText("Sistema Atualizado!");
    CorDoTexto(*FUi->LabelStatus, kCorAtualizado);
    FUi->ImageFeitoApp->show();
    FUi->CheckBoxMercanta->setChecked(false);
  }
  FUi->CheckBoxSchemas->setChecked(false);
  FUi->RadioNenhum->setChecked(true);
}

void TFormAtualiza::btnInstalarClick() {}
