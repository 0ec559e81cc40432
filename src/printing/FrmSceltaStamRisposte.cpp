#include "FrmSceltaStam.h"

#include "desktop/Scala.h"
#include "desktop/Schermo.h"
#include "desktop/ServiziSistema.h"

#include "OpzioniSalvate.h"
#include "SceltaStampante.h"
#include "suite/ComponenteAiuto.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "suite/Utilita.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>

namespace quarvel {

namespace {
const QString NessunaImpostazione = QStringLiteral("Nessuna impostazione - Default");
} // namespace

void FrmSceltaStam::setMsStampantiNoCassetti(const QString& testo) {
    m_noCassetti = testo;
    if (!m_noCassetti.isEmpty() &&
        m_noCassetti.compare(QLatin1String("tutte"), Qt::CaseInsensitive) != 0) {
        if (!m_noCassetti.startsWith(QLatin1Char(',')))
            m_noCassetti.prepend(QLatin1Char(','));
        if (!m_noCassetti.endsWith(QLatin1Char(',')))
            m_noCassetti.append(QLatin1Char(','));
    }
}

bool FrmSceltaStam::VisDecodOk() {
    if (StampaAttiva() == 1) {
        MsgBox(
            QStringLiteral("C'è una stampa in esecuzione. Non è possibile variare i parametri di "
                           "stampa"),
            vbCritical);
        return false;
    }
    if (!m_opz)
        return false;
    ImpostaCboCassetti();
    ImpostaCboTipoCarta();
    VisStaAttuale();
    for (int i = 0; i < 4; ++i)
        c<QRadioButton>(QStringLiteral("OptStampaSu(%1)").arg(i))
            ->setEnabled(!m_opz->obStaSuDisab[size_t(i)]);
    const int dest = (m_opz->oiStaVid >= 0 && m_opz->oiStaVid <= 3) ? m_opz->oiStaVid : 0;
    c<QRadioButton>(QStringLiteral("OptStampaSu(%1)").arg(dest))->setChecked(true);
    OptStampaSu_Click(dest);
    c<QCheckBox>(QStringLiteral("CheForzaVert"))->setChecked(m_opz->obForzaVert);
    const QVariant numPag = m_opz->Valore(QStringLiteral("MostraNumPag"));
    c<QCheckBox>(QStringLiteral("CheNumPag"))->setChecked(!numPag.isValid() || numPag.toBool());
    const QString da = QString::number(m_opz->Valore(QStringLiteral("PaginaDa")).toInt());
    const QString a = QString::number(m_opz->Valore(QStringLiteral("PaginaA")).toInt());
    for (int i : {10, 30})
        c<QLineEdit>(QStringLiteral("txt(%1)").arg(i))->setText(da);
    for (int i : {20, 40})
        c<QLineEdit>(QStringLiteral("txt(%1)").arg(i))->setText(a);
    AggiornaVideo();
    AggiornaFile();
    AggiornaFisso();
    attivaPdfEmail();
    return true;
}

void FrmSceltaStam::OptStampaSu_Click(int i) {
    for (int k = 0; k < 4; ++k)
        controllo(QStringLiteral("FraOpz(%1)").arg(k))->setEnabled(k == i);
    // for a list print the fixed-length frame stays off whatever the target
    if (m_opz && m_opz->obStaSuDisab[DestStampa::Fissa])
        c<QPushButton>(QStringLiteral("ComOpz(3)"))->setEnabled(false);
    if (m_opz) {
        m_opz->oiStaVid = qint16(i);
        if (i == DestStampa::Video)
            m_opz->obFlagVideo = true;
    }
    VisStaAttuale();
}

QString FrmSceltaStam::stampanteDelleOpzioni() const {
    return (m_opz && !m_opz->osNomeStampante.isEmpty()) ? m_opz->osNomeStampante
                                                        : StampanteCorrente();
}

void FrmSceltaStam::VisStaAttuale() {
    if (m_opz)
        c<QLabel>(QStringLiteral("LabStaAttuale"))
            ->setText(m_opz->DescrStampante(StampanteCorrente()));
}

namespace {
// The hourglass while a printer's driver is asked (it may take seconds on a
// network printer), unless it is on already.
class ClessidraStampante {
public:
    ClessidraStampante() : m_accesa(PuntatoreSchermo() != Qt::WaitCursor) {
        if (m_accesa)
            Clessidra(true);
    }
    ~ClessidraStampante() {
        if (m_accesa)
            Clessidra(false);
    }
    ClessidraStampante(const ClessidraStampante&) = delete;
    ClessidraStampante& operator=(const ClessidraStampante&) = delete;

private:
    bool m_accesa;
};
} // namespace

void FrmSceltaStam::ImpostaCboCassetti() {
    const ClessidraStampante clessidra;
    auto* cbo = c<QComboBox>(QStringLiteral("cboCassetti"));
    cbo->clear();
    cbo->addItem(NessunaImpostazione);
    const QString stampante = stampanteDelleOpzioni();
    if (m_noCassetti.compare(QLatin1String("tutte"), Qt::CaseInsensitive) == 0 ||
        (!m_noCassetti.isEmpty() &&
         m_noCassetti.contains(QLatin1Char(',') + stampante + QLatin1Char(','),
                               Qt::CaseInsensitive)))
        return;
    const int scelto = m_opz ? m_opz->Valore(QStringLiteral("NumCassetto")).toInt() : 0;
    for (const VoceStampante& v : Stampanti().Cassetti(stampante)) {
        cbo->addItem(QStringLiteral("%1 - %2").arg(v.codice, 6).arg(v.nome));
        if (v.codice == scelto)
            cbo->setCurrentIndex(cbo->count() - 1);
    }
}

void FrmSceltaStam::ImpostaCboTipoCarta() {
    const ClessidraStampante clessidra;
    auto* cbo = c<QComboBox>(QStringLiteral("cboTipoCarta"));
    cbo->clear();
    cbo->addItem(NessunaImpostazione);
    const QString stampante = stampanteDelleOpzioni();
    const int scelto = m_opz ? m_opz->Valore(QStringLiteral("NumTipoCarta")).toInt() : 0;
    const QString attuale = Stampanti().FormatoAttuale(stampante);
    for (const VoceStampante& v : Stampanti().Formati(stampante)) {
        QString testo = QStringLiteral("%1 - %2").arg(v.codice).arg(v.nome);
        if (!attuale.isEmpty() && v.nome == attuale)
            testo += QStringLiteral(" (ATTUALE)");
        cbo->addItem(testo);
        if (v.codice == scelto)
            cbo->setCurrentIndex(cbo->count() - 1);
    }
}

void FrmSceltaStam::ScegliStampante(int riga, bool predefinita) {
    if (!m_opz)
        return;
    m_opz->setValore(QStringLiteral("NumCassetto"), 0);
    m_opz->setValore(QStringLiteral("NumTipoCarta"), 0);
    if (predefinita) {
        if (!ImpostaStampanteNome(QString(), true, m_opz->osNomeStampante))
            return;
        QString nome, mancante, porta;
        LeggiStampanteDefault(nome, mancante, porta);
        m_opz->osNomeStampante.clear();
        m_opz->osNomePorta = porta;
    } else {
        auto* gri = c<QTableWidget>(QStringLiteral("GriPri"));
        if (riga < 0 || riga >= gri->rowCount())
            return;
        const QString nome = gri->item(riga, 1)->text();
        const QString porta = gri->item(riga, 2)->text();
        if (!ImpostaStampanteNome(nome, true, m_opz->osNomeStampante))
            return;
        bool trovata = false;
        for (const CodaStampa& q : Stampanti().Code())
            trovata = trovata || q.nome.compare(nome, Qt::CaseInsensitive) == 0;
        if (nome.compare(m_opz->osNomeStampante, Qt::CaseInsensitive) != 0 &&
            StampanteCambiata() == 1 && !trovata) {
            msgCom(
                QStringLiteral("Attenzione: la stampante richiesta non è settabile direttamente "
                               "dopo che è stata fatta una stampa su altra stampante") +
                    QStringLiteral("\r\n") +
                    QStringLiteral("Uscire e rientrare e scegliere direttamente questa stampante"),
                QStringLiteral("&Ok"));
            m_opz->osNomeStampante = StampanteCorrente();
            m_opz->osNomePorta = Stampanti().Porta(StampanteCorrente());
        } else {
            m_opz->osNomeStampante = nome;
            m_opz->osNomePorta = porta;
        }
    }
    stampanteSceltaAMano();
    ImpostaCboCassetti();
    ImpostaCboTipoCarta();
    VisStaAttuale();
}

void FrmSceltaStam::paginaLasciata(int indice) {
    if (!m_opz)
        return;
    auto* t = c<QLineEdit>(QStringLiteral("txt(%1)").arg(indice));
    const qint16 v = Utilita().TestoInIntero(t->text());
    t->setText(QString::number(v));
    const bool da = indice == 10 || indice == 30;
    m_opz->setValore(da ? QStringLiteral("PaginaDa") : QStringLiteral("PaginaA"), v);
    const int gemello = indice == 10 ? 30 : indice == 30 ? 10 : indice == 20 ? 40 : 20;
    auto* altro = c<QLineEdit>(QStringLiteral("txt(%1)").arg(gemello));
    altro->setText(t->text());
    ImpostaColoreSfondo(altro, ColoreSfondo(t));
}

namespace {

// The folder of the last file chosen in this run.
QString& UltimaCartellaFile() {
    static QString cartella;
    return cartella;
}

// Where the file dialog of a print to file starts: the options' default
// folder, else the folder of the last file chosen, else the user's
// documents folder; never the folder the program runs in.
QString CartellaFileStampa(const QString& predefinita) {
    if (QDir::isAbsolutePath(predefinita) && QFileInfo(predefinita).isDir())
        return predefinita;
    if (!UltimaCartellaFile().isEmpty() && QFileInfo(UltimaCartellaFile()).isDir())
        return UltimaCartellaFile();
    QString documenti = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documenti.isEmpty() || !QDir().mkpath(documenti))
        documenti = QDir::homePath();
    return documenti;
}

} // namespace

void FrmSceltaStam::cambiaNomeFile() {
    if (!m_opz)
        return;
    m_opz->obFlagVideo = false;
    // the workbook is offered only with a spreadsheet version, in its format
    const int versione = VersioneFoglioElettronico();
    QStringList filtri;
    if (versione >= 0)
        filtri << QStringLiteral("Formato Excel (*.%1)")
                      .arg(versione >= 12 ? QStringLiteral("xlsx") : QStringLiteral("xls"));
    filtri << QStringLiteral("Compatibile Excel (*.csv *.txt)") << QStringLiteral("Testo (*.txt)");
    QString filtro;
    const QString nome = QFileDialog::getSaveFileName(
        this, QStringLiteral("Nome del file di stampa"), CartellaFileStampa(m_opz->osPathDefault),
        filtri.join(QStringLiteral(";;")), &filtro);
    if (nome.isEmpty())
        return;
    UltimaCartellaFile() = QFileInfo(nome).absolutePath();
    m_opz->osFileName = nome;
    const int indice = int(filtri.indexOf(filtro)) + 1; // 1-based, as the dialog counts them
    if (versione >= 0)
        m_opz->oiFileForm = indice == 1 ? FormatoFile::Excel : qint16(indice - 2);
    else
        m_opz->oiFileForm = qint16(indice - 1);
    AggiornaFile();
}

void FrmSceltaStam::cambiaNomeFisso() {
    if (!m_opz)
        return;
    m_opz->obFlagVideo = false;
    const QString nome = QFileDialog::getSaveFileName(
        this, QStringLiteral("Nome del file di stampa"), CartellaFileStampa(m_opz->osPathDefault),
        QStringLiteral("Testo (*.txt)"));
    if (nome.isEmpty())
        return;
    UltimaCartellaFile() = QFileInfo(nome).absolutePath();
    m_opz->osFisFileName = nome;
    m_opz->obFisStampante = false;
    AggiornaFisso();
    VisStaAttuale();
}

void FrmSceltaStam::ComSalOpz_Click() {
    m_cancella = false;
    controllo(QStringLiteral("FraQualeIni"))->setProperty("title", QStringLiteral("Dove salvare"));
    c<QPushButton>(QStringLiteral("comOk"))->setText(QStringLiteral("&Salvare"));
    if (m_opz) {
        const QString cartella =
            m_opz->osFileName.isEmpty() ? QString() : QFileInfo(m_opz->osFileName).absolutePath();
        for (int i = 0; i < NumOpzioniSalvate; ++i)
            c<QLabel>(QStringLiteral("LabValParam(%1)").arg(i))
                ->setText(ValoreMostrato(*m_opz, i, Sessione().FattoreStaVid, cartella));
    }
    SelDeselSalOpz(true);
    controllo(QStringLiteral("PicSalPar"))->show();
    controllo(QStringLiteral("PicSalPar"))->raise();
}

void FrmSceltaStam::ComCancOpz_Click() {
    ComSalOpz_Click();
    m_cancella = true;
    controllo(QStringLiteral("FraQualeIni"))
        ->setProperty("title", QStringLiteral("Dove cancellare"));
    c<QPushButton>(QStringLiteral("comOk"))->setText(QStringLiteral("&Cancellare"));
}

void FrmSceltaStam::SelDeselSalOpz(bool spunta) {
    for (int i = 0; i < NumOpzioniSalvate; ++i)
        c<QCheckBox>(QStringLiteral("Che(%1)").arg(i))->setChecked(spunta);
}

void FrmSceltaStam::comOk_Click() {
    if (m_opz) {
        SceltaSalvataggio s;
        s.fileTerminale = c<QRadioButton>(QStringLiteral("OptIniPers"))->isChecked();
        s.sezioneDefault = c<QRadioButton>(QStringLiteral("OptSalInDef"))->isChecked();
        s.cancella = m_cancella;
        for (int i = 0; i < NumOpzioniSalvate; ++i)
            s.spuntate[size_t(i)] = c<QCheckBox>(QStringLiteral("Che(%1)").arg(i))->isChecked();
        SalvaOpzioniStampa(*m_opz, s);
    }
    controllo(QStringLiteral("PicSalPar"))->hide();
}

void FrmSceltaStam::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (m_misurata || !screen())
        return;
    m_misurata = true;
    const QRect schermo = screen()->availableGeometry();
    // room for the window manager's title bar and border
    const int cornice = std::max(frameGeometry().height() - height(), 32);
    const QSize voluta = sizeHint();
    const QSize misura(std::min(voluta.width(), schermo.width()),
                       std::min(voluta.height(), schermo.height() - cornice));
    resize(misura.expandedTo(minimumSizeHint()));
    if (y() + height() + cornice > schermo.bottom())
        move(x(), schermo.top());
}

bool FrmSceltaStam::eventFilter(QObject* o, QEvent* e) {
    auto* t = qobject_cast<QLineEdit*>(o);
    if (t && e->type() == QEvent::FocusIn) {
        // a page number typed over the old one, in the focus colour; the
        // box keeps the text it had on entry
        t->setProperty("Tag", t->text());
        ImpostaColoreSfondo(t, Sessione().ColoreConFocus);
        QPointer<QLineEdit> box(t);
        // after the click that brought the focus has placed the cursor
        QTimer::singleShot(0, t, [box] {
            if (box && box->hasFocus())
                box->selectAll();
        });
    } else if (t && e->type() == QEvent::FocusOut) {
        // before the box is read and its twin follows it
        ImpostaColoreSfondo(t, Sessione().ColoreSenzaFocus);
    }
    return QDialog::eventFilter(o, e);
}

void FrmSceltaStam::keyPressEvent(QKeyEvent* e) {
    if (TastoAiuto(e, this))
        return;
    const bool griglia = qobject_cast<QTableWidget*>(focusWidget()) != nullptr;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (griglia) {
            auto* gri = c<QTableWidget>(QStringLiteral("GriPri"));
            if (focusWidget() == gri)
                ScegliStampante(gri->currentRow(), false);
        } else {
            focusNextChild();
        }
        return;
    }
    if (e->key() == Qt::Key_Escape)
        return; // swallowed: the dialog closes with "&Chiudi"
    QDialog::keyPressEvent(e);
}

void FrmSceltaStam::closeEvent(QCloseEvent* e) {
    if (m_opz) {
        if ((m_opz->oiStaVid == DestStampa::File && m_opz->osFileName.isEmpty()) ||
            (m_opz->oiStaVid == DestStampa::Fissa && m_opz->osFisFileName.isEmpty())) {
            MsgBox(QStringLiteral("In caso di stampa su file è obbligatorio specificare il nome "
                                  "file."));
            e->ignore();
            return;
        }
        if (m_opz->Valore(QStringLiteral("PaginaDa")).toInt() >
            m_opz->Valore(QStringLiteral("PaginaA")).toInt()) {
            MsgBox(QStringLiteral("Selezione Pagina Da maggiore di Pagina A"));
            e->ignore();
            return;
        }
    }
    QDialog::closeEvent(e);
}

} // namespace quarvel
