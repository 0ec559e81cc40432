// The counts form's load of a terminal file: the parameter set chosen,
// the warehouse asked, the download program, the load with its progress
// window and messages, and what becomes of the file afterwards.
#include "inventory/FrmGestInv.h"

#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "config/ParametriIni.h"
#include "desktop/ServiziSistema.h"
#include "inventory/FrmCaricaFile.h"
#include "inventory/FrmRicMagTrasf.h"
#include "inventory/FrmSelIniCarFile.h"
#include "listform/Tastiera.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"
#include "suite/Sessione.h"
#include "suite/Tasti.h"
#include "suite/Utilita.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>

namespace quarvel {

namespace {

const QString Ok = QStringLiteral("&Ok");

} // namespace

// ---- File-load parameter sets ------------------------------------------------------

void FrmGestInv::ImpLetDaFile(const QString& psLettArtDafile, bool pbDisTool) {
    m_msSetCarico = psLettArtDafile;
    if (m_mbLettFileAbil) {
        const inventario::LettoreParametri leggi = [](const QString& sezione,
                                                      const QString& chiave) {
            QString valore;
            LeggiIni(sezione, chiave, QString(), valore);
            return valore;
        };
        if (!inventario::LeggiSetCarico(psLettArtDafile, pbDisTool, leggi, m_set)) {
            m_mbLettFileAbil = false;
            m_setSpento = psLettArtDafile;
        }
    }
    // At opening the button shows exactly when loading is possible; a set
    // chosen later that switches loading off hides it.
    if (pbDisTool || !m_mbLettFileAbil)
        m_comCarica->setVisible(m_mbLettFileAbil);
}

namespace {

// Why a set switched loading off, for the operator.
QString CausaSetSpento(const inventario::SetCarico& set) {
    if (set.codInizio == 0)
        return QStringLiteral("manca la posizione del codice nella riga (CodInizio)");
    if (Utilita().EVuoto(set.fileOrigine))
        return QStringLiteral("manca il file da caricare (FileOrigine)");
    if (set.formato == QLatin1String("S"))
        return QStringLiteral("manca il separatore dei campi (Separatore)");
    return QStringLiteral("manca la lunghezza di un campo a colonne fisse");
}

QString Righe(qint64 n) {
    return n == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(n);
}

// What the load did, for the end of it.
QString Riepilogo(const inventario::EsitoCarico& e, const QString& fileScarti, qint64 conservate) {
    QString t =
        QStringLiteral("Righe lette: %1; righe caricate: %2").arg(e.righeLette).arg(e.righeScritte);
    if (e.righeVuote > 0)
        t += QStringLiteral("; righe vuote: %1").arg(e.righeVuote);
    t += QStringLiteral(".\r\n");
    const bool una = e.righeScartate == 1;
    const QString scartate = Righe(e.righeScartate) + (una ? QStringLiteral(" non caricata")
                                                           : QStringLiteral(" non caricate"));
    if (e.righeScartate == 0)
        t += QStringLiteral("Nessuna riga scartata.");
    else if (conservate >= e.righeScartate)
        t += QStringLiteral("%1, %2 nel file\r\n%3")
                 .arg(scartate, una ? QStringLiteral("conservata") : QStringLiteral("conservate"),
                      fileScarti);
    else if (conservate == 0)
        t += QStringLiteral("%1: il file delle righe scartate\r\n%2\r\nnon si è potuto scrivere.")
                 .arg(scartate, fileScarti);
    else
        t += QStringLiteral("%1, solo %2 conservate nel file\r\n%3")
                 .arg(scartate, QString::number(conservate), fileScarti);
    return t;
}

} // namespace

bool FrmGestInv::CaricoPossibile() {
    if (m_mbLettFileAbil)
        return true;
    if (!m_setSpento.isEmpty()) {
        m_comCarica->setVisible(false);
        msgCom(QStringLiteral("Il caricamento da file è disattivato: nei parametri \"%1\" %2.\r\n"
                              "Per caricare da file chiudere e riaprire la gestione inventari.")
                   .arg(m_setSpento, CausaSetSpento(m_set)),
               Ok);
    } else {
        msgCom(QStringLiteral("Il caricamento da file non è abilitato per questo utente "
                              "(parametro personale CarMov, LettArtDafile)."),
               Ok);
    }
    return false;
}

void FrmGestInv::ComCarica_Click() {
    if (m_mbCaricoInCorso || !CaricoPossibile())
        return;
    QPointer<FrmRicMagTrasf> r = new FrmRicMagTrasf(this);
    r->osKeySec = osKeySec;
    r->osDescriz = QStringLiteral("Magazzino caricamento gestione inventario");
    r->osMostraAnnulla = QStringLiteral("S");
    MostraModale(r);
    if (!r)
        return;
    const bool ok = r->obOk;
    const QString scelto = r->osMagazScelto;
    delete r.data();
    if (!ok)
        return;
    m_msMagCarico = scelto;
    LeggiDaFileBarCode();
    if (!m_mbModoRicerca) {
        ButtonComando(QStringLiteral("Aggiorna"));
        // the operator goes on with the rows: a scan begins a new one
        ProntoPerLettura();
    }
}

// Opens the download program as the desktop opens a file: a program is
// started, without waiting for it; a document goes to its application.
void FrmGestInv::AvviaProgrammaPrima() {
    const QString testo = m_set.exePrima.trimmed();
    const QString locale = PercorsoLocale(testo);
    const QFileInfo fi(locale);
    bool avviato = false;
    QString causa;
    if (fi.isFile() && fi.isExecutable()) {
        avviato = QProcess::startDetached(fi.absoluteFilePath(), {});
        causa = QStringLiteral("il programma non si avvia");
    } else if (fi.exists()) {
        avviato = QDesktopServices::openUrl(QUrl::fromLocalFile(fi.absoluteFilePath()));
        causa = QStringLiteral("nessuna applicazione apre il file");
    } else if (const QString trovato = QStandardPaths::findExecutable(testo); !trovato.isEmpty()) {
        avviato = QProcess::startDetached(trovato, {});
        causa = QStringLiteral("il programma non si avvia");
    } else {
        causa = QStringLiteral("il file non esiste");
    }
    if (!avviato)
        msgCom(QStringLiteral("Impossibile avviare il programma di scaricamento dei dati "
                              "(%1): %2.")
                   .arg(testo, causa),
               Ok);
}

// The file to load, taken away from its name; false (the operator told why)
// when it is missing or cannot be taken.
bool FrmGestInv::PrendiFileCarico() {
    // the file is taken away from its name before it is read: what the
    // download writes meanwhile stays for the next load
    m_preso = std::make_unique<inventario::FilePreso>(m_fileLocale);
    QString causa;
    if (!QFileInfo(m_fileLocale).isFile() || !m_preso->Prendi(&causa)) {
        const bool manca = !QFileInfo::exists(m_fileLocale);
        if (QFileInfo(m_fileLocale).isDir())
            causa = QStringLiteral("è una cartella");
        m_preso.reset();
        m_mbCaricoInCorso = false;
        if (manca) {
            msgCom(QStringLiteral("File (") + m_set.fileOrigine +
                       QStringLiteral(") da caricare non trovato"),
                   Ok);
        } else {
            ImpostaErrore(
                NumErr::PermessoNegato,
                QStringLiteral("Impossibile leggere il file %1: %2").arg(m_set.fileOrigine, causa),
                QStringLiteral("LeggiDaFileBarCode"));
            MsgErrfrm();
        }
        return false;
    }
    return true;
}

// A load that stopped or failed: the file back to its name, the operator told.
void FrmGestInv::CaricoInterrotto(const QString& riepilogo) {
    // the file goes back as it is (the lines after the stop are still
    // only in it); what went in before stays
    QString erroreFile;
    const bool reso = m_preso->Restituisci(&erroreFile);
    const QString nomePrivato = m_preso->NomePrivato();
    m_preso.reset();
    m_mbCaricoInCorso = false;
    if (!reso) {
        ImpostaErrore(NumErr::ErrorePercorso,
                      QStringLiteral("Impossibile rimettere il file %1 al suo nome (resta "
                                     "come %2): %3")
                          .arg(m_set.fileOrigine, nomePrivato, erroreFile),
                      QStringLiteral("LeggiDaFileBarCode"));
        MsgErrfrm();
    }
    if (m_esito.errore.isEmpty()) {
        msgCom(QStringLiteral("Caricamento interrotto, il file non è stato cancellato.\r\n") +
                   riepilogo,
               Ok);
        return;
    }
    const bool guastoFile = m_esito.errore.startsWith(QLatin1String("Errore di lettura")) ||
                            m_esito.errore.startsWith(QLatin1String("Impossibile scrivere"));
    ImpostaErrore(guastoFile ? NumErr::ErrorePercorso : NumErr::ChiamataOdbcFallita, m_esito.errore,
                  QStringLiteral("LeggiDaFileBarCode"));
    MsgErrfrm(std::nullopt, std::nullopt, QString(),
              QStringLiteral("\r\nCaricamento interrotto, il file non è stato cancellato.\r\n") +
                  riepilogo);
}

void FrmGestInv::LeggiDaFileBarCode() {
    if (m_mbCaricoInCorso || !CaricoPossibile())
        return;
    if (!m_set.exePrima.isEmpty()) {
        AvviaProgrammaPrima();
        // closing the question without a button does not confirm the download
        if (msgCom(
                QStringLiteral("Premere Ok dopo che lo scaricamento dei dati è stato completato"),
                Ok, QStringLiteral("&Annulla")) != 1)
            return;
    }

    m_mbCaricoInCorso = true;
    m_esito = inventario::EsitoCarico();
    m_fileLocale = PercorsoLocale(m_set.fileOrigine);
    if (!PrendiFileCarico())
        return;

    inventario::FileScarti scarti(m_fileLocale, QDateTime::currentDateTime());
    inventario::CaricoConteggi carico(Sessione().DbDitta, m_set, {m_txt10->text(), m_msMagCarico});
    carico.impostaDecimaliQuantita(decimaliQta());

    QPointer<FrmCaricaFile> p = new FrmCaricaFile(this);
    m_progresso = p;
    p->ImpostaFile(m_set.fileOrigine);
    p->show();
    QCoreApplication::processEvents();
    auto fermato = [&p] { return p && p->Fermato(); };
    // the buttons of the message are as wide as the longer caption
    const QString NonMostrare = QStringLiteral("&Non mostrare più");
    const int larghezzaNonMostrare =
        (QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("Non mostrare più")) +
         32) *
        15;
    carico.rigaNonCaricata = [&](const inventario::RigaNonCaricata& r,
                                 const inventario::EsitoCarico& finora) {
        if (fermato())
            return false;
        // the window counts the line before the operator reads about it
        if (p)
            p->Aggiorna(finora);
        RichiestaMsgCom m;
        m.psLabel = r.Messaggio();
        m.psCom1 = Ok;
        m.pvCom2 = NonMostrare;
        m.pvWidthCom = larghezzaNonMostrare;
        return msgCom(m) != 2;
    };
    carico.avanzamento = [&](const inventario::EsitoCarico& e) {
        if (p)
            p->Aggiorna(e);
        QCoreApplication::processEvents();
        return !fermato();
    };
    try {
        m_esito = carico.Carica(m_preso->File(), scarti);
    } catch (const std::exception& e) {
        m_esito.errore = QString::fromLocal8Bit(e.what());
    }
    QString erroreScarti;
    if (!scarti.Chiudi(&erroreScarti) && m_esito.errore.isEmpty())
        m_esito.errore = erroreScarti;
    if (!m_esito.errore.isEmpty())
        m_esito.completo = false;
    if (p) {
        p->Aggiorna(m_esito);
        delete p.data();
    }

    const QString riepilogo = Riepilogo(m_esito, scarti.Nome(), scarti.Righe());
    if (!m_esito.errore.isEmpty() || m_esito.fermato) {
        CaricoInterrotto(riepilogo);
        return;
    }
    FineLetCodBar();
    msgCom(QStringLiteral("Caricamento terminato.\r\n") + riepilogo, Ok);
}

void FrmGestInv::FineLetCodBar() {
    m_mbCaricoInCorso = false;
    // exactly "S" deletes without asking, exactly "N" keeps; anything else asks
    bool cancella = false;
    if (m_set.cancFile == QLatin1String("S"))
        cancella = true;
    else if (m_set.cancFile != QLatin1String("N"))
        cancella = msgCom(QStringLiteral("Cancello file caricato"), QStringLiteral("&Sì"),
                          QStringLiteral("&No")) == 1;
    if (!m_preso)
        return;
    // exactly what was read goes: lines the terminal wrote meanwhile stay
    // under its name
    QString errore;
    const bool ok = cancella ? m_preso->Cancella(&errore) : m_preso->Restituisci(&errore);
    const QString nomePrivato = m_preso->NomePrivato();
    const bool rinominato = m_preso->Rinominato();
    m_preso.reset();
    if (ok)
        return;
    ImpostaErrore(
        NumErr::PermessoNegato,
        cancella && !rinominato
            ? QStringLiteral("Impossibile cancellare il file %1: %2").arg(m_set.fileOrigine, errore)
        : cancella ? QStringLiteral("Impossibile cancellare il file %1 (letto come %2): %3")
                         .arg(m_set.fileOrigine, nomePrivato, errore)
                   : QStringLiteral("Impossibile rimettere il file %1 al suo nome (resta "
                                    "come %2): %3")
                         .arg(m_set.fileOrigine, nomePrivato, errore),
        QStringLiteral("FineLetCodBar"));
    MsgErrfrm();
}

FrmCaricaFile* FrmGestInv::frmCaricaFile() const {
    return m_progresso.data();
}

QString FrmGestInv::LeggiCampo(const QString& psRiga, int piNumCampo) const {
    return inventario::LeggiCampo(psRiga, piNumCampo, m_set);
}

QString FrmGestInv::LeggiCampoApici(const QString& psRiga, int piNumCampo) const {
    return inventario::LeggiCampoApici(psRiga, piNumCampo);
}

void FrmGestInv::closeEvent(QCloseEvent* e) {
    if (m_mbCaricoInCorso) {
        // the form stays while its load runs; the load is asked to stop
        e->ignore();
        if (m_progresso)
            m_progresso->ComFerma_Click();
        return;
    }
    FrmLista::closeEvent(e);
}

void FrmGestInv::ComCarica_MouseUp() {
    if (!m_selIni)
        m_selIni = new FrmSelIniCarFile();
    m_selIni->osKeySec = osKeySec;
    m_selIni->obOk = false;
    m_selIni->osLettArtDafile = m_msSetCarico;
    m_selIni->ofrmDett = this;
    if (!m_selIni->mostra())
        msgCom(QStringLiteral("Non ci sono parametri da selezionare"), Ok);
    setEnabled(false);
    m_selIni->show();
    m_selIni->raise();
    m_selIni->activateWindow();
}

void FrmGestInv::DopoSceIniLetFile() {
    const bool prima = m_mbLettFileAbil;
    if (m_selIni && m_selIni->obOk)
        ImpLetDaFile(m_selIni->osLettArtDafile, false);
    setEnabled(true);
    show();
    activateWindow();
    if (prima && !m_mbLettFileAbil)
        msgCom(QStringLiteral("I parametri \"%1\" non permettono il caricamento da file: %2.\r\n"
                              "Il caricamento da file resta disattivato fino alla riapertura "
                              "della gestione inventari.")
                   .arg(m_setSpento, CausaSetSpento(m_set)),
               Ok);
}

// ---- One line loaded by a caller ---------------------------------------------------------

bool FrmGestInv::AggDettArt(QString& psArticolo, double pdQta, qint64 plNumRiga, double pdImp,
                            int piQualeImp) {
    Q_UNUSED(pdImp);
    Q_UNUSED(piQualeImp); // the inventory keeps no amount
    inventario::CaricoConteggi carico(Sessione().DbDitta, m_set, {m_txt10->text(), m_msMagCarico});
    QString errore;
    try {
        const QString articolo = carico.TrovaArticolo(psArticolo);
        if (articolo.isEmpty()) {
            inventario::RigaNonCaricata r;
            r.numero = plNumRiga;
            r.codice = psArticolo;
            msgCom(r.Messaggio(), Ok);
            return false;
        }
        psArticolo = articolo;
        if (carico.ScriviRiga(articolo, pdQta, &errore))
            return true;
    } catch (const QSqlError& e) {
        errore = e.text();
    }
    ImpostaErrore(NumErr::ChiamataOdbcFallita, errore, QStringLiteral("AggDettArt"));
    MsgErrfrm();
    return false;
}

bool FrmGestInv::DecArtDaCodBar(QString& psArticolo, bool pbCercaCodBarre) {
    inventario::CaricoConteggi carico(Sessione().DbDitta, m_set, {m_txt10->text(), m_msMagCarico});
    try {
        const QString articolo = carico.CercaArticolo(psArticolo, pbCercaCodBarre);
        if (articolo.isEmpty())
            return false;
        psArticolo = articolo;
        return true;
    } catch (const QSqlError& e) {
        ImpostaErrore(NumErr::ChiamataOdbcFallita, e.text(), QStringLiteral("DecArtDaCodBar"));
        MsgErrfrm();
        return false;
    }
}

} // namespace quarvel
