#include "Stampa.h"

#include "Cups.h"
#include "Email.h"
#include "OpzioniStampa.h"
#include "Pdf.h"
#include "ScritturaFile.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>

namespace quarvel::stampa {

namespace {

// The print flag set for the time of one print.
class FlagStampa {
public:
    FlagStampa() { ImpostaStampaAttiva(1); }
    ~FlagStampa() { ImpostaStampaAttiva(0); }
    FlagStampa(const FlagStampa&) = delete;
    FlagStampa& operator=(const FlagStampa&) = delete;
};

// Options that Qt's CUPS print engine hands to the job as they are
// (pairs of name and value).
const QPrintEngine::PrintEnginePropertyKey OpzioniCups =
    QPrintEngine::PrintEnginePropertyKey(0xfe00);

[[noreturn]] void Rifiuta(const QString& testo) {
    throw Errore(NumErr::ChiamataNonValida, testo, QStringLiteral("Stampa"));
}

// A paper by its self-describing name ("iso_a3_297x420mm",
// "na_letter_8.5x11in"): the size the name ends with.
QPageSize FormatoPwg(const QString& nome) {
    static const QRegularExpression misura(
        QStringLiteral("_(\\d+(?:\\.\\d+)?)x(\\d+(?:\\.\\d+)?)(mm|in)$"));
    const auto m = misura.match(nome);
    if (!m.hasMatch())
        return QPageSize();
    return QPageSize(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                     m.captured(3) == QLatin1String("in") ? QPageSize::Inch : QPageSize::Millimeter,
                     QString(), QPageSize::FuzzyMatch);
}

int Intero(const QVariant& v, int predefinito) {
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : predefinito;
}

} // namespace

Stampa::~Stampa() {
    if (auto* frm = dynamic_cast<IFrmVStampa*>(m_frmVStampa.data()); frm && frm->ogStampa() == this)
        frm->setOgStampa(nullptr);
}

bool Stampa::avanti(int pagina) {
    if (m_inCorso) {
        m_inCorso->MostraPagina(pagina);
        QCoreApplication::processEvents(); // "Interrompi la stampa" is heard
    }
    return !m_interrotta;
}

void Stampa::PreparaStampante(QPrinter& pr, const IOpzioniStampa& o, qint16 orientamento,
                              const QString& titolo, const QString& corrente) {
    const QString coda = !o.osNomeStampante.isEmpty() ? o.osNomeStampante
                         : !corrente.isEmpty()        ? corrente
                                                      : cups::Predefinita();
    if (coda.isEmpty())
        Rifiuta(QStringLiteral("Nessuna stampante predefinita: scegliere una stampante"));
    pr.setPrinterName(coda);
    if (pr.printerName().compare(coda, Qt::CaseInsensitive) != 0)
        Rifiuta(QStringLiteral("La stampante %1 non è disponibile").arg(coda));
    pr.setDocName(titolo);
    pr.setPageOrientation((!o.obForzaVert && orientamento == 2) ? QPageLayout::Landscape
                                                                : QPageLayout::Portrait);
    const int carta = Intero(o.Valore(QStringLiteral("NumTipoCarta")), 0);
    if (carta > 0) {
        const QVector<cups::Voce> formati = cups::Formati(coda);
        if (carta <= formati.size()) {
            const QPageSize formato = FormatoPwg(formati.at(carta - 1).nome);
            if (formato.isValid())
                pr.setPageSize(formato);
        }
    }
    QStringList cupsOpzioni;
    const int cassetto = Intero(o.Valore(QStringLiteral("NumCassetto")), 0);
    if (cassetto > 0) {
        const QVector<cups::Voce> cassetti = cups::Cassetti(coda);
        if (cassetto <= cassetti.size())
            cupsOpzioni << QStringLiteral("media-source") << cassetti.at(cassetto - 1).nome;
    }
    if (!cupsOpzioni.isEmpty())
        pr.printEngine()->setProperty(OpzioniCups, cupsOpzioni);
}

qint64 Stampa::suStampante(IListaLettura& lista, const QVector<int>& colonne,
                           const RichiestaStampaLista& r) {
    QPrinter pr(QPrinter::HighResolution);
    PreparaStampante(pr, *m_opzioni, r.orientamento, r.titolo, m_stampante);
    Impaginatore imp(lista.colonne(), colonne, r.font, {r.titolo, r.ditta, QDate::currentDate()});
    const int da = Intero(m_opzioni->Valore(QStringLiteral("PaginaDa")), 1);
    const int a = Intero(m_opzioni->Valore(QStringLiteral("PaginaA")), 0);
    if (a >= 1 && da > a)
        Rifiuta(QStringLiteral("Selezione Pagina Da maggiore di Pagina A"));
    const int pagine = imp.Disegna(pr, lista, da, a, [this](int n) { return avanti(n); });
    // the page count, unless the options turn it off ("Mess.Numero pagine")
    const QVariant numPag = m_opzioni->Valore(QStringLiteral("MostraNumPag"));
    if (!m_interrotta && (!numPag.isValid() || numPag.toBool()))
        MsgBox(QStringLiteral("Stampa terminata: %1 pagine inviate alla stampante %2")
                   .arg(pagine)
                   .arg(pr.printerName()),
               vbInformation);
    return pagine;
}

qint64 Stampa::suPdf(IListaLettura& lista, const QVector<int>& colonne,
                     const RichiestaStampaLista& r) {
    IOpzioniStampa& o = *m_opzioni;
    const int da = Intero(o.Valore(QStringLiteral("PaginaDa")), 1);
    const int a = Intero(o.Valore(QStringLiteral("PaginaA")), 0);
    if (a >= 1 && da > a)
        Rifiuta(QStringLiteral("Selezione Pagina Da maggiore di Pagina A"));
    if (o.Valore(QStringLiteral("StampaCaption")).toString().isEmpty())
        o.setValore(QStringLiteral("StampaCaption"), r.titolo);
    QString file = NomeFilePdf(o.Valore(QStringLiteral("PdfNomeFile")).toString(), r.titolo,
                               QDateTime::currentDateTime());
    // the name the file took: another one when a print of the same name
    // took it meanwhile
    const int pagine = ScriviPdf(
        lista, colonne, r, o, file, da, a, [this](int n) { return avanti(n); }, &file);
    o.setValore(QStringLiteral("PdfFileScritto"), file);
    if (m_interrotta)
        return pagine;
    if (da <= 1 && (a < 1 || a >= pagine))
        MsgBox(QStringLiteral("File %1 scritto: %2 righe in %3 pagine")
                   .arg(QFileInfo(file).absoluteFilePath())
                   .arg(lista.totale())
                   .arg(pagine),
               vbInformation);
    else
        MsgBox(QStringLiteral("File %1 scritto: %2 pagine")
                   .arg(QFileInfo(file).absoluteFilePath())
                   .arg(pagine),
               vbInformation);
    // "PdfAutomImpPar": the two parameter files, "UsaPdfCreator",
    // "CreatorAutosaveStart", "UsaPdf995".
    const QVariantList par = o.Valore(QStringLiteral("PdfAutomImpPar")).toList();
    if (par.size() > 3 &&
        par.at(3).toString().trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
        ApriConVisualizzatore(file);
    if (o.Valore(QStringLiteral("EmailInvia")).toBool()) {
        if (!m_inCorso || !m_inCorso->ChiediEmailLogPwd())
            Rifiuta(QStringLiteral("Email non inviata: mancano i dati per l'invio. Il file pdf "
                                   "%1 è stato creato")
                        .arg(file));
        SpedisciPdf(o, file);
    }
    return pagine;
}

qint64 Stampa::suVideo(IListaLettura& lista, const QVector<int>& colonne,
                       const RichiestaStampaLista& r) {
    auto* frm = dynamic_cast<IFrmVStampa*>(m_frmVStampa.data());
    if (!frm)
        Rifiuta(QStringLiteral("La finestra di visualizzazione della stampa non è disponibile"));
    const IOpzioniStampa& o = *m_opzioni;
    const int da = Intero(o.Valore(QStringLiteral("PaginaDa")), 1);
    const int a = Intero(o.Valore(QStringLiteral("PaginaA")), 0);
    if (a >= 1 && da > a)
        Rifiuta(QStringLiteral("Selezione Pagina Da maggiore di Pagina A"));
    obMemPag = o.oiMemVid == 1;
    obEsci = false;
    osBasePagine = QStringLiteral("quarvel-video-"); // in the preview's own folder
    ovBasePagine2 = QCoreApplication::applicationPid();
    frm->setOgStampa(this);

    // The paper of the print: A4 in the orientation asked, at the screen's
    // resolution times the zoom.
    const QPageLayout::Orientation verso =
        (!o.obForzaVert && r.orientamento == 2) ? QPageLayout::Landscape : QPageLayout::Portrait;
    const double fattore = o.ofFatt > 0 ? double(o.ofFatt) : 1.0;
    const double dpi = std::max(8.0, m_frmVStampa->logicalDpiX() * fattore);
    const QPageLayout foglio(QPageSize(QPageSize::A4), verso, QMarginsF(10, 10, 10, 10),
                             QPageLayout::Millimeter);
    const QSizeF mm = foglio.fullRect(QPageLayout::Millimeter).size();
    const QSize pixel(int(mm.width() / 25.4 * dpi), int(mm.height() / 25.4 * dpi));
    const QRectF area = foglio.paintRect(QPageLayout::Millimeter);
    const QPointF margine(area.left() / 25.4 * dpi, area.top() / 25.4 * dpi);
    const QSize utile(int(area.width() / 25.4 * dpi), int(area.height() / 25.4 * dpi));

    Impaginatore imp(lista.colonne(), colonne, r.font, {r.titolo, r.ditta, QDate::currentDate()});
    QImage misura(utile, QImage::Format_RGB32);
    misura.setDotsPerMeterX(int(dpi / 0.0254));
    misura.setDotsPerMeterY(int(dpi / 0.0254));
    const int pagine = imp.Prepara(misura, lista);
    const int primo = std::max(1, da);
    const int ultimo = (a < 1 || a > pagine) ? pagine : a;
    m_frmVStampa->show();
    m_frmVStampa->raise();

    int disegnate = 0;
    for (int n = primo; n <= ultimo && n > 0;) {
        QImage& img = frm->NuovaPagina(pixel, dpi);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.translate(margine);
            // the layout was measured on an image of the page's printable
            // area at the same resolution
            imp.DisegnaPagina(p, lista, n);
        }
        ++disegnate;
        oiUltPag = qint16(n);
        oiPagCorr = qint16(n);
        const bool fine = n >= ultimo;
        frm->setLabMsg(fine ? QStringLiteral("Stampa Terminata")
                            : QStringLiteral("Pagina %1 di %2").arg(n).arg(ultimo));
        frm->AbilitaFrecce(obMemPag, obMemPag, !fine, obMemPag);
        frm->PaginaDisegnata();
        if (fine)
            break;
        frm->Continua();
        if (obEsci || m_interrotta)
            break;
        n = std::max<int>(oiPagRich, n + 1);
    }
    // left with "&Esci" while the print ran: the form closes once the print
    // is over
    if (obEsci && m_frmVStampa)
        QMetaObject::invokeMethod(m_frmVStampa.data(), "close", Qt::QueuedConnection);
    return disegnate;
}

qint64 Stampa::suFissa(IListaLettura& lista, const QVector<int>& colonne, const QString& titolo) {
    const IOpzioniStampa& o = *m_opzioni;
    if (o.osFisFileName.trimmed().isEmpty())
        Rifiuta(
            QStringLiteral("In caso di stampa su file è obbligatorio specificare il nome file."));
    const auto stop = [this] { return bool(m_interrotta); };
    if (!o.obFisStampante)
        return ScriviFissa(lista, colonne, o, o.osFisFileName, stop);
    // A device (a path) is written to; anything else names a queue.
    if (o.osFisFileName.startsWith(QLatin1Char('/')))
        return ScriviFissa(lista, colonne, o, o.osFisFileName, stop);
    QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/quarvel-fissa-XXXXXX.txt"));
    if (!tmp.open())
        Rifiuta(QStringLiteral("Impossibile creare il file temporaneo di stampa: %1")
                    .arg(tmp.errorString()));
    tmp.close();
    const qint64 n = ScriviFissa(lista, colonne, o, tmp.fileName(), stop);
    QString errore;
    if (!m_interrotta && cups::StampaGrezza(o.osFisFileName, tmp.fileName(), titolo, &errore) == 0)
        Rifiuta(QStringLiteral("Stampa su %1 non riuscita: %2").arg(o.osFisFileName, errore));
    return n;
}

qint64 Stampa::StampaLista(IListaLettura& lista, const RichiestaStampaLista& r) {
    if (!m_opzioni)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Opzioni di stampa non impostate"),
                     QStringLiteral("Stampa"));
    if (StampaAttiva() == 1)
        Rifiuta(QStringLiteral("Si può lanciare solo una stampa alla volta"));
    FlagStampa flag;
    m_interrotta = false;
    if (m_inCorso)
        m_inCorso->setOgStampa(this);
    const QVector<int> colonne = ColonneScelte(lista.colonne(), r.colonne);
    const IOpzioniStampa& o = *m_opzioni;
    switch (o.oiStaVid) {
    case DestStampa::Stampante:
        if (o.Valore(QStringLiteral("PdfAutomAbil")).toBool())
            return suPdf(lista, colonne, r);
        return suStampante(lista, colonne, r);
    case DestStampa::File: {
        if (o.osFileName.trimmed().isEmpty())
            Rifiuta(QStringLiteral(
                "In caso di stampa su file è obbligatorio specificare il nome file."));
        const auto stop = [this] { return bool(m_interrotta); };
        const qint64 n = o.oiFileForm == FormatoFile::Excel
                             ? ScriviXlsx(lista, colonne, o, o.osFileName, r.titolo, stop)
                             : ScriviDelimitato(lista, colonne, o, o.osFileName, stop);
        const QString dove = QFileInfo(o.osFileName).absoluteFilePath();
        MsgBox(m_interrotta
                   ? QStringLiteral("Stampa interrotta: il file %1 contiene le prime %2 righe")
                         .arg(dove)
                         .arg(n)
                   : QStringLiteral("File %1 scritto: %2 righe").arg(dove).arg(n),
               vbInformation);
        return n;
    }
    case DestStampa::Fissa:
        return suFissa(lista, colonne, r.titolo);
    case DestStampa::Video:
        return suVideo(lista, colonne, r);
    default:
        Rifiuta(QStringLiteral("Destinazione di stampa %1 sconosciuta").arg(o.oiStaVid));
    }
}

namespace {
std::unique_ptr<IOpzioniStampa> NuoveOpzioni(const QString& sezione) {
    auto o = std::make_unique<OpzioniStampa>(sezione);
    const ContestoSessione& s = Sessione();
    CaricaOpzioni(*o, s.FileIniPrincipale, s.FileIniParametri, s.FattoreStaVid);
    return o;
}
std::unique_ptr<IStampa> NuovaStampa() {
    return std::make_unique<Stampa>();
}

class StampantiCups final : public IStampanti {
public:
    QVector<CodaStampa> Code() const override {
        QVector<CodaStampa> code;
        for (const cups::Coda& c : cups::Code())
            code.push_back({c.nome, c.porta, c.predefinita});
        return code;
    }
    QString Predefinita() const override { return cups::Predefinita(); }
    QString PredefinitaDichiarata() const override { return cups::PredefinitaDichiarata(); }
    bool ImpostaPredefinita(const QString& nome) override { return cups::ImpostaPredefinita(nome); }
    QString Porta(const QString& nome) const override { return cups::Porta(nome); }
    QVector<VoceStampante> Cassetti(const QString& nome) const override {
        return Voci(cups::Cassetti(nome));
    }
    QVector<VoceStampante> Formati(const QString& nome) const override {
        return Voci(cups::Formati(nome));
    }
    QString FormatoAttuale(const QString& nome) const override {
        return cups::FormatoAttuale(nome);
    }

private:
    static QVector<VoceStampante> Voci(const QVector<cups::Voce>& v) {
        QVector<VoceStampante> voci;
        for (const cups::Voce& x : v)
            voci.push_back({x.codice, x.nome});
        return voci;
    }
};
} // namespace

void InstallaStampa() {
    static StampantiCups stampanti;
    RegistraFabbricheStampa({&NuoveOpzioni, &NuovaStampa, &stampanti});
}

} // namespace quarvel::stampa
