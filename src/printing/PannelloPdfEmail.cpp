#include "PannelloPdfEmail.h"

#include "FrmSceltaStam.h"
#include "PdfEmail.h"
#include "PreparaEmail.h"
#include "suite/ComponenteAiuto.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quarvel {

namespace {

const char* const Metodi[] = {"S", "C", "O", "E", ""};
const char* const NomiMetodi[] = {"Sendmail", "CDO", "Outlook", "See", "Non usato"};

bool Si(const QString& v) {
    return v.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
}

QString Nome(const char* tipo, int n) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(tipo)).arg(n);
}

} // namespace

// ---- the panel ------------------------------------------------------------------

template <typename T> T* PannelloPdfEmail::aggiungi(T* w, const QString& nome) {
    w->setObjectName(nome);
    m_controlli.insert(nome, w);
    return w;
}

PannelloPdfEmail::PannelloPdfEmail(FrmSceltaStam* dialogo) : QWidget(dialogo), m_dlg(dialogo) {
    setObjectName(QStringLiteral("PicPdfEmail"));
    m_controlli.insert(objectName(), this);
    setAutoFillBackground(true);
    // The panel covers the whole dialog; its controls stand in a framed box
    // at the top, as large as they need.
    auto* esterno = new QVBoxLayout(this);
    auto* scatola = aggiungi(new QFrame(this), QStringLiteral("PicPdfEmailRiquadro"));
    scatola->setFrameShape(QFrame::StyledPanel);
    esterno->addWidget(scatola, 0, Qt::AlignHCenter | Qt::AlignTop);
    esterno->addStretch(1);
    auto* principale = new QVBoxLayout(scatola);
    auto* titolo = new QLabel(QStringLiteral("Parametri per stampe pdf ed email"), this);
    QFont f = titolo->font();
    f.setBold(true);
    titolo->setFont(f);
    principale->addWidget(titolo);
    principale->addWidget(new QLabel(
        QStringLiteral("La casella a sinistra di ogni voce la sceglie per il salvataggio e la "
                       "cancellazione su file Ini"),
        this));
    costruisciDove(principale);
    costruisciVoci(principale);
    costruisciPulsanti(principale);
    hide();
}

// Where the options are saved and the sending configuration in use.
void PannelloPdfEmail::costruisciDove(QVBoxLayout* principale) {
    auto* alto = new QHBoxLayout;
    auto* dove = aggiungi(new QGroupBox(QStringLiteral("Dove salvare o cancellare"), this),
                          QStringLiteral("FraPEDove"));
    auto* ld = new QVBoxLayout(dove);
    auto* pers = aggiungi(new QRadioButton(QStringLiteral("Parametri di questo terminale"), dove),
                          Nome("OptPEDove", 0));
    auto* comuni =
        aggiungi(new QRadioButton(QStringLiteral("Parametri comuni a tutti i terminali"), dove),
                 Nome("OptPEDove", 1));
    pers->setChecked(true);
    ld->addWidget(pers);
    ld->addWidget(comuni);
    alto->addWidget(dove);
    auto* lt = new QVBoxLayout;
    lt->addWidget(new QLabel(QStringLiteral("Configurazione di invio attiva:"), this));
    auto* tipoNum = aggiungi(new QComboBox(this), QStringLiteral("CboEmailTipoNum"));
    tipoNum->addItems(
        {QStringLiteral("Unica"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    lt->addWidget(tipoNum);
    alto->addLayout(lt);
    alto->addStretch(1);
    principale->addLayout(alto);
    connect(tipoNum, &QComboBox::activated, this, [this](int) { MostraEmailTipoCor(); });
}

// The general items and, beside them, those of each of the three
// configurations.
void PannelloPdfEmail::costruisciVoci(QVBoxLayout* principale) {
    auto* centro = new QHBoxLayout;
    auto* globali = aggiungi(new QGroupBox(QStringLiteral("Parametri generali"), this),
                             QStringLiteral("FraPEGenerali"));
    auto* lg = new QVBoxLayout(globali);
    for (int v = 1; v <= NumVociPdfEmail; ++v)
        if (!IndInVet(v))
            lg->addWidget(riga(1, v, globali));
    lg->addStretch(1);
    centro->addWidget(globali);
    for (int conf = 1; conf <= 3; ++conf) {
        auto* fra = aggiungi(new QGroupBox(QStringLiteral("Configurazione %1").arg(conf), this),
                             Nome("FraPEConf", conf));
        auto* lc = new QVBoxLayout(fra);
        for (int v = 1; v <= NumVociPdfEmail; ++v)
            if (IndInVet(v))
                lc->addWidget(riga(conf, v, fra));
        lc->addStretch(1);
        centro->addWidget(fra, 1);
    }
    principale->addLayout(centro);
}

void PannelloPdfEmail::costruisciPulsanti(QVBoxLayout* principale) {
    auto* pulsanti = new QHBoxLayout;
    const std::pair<const char*, const char*> tasti[] = {
        {"ComPEOk", "&Ok"},
        {"ComPESalva", "&Salva su file Ini"},
        {"ComPECanc", "&Cancella su file Ini"},
        {"ComPERileggi", "&Rileggi da file Ini"},
        {"ComPeDatiCor", "Ri&leggi dati correnti"},
        {"ComPESel", "Seleziona tutto"},
        {"ComPEDesel", "Deseleziona tutto"},
        {"ComPEAnnulla", "&Annulla"},
    };
    for (const auto& [nome, testo] : tasti) {
        auto* b = aggiungi(new QPushButton(QString::fromUtf8(testo), this), QLatin1String(nome));
        b->setAutoDefault(false);
        pulsanti->addWidget(b);
    }
    principale->addLayout(pulsanti);
    connect(c<QPushButton>(QStringLiteral("ComPEOk")), &QPushButton::clicked, this,
            &PannelloPdfEmail::ComPEOk_Click);
    connect(c<QPushButton>(QStringLiteral("ComPESalva")), &QPushButton::clicked, this,
            &PannelloPdfEmail::ComPESalva_Click);
    connect(c<QPushButton>(QStringLiteral("ComPECanc")), &QPushButton::clicked, this,
            &PannelloPdfEmail::ComPECanc_Click);
    connect(c<QPushButton>(QStringLiteral("ComPERileggi")), &QPushButton::clicked, this,
            &PannelloPdfEmail::ComPERileggi_Click);
    connect(c<QPushButton>(QStringLiteral("ComPeDatiCor")), &QPushButton::clicked, this,
            &PannelloPdfEmail::MostraIniPE);
    connect(c<QPushButton>(QStringLiteral("ComPESel")), &QPushButton::clicked, this,
            [this] { PESelDeselSalOpz(true); });
    connect(c<QPushButton>(QStringLiteral("ComPEDesel")), &QPushButton::clicked, this,
            [this] { PESelDeselSalOpz(false); });
    connect(c<QPushButton>(QStringLiteral("ComPEAnnulla")), &QPushButton::clicked, this,
            &PannelloPdfEmail::ComPEAnnulla_Click);
}

QWidget* PannelloPdfEmail::riga(int conf, int v, QWidget* genitore) {
    const VocePdfEmail& voce = VocePE(v);
    const int n = conf * 100 + v;
    auto* w = new QWidget(genitore);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    auto* salva = aggiungi(new QCheckBox(w), Nome("ChePdfEmailSalva", (conf - 1) * 22 + v));
    salva->setToolTip(QStringLiteral("Da salvare o cancellare nel file ini"));
    l->addWidget(salva);
    const QString didascalia = QString::fromUtf8(voce.didascalia);
    switch (voce.tipo) {
    case VocePdfEmail::Spunta:
        l->addWidget(aggiungi(new QCheckBox(didascalia, w), Nome("ChePE", n)), 1);
        break;
    case VocePdfEmail::Metodo: {
        l->addWidget(new QLabel(didascalia + QLatin1Char(':'), w));
        for (int k = 0; k < 5; ++k) {
            if (k == 4 && conf == 1)
                continue; // the first configuration is always in use
            l->addWidget(aggiungi(new QRadioButton(QLatin1String(NomiMetodi[k]), w),
                                  Nome("OptPETipo", conf * 100 + k)));
        }
        l->addStretch(1);
        break;
    }
    case VocePdfEmail::Testo:
    case VocePdfEmail::Password:
        rigaTesto(l, w, conf, v);
        break;
    }
    return w;
}

// A text item: its caption, its box and, for a file or a folder, the button
// that looks for it.
void PannelloPdfEmail::rigaTesto(QHBoxLayout* l, QWidget* w, int conf, int v) {
    const VocePdfEmail& voce = VocePE(v);
    const int n = conf * 100 + v;
    const QString didascalia = QString::fromUtf8(voce.didascalia);
    auto* lab = new QLabel(didascalia + QLatin1Char(':'), w);
    lab->setMinimumWidth(
        lab->fontMetrics().horizontalAdvance(QStringLiteral("Descriz. email di invio(centro): ")));
    l->addWidget(lab);
    if (v == 7) {
        auto* num = aggiungi(new QComboBox(w), QStringLiteral("CboEmailToNum"));
        num->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        connect(num, &QComboBox::activated, this, [this](int i) {
            m_to[m_toCor - 1] = c<QLineEdit>(Nome("TxtPE", 107))->text();
            m_toCor = i + 1;
            MostraEmailToCor();
        });
        l->addWidget(num);
    }
    auto* txt = aggiungi(new QLineEdit(w), Nome("TxtPE", n));
    if (voce.tipo == VocePdfEmail::Password)
        txt->setEchoMode(QLineEdit::Password);
    if (v == 17)
        txt->setValidator(new QIntValidator(1, 5, txt));
    if (v == 19)
        txt->setValidator(new QIntValidator(1, 65535, txt));
    if (v == 21) {
        txt->setToolTip(QStringLiteral("Non più necessaria: l'invio con SSL è fatto "
                                       "direttamente dal programma"));
        txt->setPlaceholderText(QStringLiteral("non più necessaria"));
    }
    if (v == 7 || v == 22) {
        txt->setToolTip(QStringLiteral("F2-F5: indirizzi email dei clienti"));
        txt->installEventFilter(this);
    }
    l->addWidget(txt, 1);
    if (v == 3 || v == 13 || v == 21)
        aggiungiCerca(l, w, n, v, txt);
}

void PannelloPdfEmail::aggiungiCerca(QHBoxLayout* l, QWidget* w, int n, int v, QLineEdit* txt) {
    auto* cerca = aggiungi(new QPushButton(QStringLiteral("Cerca"), w), Nome("ComCerca", n));
    cerca->setAutoDefault(false);
    connect(cerca, &QPushButton::clicked, this, [this, v, txt] {
        QString scelto;
        if (v == 21)
            scelto = Utilita().ScegliCartella(QStringLiteral("Directory per stunnel"), txt->text());
        else if (v == 3)
            scelto = QFileDialog::getSaveFileName(this, QStringLiteral("Nome del file per pdf"),
                                                  txt->text(), QStringLiteral("Pdf (*.pdf)"));
        else
            scelto = QFileDialog::getSaveFileName(this, QStringLiteral("Nome del file per log"),
                                                  txt->text(), QStringLiteral("Testo (*.txt)"));
        if (!scelto.isEmpty())
            txt->setText(scelto);
    });
    l->addWidget(cerca);
}

IMenuClient* PannelloPdfEmail::menu() const {
    return Sessione().MenuClient;
}

int PannelloPdfEmail::configurazioneAttiva() const {
    const int n = c<QComboBox>(QStringLiteral("CboEmailTipoNum"))->currentIndex();
    return n >= 1 && n <= 3 ? n : 1;
}

bool PannelloPdfEmail::multiple() const {
    return c<QComboBox>(QStringLiteral("CboEmailTipoNum"))->currentIndex() >= 1;
}

QString PannelloPdfEmail::chiave(int conf, int v) const {
    // the first configuration of a single one has the bare keys, the other
    // two keep theirs
    return ChiaveVocePE(v, conf, multiple() || conf > 1);
}

QString PannelloPdfEmail::valore(int conf, int v) const {
    const int n = conf * 100 + v;
    switch (VocePE(v).tipo) {
    case VocePdfEmail::Spunta:
        return c<QCheckBox>(Nome("ChePE", n))->isChecked() ? QStringLiteral("S")
                                                           : QStringLiteral("N");
    case VocePdfEmail::Metodo:
        for (int k = 0; k < 5; ++k)
            if (auto* o = c<QRadioButton>(Nome("OptPETipo", conf * 100 + k)); o && o->isChecked())
                return QLatin1String(Metodi[k]);
        return {};
    default:
        return c<QLineEdit>(Nome("TxtPE", n))->text();
    }
}

void PannelloPdfEmail::imposta(int conf, int v, const QString& testo) {
    const int n = conf * 100 + v;
    switch (VocePE(v).tipo) {
    case VocePdfEmail::Spunta:
        c<QCheckBox>(Nome("ChePE", n))->setChecked(Si(testo));
        break;
    case VocePdfEmail::Metodo:
        for (int k = 0; k < 5; ++k)
            if (auto* o = c<QRadioButton>(Nome("OptPETipo", conf * 100 + k))) {
                o->setAutoExclusive(false);
                o->setChecked(
                    testo.trimmed().compare(QLatin1String(Metodi[k]), Qt::CaseInsensitive) == 0);
                o->setAutoExclusive(true);
            }
        break;
    default:
        c<QLineEdit>(Nome("TxtPE", n))->setText(testo);
    }
}

void PannelloPdfEmail::MostraIniPE() {
    IMenuClient* m = menu();
    if (!m)
        return;
    const auto leggi = [m](const QString& k) { return m->LeggiValore(k, QString()); };
    const int tipoNum = leggi(QStringLiteral("EmailTipoNum")).trimmed().toInt();
    c<QComboBox>(QStringLiteral("CboEmailTipoNum"))
        ->setCurrentIndex(tipoNum >= 1 && tipoNum <= 3 ? tipoNum : 0);
    for (int i = 0; i < 3; ++i)
        m_to[i] = leggi(QStringLiteral("EmailTo%1").arg(i + 1));
    const int toNum = leggi(QStringLiteral("EmailToNum")).trimmed().toInt();
    m_toCor = toNum >= 1 && toNum <= 3 ? toNum : 1;
    for (int conf = 1; conf <= 3; ++conf)
        for (int v = 1; v <= NumVociPdfEmail; ++v) {
            if (v == 7 || (conf > 1 && !IndInVet(v)))
                continue;
            imposta(conf, v, leggi(chiave(conf, v)));
        }
    MostraEmailToCor();
    MostraEmailTipoCor();
}

void PannelloPdfEmail::AggIniPE() {
    IMenuClient* m = menu();
    if (!m)
        return;
    m_to[m_toCor - 1] = c<QLineEdit>(Nome("TxtPE", 107))->text();
    const int tipoNum = c<QComboBox>(QStringLiteral("CboEmailTipoNum"))->currentIndex();
    m->ScriviValore(QStringLiteral("EmailTipoNum"), QString::number(tipoNum));
    m->ScriviValore(QStringLiteral("EmailToNum"), QString::number(m_toCor));
    for (int i = 0; i < 3; ++i)
        m->ScriviValore(QStringLiteral("EmailTo%1").arg(i + 1), m_to[i]);
    for (int conf = 1; conf <= 3; ++conf)
        for (int v = 1; v <= NumVociPdfEmail; ++v) {
            if (v == 7 || (conf > 1 && !IndInVet(v)))
                continue;
            m->ScriviValore(chiave(conf, v), valore(conf, v));
        }
    // the temporary recipient goes with the print being mailed
    if (m_dlg->oiRichDatiEmail == 1000 && m_dlg->ogOpzSta())
        m_dlg->ogOpzSta()->setValore(QStringLiteral("EmailToTemp"), valore(1, 22));
}

QString PannelloPdfEmail::SalvaCancIniPE() const {
    return CodiceSelezionePE(
        c<QRadioButton>(Nome("OptPEDove", 1))->isChecked(), [this](int conf, int v) {
            auto* che = c<QCheckBox>(Nome("ChePdfEmailSalva", (conf - 1) * 22 + v));
            return che && che->isChecked();
        });
}

bool PannelloPdfEmail::CtrlTxtValidi() {
    if (QWidget* errato = Utilita().ControllaCampi(this)) {
        MsgBox(QStringLiteral("ci sono dei dati non validi"), vbExclamation);
        errato->setFocus();
        return false;
    }
    for (int conf = 1; conf <= 3; ++conf) {
        const QString errore = ControlloSsl(valore(conf, 6), Si(valore(conf, 20)));
        if (!errore.isEmpty()) {
            if (multiple() || conf == 1) {
                c<QComboBox>(QStringLiteral("CboEmailTipoNum"))
                    ->setCurrentIndex(multiple() ? conf : 0);
                MostraEmailTipoCor();
            }
            MsgBox(errore, vbExclamation);
            c<QWidget>(Nome(errore.contains(QLatin1String("'See'")) ? "ChePE" : "TxtPE",
                            conf * 100 + (errore.contains(QLatin1String("'See'")) ? 20 : 21)))
                ->setFocus();
            return false;
        }
    }
    return true;
}

void PannelloPdfEmail::MostraEmailToCor() {
    c<QComboBox>(QStringLiteral("CboEmailToNum"))->setCurrentIndex(m_toCor - 1);
    c<QLineEdit>(Nome("TxtPE", 107))->setText(m_to[m_toCor - 1]);
}

void PannelloPdfEmail::MostraEmailTipoCor() {
    const int attiva = configurazioneAttiva();
    for (int conf = 1; conf <= 3; ++conf)
        controllo(Nome("FraPEConf", conf))->setVisible(conf == attiva);
}

void PannelloPdfEmail::PESelDeselSalOpz(bool spunta) {
    for (int n = 1; n <= 66; ++n)
        if (auto* che = c<QCheckBox>(Nome("ChePdfEmailSalva", n)))
            che->setChecked(spunta);
}

void PannelloPdfEmail::chiudiPannello() {
    hide();
}

void PannelloPdfEmail::ComPEOk_Click() {
    if (!CtrlTxtValidi())
        return;
    AggIniPE();
    if (m_dlg->oiRichDatiEmail != 1000) {
        chiudiPannello();
        return;
    }
    const int conf = configurazioneAttiva();
    const bool completi =
        !valore(conf, 14).trimmed().isEmpty() && !valore(conf, 15).trimmed().isEmpty() &&
        !valore(conf, 11).trimmed().isEmpty() &&
        (!m_to[m_toCor - 1].trimmed().isEmpty() || !valore(1, 22).trimmed().isEmpty());
    if (!completi) {
        msgCom(QStringLiteral("mancano dati obbligatori per l'invio dell'email"),
               QStringLiteral("&Ok"));
        return;
    }
    m_dlg->hide();
}

void PannelloPdfEmail::ComPEAnnulla_Click() {
    if (m_dlg->oiRichDatiEmail == 1000) {
        if (msgCom(QStringLiteral("Confermi annullamento invio email"), QStringLiteral("&Sì"),
                   QStringLiteral("&No")) == 1) {
            m_dlg->oiRichDatiEmail = 200;
            m_dlg->hide();
        }
        return;
    }
    if (msgCom(QStringLiteral("Confermi uscita senza salvataggio"), QStringLiteral("&Sì"),
               QStringLiteral("&No")) == 1)
        chiudiPannello();
}

void PannelloPdfEmail::ComPESalva_Click() {
    if (!CtrlTxtValidi())
        return;
    AggIniPE();
    if (IMenuClient* m = menu())
        m->ScriviValore(QStringLiteral("ScriviIniComuni"),
                        QLatin1Char('V') + SalvaCancIniPE() + QLatin1Char('+'));
    if (m_dlg->oiRichDatiEmail != 1000)
        chiudiPannello();
}

void PannelloPdfEmail::ComPECanc_Click() {
    if (IMenuClient* m = menu()) {
        m->ScriviValore(QStringLiteral("ScriviIniComuni"),
                        QLatin1Char('V') + SalvaCancIniPE() + QLatin1Char('-'));
        m->ScriviValore(QStringLiteral("LeggiIniComuni"), QStringLiteral("1"));
    }
    if (m_dlg->oiRichDatiEmail != 1000)
        chiudiPannello();
}

void PannelloPdfEmail::ComPERileggi_Click() {
    if (IMenuClient* m = menu())
        m->ScriviValore(QStringLiteral("LeggiIniComuni"), QStringLiteral("1"));
    MostraIniPE();
}

void PannelloPdfEmail::CercaEmailCliente(QLineEdit* campo, int tasto) {
    IComponenteAiuto* aiuto = Sessione().ComponenteAiuto;
    IMenuClient* m = menu();
    if (!aiuto || !m || !campo)
        return;
    const ColonneEmailClienti colonne = ColonneEmailCliente(*m);
    QLineEdit codice;
    QLabel descrizione;
    bool trovato = false;
    int chiave = tasto;
    aiuto->Aiuto(
        QStringLiteral("Conto"), &codice, &descrizione, chiave, m_dlg, std::nullopt, trovato, 0,
        QStringLiteral("Conto,Descrizione,") + colonne.colonne.join(QLatin1Char(',')), QString());
    if (!trovato || !aiuto->FormAiuto())
        return;
    const QVariant email = aiuto->FormAiuto()->RetVal(colonne.prima);
    if (!email.isNull() && !email.toString().trimmed().isEmpty())
        campo->setText(email.toString().trimmed());
}

bool PannelloPdfEmail::eventFilter(QObject* oggetto, QEvent* evento) {
    if (evento->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(evento);
        if (k->key() >= Qt::Key_F2 && k->key() <= Qt::Key_F5 &&
            (k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
            CercaEmailCliente(qobject_cast<QLineEdit*>(oggetto), 113 + (k->key() - Qt::Key_F2));
            return true;
        }
    }
    return QWidget::eventFilter(oggetto, evento);
}

// ---- the dialog's PDF and e-mail switches ----------------------------------------

void FrmSceltaStam::costruisciPdfEmail(QBoxLayout* layout) {
    const auto aggiungi = [this](auto* w, const QString& nome) {
        w->setObjectName(nome);
        m_controlli.insert(nome, w);
        return w;
    };
    auto* riga = new QHBoxLayout;
    auto* pdf = aggiungi(new QCheckBox(QStringLiteral("Nome file Pdf autom."), this),
                         QStringLiteral("ChePdfAutom"));
    auto* email = aggiungi(new QCheckBox(QStringLiteral("Invia per Email"), this),
                           QStringLiteral("CheInviaEmail"));
    auto* par = aggiungi(new QPushButton(QStringLiteral("Par ini Pdf/Email"), this),
                         QStringLiteral("ComParIniPE"));
    par->setAutoDefault(false);
    riga->addWidget(pdf);
    riga->addWidget(email);
    riga->addStretch(1);
    riga->addWidget(par);
    layout->addLayout(riga);
    connect(pdf, &QCheckBox::clicked, this, &FrmSceltaStam::ChePdfAutom_Click);
    connect(email, &QCheckBox::clicked, this, &FrmSceltaStam::CheInviaEmail_Click);
    connect(par, &QPushButton::clicked, this, &FrmSceltaStam::ComParIniPE_Click);
    m_pannello = new PannelloPdfEmail(this);

    // Visibility at load: both unticked; hidden without a PDF printer, and
    // "Invia per Email" hidden unless the e-mail request is enabled.
    pdf->setChecked(false);
    email->setChecked(false);
    IMenuClient* menu = Sessione().MenuClient;
    const bool conPdf = menu && !StampantePdf(*menu).isEmpty();
    pdf->setVisible(conPdf);
    email->setVisible(conPdf && Si(menu->LeggiValore(QStringLiteral("StampeEmail"), QString())));
}

void FrmSceltaStam::attivaPdfEmail() {
    if (!m_opz)
        return;
    auto* pdf = c<QCheckBox>(QStringLiteral("ChePdfAutom"));
    auto* email = c<QCheckBox>(QStringLiteral("CheInviaEmail"));
    m_sospesi = true;
    const bool automatico =
        !pdf->isHidden() && m_opz->Valore(QStringLiteral("PdfAutomAbil")).toBool();
    pdf->setChecked(automatico);
    email->setEnabled(automatico);
    email->setChecked(!email->isHidden() && m_opz->Valore(QStringLiteral("EmailInvia")).toBool());
    m_sospesi = false;
}

void FrmSceltaStam::ChePdfAutom_Click() {
    if (m_sospesi || !m_opz)
        return;
    const bool spuntato = c<QCheckBox>(QStringLiteral("ChePdfAutom"))->isChecked();
    // the print component writes the PDF when this is set
    m_opz->setValore(QStringLiteral("PdfAutomAbil"), spuntato);
    if (!spuntato) {
        auto* email = c<QCheckBox>(QStringLiteral("CheInviaEmail"));
        m_sospesi = true;
        email->setChecked(false);
        m_sospesi = false;
        email->setEnabled(false);
        m_opz->setValore(QStringLiteral("EmailInvia"), false);
    }
    ImpostaPdfAutom();
}

void FrmSceltaStam::CheInviaEmail_Click() {
    if (m_sospesi || !m_opz)
        return;
    m_opz->setValore(QStringLiteral("EmailInvia"),
                     c<QCheckBox>(QStringLiteral("CheInviaEmail"))->isChecked());
}

void FrmSceltaStam::ImpostaPdfAutom() {
    IMenuClient* menu = Sessione().MenuClient;
    if (!m_opz || !menu)
        return;
    const bool spuntato = c<QCheckBox>(QStringLiteral("ChePdfAutom"))->isChecked();
    const QString stampante = StampantePdf(*menu);
    if (!stampante.isEmpty() && ImpostaStampantePdf(stampante, *m_opz, !spuntato)) {
        ImpostaCboCassetti();
        ImpostaCboTipoCarta();
        VisStaAttuale();
    }
    if (!spuntato)
        return;
    c<QCheckBox>(QStringLiteral("CheInviaEmail"))->setEnabled(true);
    const auto par = [menu](const char* k) {
        return menu->LeggiValore(QLatin1String(k), QString());
    };
    m_opz->setValore(QStringLiteral("PdfNomeFile"), par("PdfNomeFile"));
    const ContestoSessione& s = Sessione();
    m_opz->setValore(QStringLiteral("PdfAutomImpPar"),
                     QVariantList{s.FileIniPrincipale, s.FileIniParametri, par("UsaPdfCreator"),
                                  par("CreatorAutosaveStart"), par("UsaPdf995")});
}

void FrmSceltaStam::stampanteSceltaAMano() {
    // a printer chosen by hand ends the automatic PDF
    auto* pdf = c<QCheckBox>(QStringLiteral("ChePdfAutom"));
    IMenuClient* menu = Sessione().MenuClient;
    if (!m_opz || !menu || !pdf->isChecked())
        return;
    const QString stampante = StampantePdf(*menu);
    bool installata = false;
    for (const CodaStampa& q : Stampanti().Code())
        installata = installata || q.nome.compare(stampante, Qt::CaseInsensitive) == 0;
    if (stampante.isEmpty() || !installata)
        return;
    m_sospesi = true;
    pdf->setChecked(false);
    c<QCheckBox>(QStringLiteral("CheInviaEmail"))->setChecked(false);
    m_opz->setValore(QStringLiteral("PdfAutomAbil"), false);
    m_opz->setValore(QStringLiteral("EmailInvia"), false);
    m_sospesi = false;
}

void FrmSceltaStam::ComParIniPE_Click() {
    PannelloPdfEmail* p = m_pannello;
    p->PESelDeselSalOpz(true);
    p->MostraIniPE();
    const QSize serve = p->sizeHint();
    if (width() < serve.width() || height() < serve.height())
        resize(std::max(width(), serve.width()), std::max(height(), serve.height()));
    p->setGeometry(rect());
    p->raise();
    p->show();
}

bool FrmSceltaStam::RichDatiEmail() {
    ComParIniPE_Click();
    msgCom(QStringLiteral("Login o password non valida per spedizione email"),
           QStringLiteral("&Ok"));
    exec();
    const bool ok = oiRichDatiEmail != 200;
    oiRichDatiEmail = 0;
    return ok;
}

} // namespace quarvel
