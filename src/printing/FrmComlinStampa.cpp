#include "FrmComlinStampa.h"

#include "FrmSceltaStam.h"
#include "FrmStampaInCorso.h"
#include "FrmVStampa.h"
#include "SceltaStampante.h"
#include "desktop/ServiziSistema.h"
#include "suite/Errore.h"
#include "suite/FormDati.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/StampaAttiva.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace quarvel {

namespace {
const QString CrLf = QStringLiteral("\r\n");

// The target a print takes when no printer is set up, chosen by the
// operator; the options' own target comes back when the print is over.
class DestinazioneSostitutiva {
public:
    explicit DestinazioneSostitutiva(IOpzioniStampa& o)
        : m_o(o), m_staVid(o.oiStaVid), m_fileForm(o.oiFileForm), m_fileName(o.osFileName),
          m_pdf(o.Valore(QStringLiteral("PdfAutomAbil"))),
          m_email(o.Valore(QStringLiteral("EmailInvia"))),
          m_pdfNome(o.Valore(QStringLiteral("PdfNomeFile"))) {}
    ~DestinazioneSostitutiva() {
        if (!m_scelta)
            return;
        m_o.oiStaVid = m_staVid;
        m_o.oiFileForm = m_fileForm;
        m_o.osFileName = m_fileName;
        m_o.setValore(QStringLiteral("PdfAutomAbil"), m_pdf);
        m_o.setValore(QStringLiteral("EmailInvia"), m_email);
        m_o.setValore(QStringLiteral("PdfNomeFile"), m_pdfNome);
    }
    DestinazioneSostitutiva(const DestinazioneSostitutiva&) = delete;
    DestinazioneSostitutiva& operator=(const DestinazioneSostitutiva&) = delete;

    // Asks; false when the operator gives the print up.
    bool Scegli() const {
        RichiestaMsgCom r;
        r.psLabel = QStringLiteral("Nessuna stampante predefinita: la stampa non può andare su "
                                   "carta.") +
                    CrLf +
                    QStringLiteral("Si può vederla a video oppure scriverla in un file nella "
                                   "cartella dei documenti.");
        r.psCom1 = QStringLiteral("A &video");
        r.pvCom2 = QStringLiteral("In un &file");
        r.pvCom3 = QStringLiteral("&Annulla");
        r.pvTitolo = QStringLiteral("Stampa");
        r.piComInvio = 1;
        r.piComEsc = 3;
        const int dove = msgCom(r);
        if (dove == 1) {
            m_scelta = true;
            m_o.oiStaVid = DestStampa::Video;
            return true;
        }
        if (dove != 2)
            return false;
        RichiestaMsgCom f;
        f.psLabel = QStringLiteral("In quale file scrivere la stampa?");
        f.psCom1 = QStringLiteral("File &pdf");
        f.pvCom2 = QStringLiteral("Foglio di lavoro (&xlsx)");
        f.pvCom3 = QStringLiteral("&Annulla");
        f.pvTitolo = QStringLiteral("Stampa");
        f.piComInvio = 1;
        f.piComEsc = 3;
        const int file = msgCom(f);
        if (file == 1) {
            m_scelta = true;
            // the PDF's own naming: "<Title>_<DateTime>.pdf" in the documents folder
            m_o.setValore(QStringLiteral("PdfAutomAbil"), true);
            m_o.setValore(QStringLiteral("EmailInvia"), false);
            m_o.setValore(QStringLiteral("PdfNomeFile"), QString());
            return true;
        }
        if (file != 2)
            return false;
        m_scelta = true;
        QString cartella = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (cartella.isEmpty() || !QDir().mkpath(cartella))
            cartella = QDir::homePath();
        m_o.oiStaVid = DestStampa::File;
        m_o.oiFileForm = FormatoFile::Excel;
        const QString base = QDir(cartella).filePath(
            QStringLiteral("Stampa_") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")));
        m_o.osFileName = base + QStringLiteral(".xlsx");
        for (int n = 2; QFileInfo::exists(m_o.osFileName); ++n)
            m_o.osFileName = base + QStringLiteral(" (%1).xlsx").arg(n);
        return true;
    }

private:
    IOpzioniStampa& m_o;
    qint16 m_staVid;
    qint16 m_fileForm;
    QString m_fileName;
    QVariant m_pdf, m_email, m_pdfNome;
    mutable bool m_scelta = false;
};

QFont FontIniziale() {
    QFont f(QStringLiteral("Arial"), 10);
    f.setBold(false);
    f.setItalic(false);
    f.setUnderline(false);
    return f;
}
} // namespace

QString FrmComlinStampa::Sezione() {
    return QStringLiteral("Stampa Lista");
}

FrmComlinStampa::FrmComlinStampa(QWidget* genitore) : QDialog(genitore), m_font(FontIniziale()) {
    setObjectName(QStringLiteral("FrmComlinStampa"));
    setWindowTitle(QStringLiteral("Stampa dati della lista"));
    setProperty("HelpContextID", 88);
    auto* g = new QGridLayout(this);

    m_fraTipSta = new QGroupBox(QStringLiteral("Stampa "), this);
    m_fraTipSta->setObjectName(QStringLiteral("FraTipSta"));
    auto* lt = new QVBoxLayout(m_fraTipSta);
    const char* tipi[] = {"Solo le colonne visibili", "Tutte le colonne "};
    for (int i = 0; i < 2; ++i) {
        m_optTipsta[i] = new QRadioButton(QString::fromUtf8(tipi[i]), m_fraTipSta);
        m_optTipsta[i]->setObjectName(QStringLiteral("OptTipsta(%1)").arg(i));
        lt->addWidget(m_optTipsta[i]);
    }
    m_optTipsta[1]->setChecked(true);

    m_fraOrient = new QGroupBox(QStringLiteral("Orientamento"), this);
    m_fraOrient->setObjectName(QStringLiteral("fraOrientamento"));
    auto* lo = new QVBoxLayout(m_fraOrient);
    const char* orient[] = {"Orizzontale", "Verticale"};
    for (int i = 0; i < 2; ++i) {
        m_optOrient[i] = new QRadioButton(QString::fromUtf8(orient[i]), m_fraOrient);
        m_optOrient[i]->setObjectName(QStringLiteral("OptOrientamento(%1)").arg(i));
        lo->addWidget(m_optOrient[i]);
    }
    m_optOrient[1]->setChecked(true);

    auto pulsante = [this](const char* nome, const char* testo) {
        auto* b = new QPushButton(QString::fromUtf8(testo), this);
        b->setObjectName(QString::fromLatin1(nome));
        // Enter presses the button with the focus, else "&STAMPA"
        b->setAutoDefault(true);
        return b;
    };
    auto* cmdSceFont = pulsante("CmdSceFont", "Scegli Font");
    auto* comUsaDef = pulsante("ComUsaDef", "Stampante predefinita");
    auto* comSceStam = pulsante("comSceStam", "Seleziona Stampante");
    m_cmdStampa = pulsante("CmdStampa", "&STAMPA");
    m_cmdStampa->setDefault(true);
    auto* cmdEsci = pulsante("CmdEsci", "&ESCI");
    m_labStaAttuale = new QLabel(QStringLiteral("Stampante attuale:"), this);
    m_labStaAttuale->setObjectName(QStringLiteral("LabStaAttuale"));
    m_labStaAttuale->setWordWrap(true);

    g->addWidget(m_fraTipSta, 0, 0);
    g->addWidget(m_fraOrient, 0, 1);
    g->addWidget(cmdSceFont, 1, 0);
    g->addWidget(comUsaDef, 1, 1);
    g->addWidget(comSceStam, 2, 0, 1, 2);
    g->addWidget(m_labStaAttuale, 3, 0, 1, 2);
    g->addWidget(m_cmdStampa, 4, 0);
    g->addWidget(cmdEsci, 4, 1);

    connect(cmdSceFont, &QPushButton::clicked, this, &FrmComlinStampa::CmdSceFont_Click);
    connect(comUsaDef, &QPushButton::clicked, this, &FrmComlinStampa::ComUsaDef_Click);
    connect(comSceStam, &QPushButton::clicked, this, &FrmComlinStampa::comSceStam_Click);
    connect(m_cmdStampa, &QPushButton::clicked, this, &FrmComlinStampa::CmdStampa_Click);
    connect(cmdEsci, &QPushButton::clicked, this, &QDialog::close);
    VisStaAttuale();
}

FrmComlinStampa::~FrmComlinStampa() = default;

IOpzioniStampa& FrmComlinStampa::mgOpzSta() {
    if (!m_opz)
        m_opz = CreaOpzioniStampa(Sezione());
    return *m_opz;
}

void FrmComlinStampa::VisStaAttuale() {
    try {
        m_labStaAttuale->setText(mgOpzSta().DescrStampante(StampanteCorrente()));
    } catch (const Errore&) {
        // no print component: the label keeps its caption
    }
}

void FrmComlinStampa::closeEvent(QCloseEvent* e) {
    // The next print starts afresh: Arial 10, every column, portrait, new
    // options.  The list-command objects keep their reference to the dialog.
    m_comlin = nullptr;
    m_font = FontIniziale();
    m_opz.reset();
    m_optTipsta[1]->setChecked(true);
    m_optOrient[1]->setChecked(true);
    QDialog::closeEvent(e);
}

void FrmComlinStampa::keyPressEvent(QKeyEvent* e) {
    if (TastoAiuto(e, this)) // F1: the help of the print windows
        return;
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(e);
}

void FrmComlinStampa::CmdStampa_Click() {
    if (StampaAttiva() == 1) {
        MsgBox(QStringLiteral("Si può lanciare solo una stampa alla volta"));
        return;
    }
    if (!m_comlin)
        return;
    IOpzioniStampa& opz = mgOpzSta();
    if (IStampa* sta = m_comlin->ogSta()) {
        sta->setOfrmVStampa(opz.oiStaVid == DestStampa::Video ? FinestraVStampa() : nullptr);
        sta->setOfrmStampaInCorso(dynamic_cast<IStampaInCorso*>(FinestraStampaInCorso()));
        sta->setOgPrtStam(StampanteCorrente());
        sta->setOgOpzSta(&opz);
    }
    qint16 orientamento = -1;
    if (m_optOrient[0]->isChecked())
        orientamento = 2;
    if (m_optOrient[1]->isChecked())
        orientamento = 1;
    QString colonne;
    if (m_optTipsta[0]->isChecked())
        colonne = QStringLiteral("V");
    if (m_optTipsta[1]->isChecked())
        colonne = QStringLiteral("T");
    if (orientamento == -1 && m_fraOrient->isEnabled()) {
        MsgBox(QStringLiteral("Scegliere un' orientamento"));
        m_optOrient[0]->setFocus();
        return;
    }
    if (colonne.isEmpty() && m_fraTipSta->isEnabled()) {
        MsgBox(QStringLiteral("Scegliere un tipo di stampa"));
        m_optTipsta[0]->setFocus();
        return;
    }
    if (opz.oiStaVid == DestStampa::Stampante && !ImpostaStampanteOpz(opz, false)) {
        msgCom(QStringLiteral("Impossibile impostare la stampante predefinita") + CrLf +
                   QStringLiteral("per stampare su ") + opz.osNomeStampante +
                   QStringLiteral(" uscire dal programma e rientrare") + CrLf +
                   QStringLiteral("Oppure scegliere un'altra stampante"),
               QStringLiteral("&Ok"));
        return;
    }
    if (opz.oiStaVid == DestStampa::Stampante && opz.osNomeStampante.isEmpty())
        if (IStampa* sta = m_comlin->ogSta())
            sta->setOgPrtStam(StampanteCorrente());
    // No printer at all: the print goes, for this once, where the operator
    // says instead (the screen, a PDF or a workbook in the documents
    // folder), or nowhere; the options are as they were afterwards.
    const DestinazioneSostitutiva sostituta(opz);
    if (opz.oiStaVid == DestStampa::Stampante &&
        !opz.Valore(QStringLiteral("PdfAutomAbil")).toBool() && opz.osNomeStampante.isEmpty() &&
        StampanteCorrente().isEmpty()) {
        if (!sostituta.Scegli())
            return;
        if (opz.oiStaVid == DestStampa::Video)
            if (IStampa* sta = m_comlin->ogSta())
                sta->setOfrmVStampa(FinestraVStampa());
    }
    QFont font = m_font;
    m_comlin->AvviaStampa(colonne, orientamento, font);
    m_font = font;
    m_comlin = nullptr;
}

void FrmComlinStampa::CmdSceFont_Click() {
    bool ok = false;
    const QFont scelto = QFontDialog::getFont(&ok, FontIniziale(), this,
                                              QStringLiteral("Scegliere il font per la stampa"));
    if (ok)
        m_font = scelto;
}

void FrmComlinStampa::comSceStam_Click() {
    IOpzioniStampa& opz = mgOpzSta();
    opz.obStaSuDisab[DestStampa::Fissa] = true; // a list print never goes to fixed length
    FrmSceltaStam dialogo(this);
    dialogo.setOgOpzSta(&opz);
    if (dialogo.VisDecodOk())
        dialogo.exec();
    VisStaAttuale();
}

void FrmComlinStampa::ComUsaDef_Click() {
    QString nome, mancante, porta;
    if (StampanteCambiata() == 1)
        RipristinaStampanteDefault(nome, mancante, porta);
    else
        LeggiStampanteDefault(nome, mancante, porta);
    IOpzioniStampa& opz = mgOpzSta();
    if (!nome.isEmpty() || StampanteCambiata() != 1) {
        opz.osNomeStampante.clear();
        opz.osNomePorta = porta;
        VisStaAttuale();
        return;
    }
    AvvisoStampanteDefNonDisp(QStringLiteral("NomeStampante"), mancante, opz.osSezione());
}

void InstallaFinestreStampa() {
    static QPointer<FrmComlinStampa> comlinStampa;
    static QPointer<FrmStampaInCorso> inCorso;
    RegistraFinestreStampa(
        [] {
            if (!comlinStampa)
                comlinStampa = new FrmComlinStampa;
            return static_cast<QWidget*>(comlinStampa.data());
        },
        [] {
            if (!inCorso)
                inCorso = new FrmStampaInCorso;
            return static_cast<QWidget*>(inCorso.data());
        });
}

} // namespace quarvel
