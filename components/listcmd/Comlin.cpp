#include "listcmd/Comlin.h"

#include "listcmd/Motore.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QToolBar>

namespace quarvel::listcmd {

namespace {

// The counter's total (and a row's place) while the list is being counted.
const QString AttesaTotale = QStringLiteral("\u2026");

struct DefPulsante {
    const char* chiave;
    const char* testo;
    const char* suggerimento;
    char lettera; // Alt+lettera
    const char* tema;
    QStyle::StandardPixmap icona;
};

// The toolbar, left to right.
const DefPulsante Pulsanti[] = {
    {"Nuovo", "Nuovo", "Nuova riga", 'N', "document-new", QStyle::SP_FileIcon},
    {"Salva", "Salva", "Salva la riga", 'S', "document-save", QStyle::SP_DialogSaveButton},
    {"Annulla", "Annulla", "Annulla le modifiche della riga", 'A', "edit-undo",
     QStyle::SP_ArrowBack},
    {"Cancella", "Cancella", "Cancella la riga", 'C', "edit-delete", QStyle::SP_TrashIcon},
    {"Aggiorna", "Aggiorna", "Rilegge la lista", 'G', "view-refresh", QStyle::SP_BrowserReload},
    {"Cerca", "Cerca", "Cerca un valore nella colonna", 'I', "edit-find",
     QStyle::SP_FileDialogContentsView},
    {"Primo", "Prima riga", "Va alla prima riga", 'P', "go-top", QStyle::SP_MediaSkipBackward},
    {"Ultimo", "Ultima riga", "Va all'ultima riga", 'U', "go-bottom", QStyle::SP_MediaSkipForward},
    {"VaiA", "Vai a", "Va alla riga ricordata", 'V', "go-jump", QStyle::SP_ArrowForward},
    {"Stampa", "Stampa", "Stampa la lista", 'M', "document-print",
     QStyle::SP_FileDialogDetailedView},
};

} // namespace

Comlin::Comlin() = default;

Comlin::~Comlin() {
    for (const auto& c : m_connessioni)
        disconnect(c);
    for (QAction* a : std::as_const(m_pulsanti))
        if (m_toolbar)
            delete a;
}

QString Comlin::domandaCancella() {
    return QStringLiteral("Confermi la cancellazione della riga?");
}

Griglia* Comlin::griglia() const {
    return m_griglia ? dynamic_cast<Griglia*>(m_griglia->widget()) : nullptr;
}

IListaLettura* Comlin::Lista() {
    Griglia* g = griglia();
    return g ? g->lista() : nullptr;
}

IColonnaGriglia* Comlin::colonna(const QString& campo) const {
    if (!m_griglia)
        return nullptr;
    IColonnaGriglia* c = m_griglia->Colonna(campo);
    if (!c)
        throw Errore(NumErr::CampoNonTrovato,
                     QStringLiteral("Campo non trovato nella lista: %1").arg(campo),
                     QStringLiteral("Comlin"));
    return c;
}

void Comlin::setOgToolbar(QToolBar* toolbar) {
    m_toolbar = toolbar;
    creaPulsanti();
}

void Comlin::creaPulsanti() {
    if (!m_toolbar)
        return;
    for (QAction* a : std::as_const(m_pulsanti))
        delete a;
    m_pulsanti.clear();
    QStyle* stile = m_toolbar->style();
    const int lato = m_dimensioneIcone.startsWith(QLatin1Char('g'), Qt::CaseInsensitive) ? 32 : 20;
    m_toolbar->setIconSize(QSize(lato, lato));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const DefPulsante& d : Pulsanti) {
        const QString chiave = QString::fromLatin1(d.chiave);
        QIcon icona = QIcon::fromTheme(QString::fromLatin1(d.tema));
        if (icona.isNull())
            icona = stile->standardIcon(d.icona);
        auto* a = new QAction(icona, QString::fromUtf8(d.testo), m_toolbar);
        a->setObjectName(chiave);
        a->setData(chiave);
        a->setToolTip(QStringLiteral("%1 (Alt+%2)")
                          .arg(QString::fromUtf8(d.suggerimento), QChar::fromLatin1(d.lettera)));
        m_toolbar->addAction(a);
        m_pulsanti.insert(chiave, a);
    }
    // Printing comes with the print dialog; until the form hands it over the
    // button is not shown.
    m_pulsanti.value(QStringLiteral("Stampa"))->setVisible(m_frmStampa != nullptr);
    aggiornaPulsanti();
}

QAction* Comlin::Pulsante(const QString& chiave) const {
    for (auto it = m_pulsanti.begin(); it != m_pulsanti.end(); ++it)
        if (it.key().compare(chiave, Qt::CaseInsensitive) == 0)
            return it.value();
    return nullptr;
}

QString Comlin::TastoAlt(int keyCode) const {
    for (const DefPulsante& d : Pulsanti)
        if (keyCode == d.lettera && m_pulsanti.contains(QString::fromLatin1(d.chiave)))
            return QString::fromLatin1(d.chiave);
    return {};
}

void Comlin::aggiornaPulsanti() {
    const bool rw = m_abilRW != 0;
    Griglia* g = griglia();
    const bool scrivibile = g && g->modello()->scrivibile();
    const bool cambiata = g && g->DataChanged();
    auto abilita = [&](const char* k, bool si) {
        if (QAction* a = m_pulsanti.value(QString::fromLatin1(k)))
            a->setEnabled(si);
    };
    abilita("Nuovo", rw && scrivibile);
    abilita("Cancella", rw && scrivibile);
    abilita("Salva", rw && cambiata);
    abilita("Annulla", rw && cambiata);
    abilita("VaiA", !m_segnalibro.isEmpty());
}

void Comlin::setOfrmComlinSTampa(QWidget* form) {
    m_frmStampa = form;
    if (QAction* a = m_pulsanti.value(QStringLiteral("Stampa")))
        a->setVisible(m_frmStampa != nullptr);
    aggiornaPulsanti();
}

void Comlin::setOgGriglia(IGrigliaDati* g) {
    for (const auto& c : m_connessioni)
        disconnect(c);
    m_connessioni.clear();
    m_griglia = g;
    if (Griglia* gr = griglia()) {
        m_connessioni << connect(gr, &Griglia::posizioneCambiata, this, [this] {
            aggiornaContatore();
            aggiornaPulsanti();
        });
        m_connessioni << connect(gr, &Griglia::rigaModificata, this,
                                 [this] { aggiornaPulsanti(); });
        m_connessioni << connect(gr, &Griglia::listaRiletta, this, [this] { aggiornaContatore(); });
        m_connessioni << connect(gr->modello(), &ModelloRighe::totaleArrivato, this,
                                 [this] { aggiornaContatore(); });
        m_connessioni << connect(gr, &QObject::destroyed, this, [this] { m_griglia = nullptr; });
    }
}

void Comlin::setOsFormatoData(const QString& formato) {
    if (!formato.isEmpty())
        m_formatoData = formato;
    if (Griglia* g = griglia())
        g->modello()->setFormatoData(m_formatoData);
}

void Comlin::Immagini(const QString& dimensione) {
    m_dimensioneIcone = dimensione.isEmpty() ? QStringLiteral("p") : dimensione;
    if (m_toolbar) {
        const int lato =
            m_dimensioneIcone.startsWith(QLatin1Char('g'), Qt::CaseInsensitive) ? 32 : 20;
        m_toolbar->setIconSize(QSize(lato, lato));
    }
}

void Comlin::setOiAbilRW(qint16 abilita) {
    m_abilRW = abilita != 0 ? 1 : 0;
    if (m_griglia) {
        const bool rw = m_abilRW != 0;
        if (!rw && m_griglia->DataChanged())
            m_griglia->CancelUpdate();
        m_griglia->setAllowUpdate(rw);
        m_griglia->setAllowAddNew(rw);
        m_griglia->setAllowDelete(rw);
    }
    aggiornaPulsanti();
}

void Comlin::ApriSql(const QString& sql, bool, bool) {
    Griglia* g = griglia();
    if (!g)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Griglia non impostata"),
                     QStringLiteral("ApriSql"));
    QSqlDatabase db = m_db.isValid() ? m_db : g->modello()->database();
    g->modello()->setFormatoData(m_formatoData);
    g->horizontalHeader()->setSortIndicatorShown(false);
    g->apri(db, sql);
    m_sql = sql;
    m_chiavi.clear();
    if (m_dati) {
        m_dati->setDatabaseName(db.databaseName());
    }
    setOiAbilRW(m_abilRW);
    aggiornaContatore();
}

void Comlin::ColonnaChiave(int colonna) {
    if (!m_chiavi.contains(colonna))
        m_chiavi << colonna;
    if (Griglia* g = griglia()) {
        g->modello()->impostaChiaviForm(m_chiavi);
        setOiAbilRW(m_abilRW);
    }
}

void Comlin::ColonneFisse(int numero) {
    m_colonneFisse = std::max(0, numero);
    if (Griglia* g = griglia())
        g->setColonneFisse(m_colonneFisse);
}

void Comlin::Contatore(QString& primo, QString& secondo) {
    const qint64 totale = m_griglia ? m_griglia->Dati()->RecordCount() : 0;
    const int riga = m_griglia ? m_griglia->Row() : -1;
    primo = QString::number(totale);
    secondo = QString::number(totale == 0 && riga <= 0 ? 0 : riga + 1);
    // While the list is being counted: the position when it is known, the
    // total when it arrives.
    if (Griglia* g = griglia(); g && !g->modello()->totaleNoto()) {
        primo = AttesaTotale;
        if (!g->modello()->posizioneNota(std::max(riga, 0)))
            secondo = AttesaTotale;
    }
}

void Comlin::CambioRigaCol(const QVariant&, int, qint16& flag, QString& primo, QString& secondo) {
    Contatore(secondo, primo);
    flag = 0;
    aggiornaPulsanti();
}

void Comlin::aggiornaContatore() {
    if (!m_contatore)
        return;
    QString primo, secondo;
    Contatore(primo, secondo);
    m_contatore->setText(secondo + QStringLiteral(" / ") + primo);
}

int Comlin::EseguiPulsante(const QString& chiave, const QVariant& valore, bool daGriglia) {
    Griglia* g = griglia();
    if (!g)
        return 0;
    const QString k = chiave.toLower();
    const bool rw = m_abilRW != 0;
    if (k == QLatin1String("cancella")) {
        if (!rw)
            return -1;
        if (g->Row() >= g->modello()->totale()) { // the new-row line: its changes go
            if (!daGriglia)
                g->CancelUpdate();
            return daGriglia ? -1 : 0;
        }
        // "No" has the focus: Enter, pressed by habit after Delete, keeps the row.
        const int risposta = msgCom(domandaCancella(), QStringLiteral("&Sì"), QStringLiteral("&No"),
                                    std::nullopt, std::nullopt, 80, false, 600, std::nullopt, 2);
        if (risposta != 1)
            return -1;
        if (daGriglia)
            return 0;
        g->Delete();
        DopoCancella();
        return 0;
    }
    if (k == QLatin1String("nuovo")) {
        if (!rw)
            return -1;
        bool ok = false;
        const int c = valore.toInt(&ok);
        g->nuovaRiga(ok ? c : -1);
    } else if (k == QLatin1String("salva")) {
        if (rw)
            g->Update();
    } else if (k == QLatin1String("annulla")) {
        g->CancelUpdate();
    } else if (k == QLatin1String("aggiorna")) {
        AggiornaLista();
    } else if (k == QLatin1String("cerca")) {
        const int c = std::max(g->Col(), 0);
        const QString testo = InputBox(
            QStringLiteral("Valore da cercare nella colonna \"%1\"").arg(g->prop(c).titolo),
            QStringLiteral("Cerca"), m_ultimaRicerca);
        if (testo.isEmpty())
            return 0;
        m_ultimaRicerca = testo;
        const qint64 r = g->modello()->cerca(c, testo, std::max(g->Row(), 0));
        if (r < 0)
            MsgBox(QStringLiteral("Valore non trovato"), vbOKOnly | vbInformation);
        else
            g->setRow(int(r));
    } else if (k == QLatin1String("primo")) {
        g->setRow(0);
    } else if (k == QLatin1String("ultimo")) {
        g->modello()->caricaFine(); // read from the end when the total has not arrived
        g->setRow(int(std::max<qint64>(g->modello()->totale() - 1, 0)));
    } else if (k == QLatin1String("vaia")) {
        if (!m_segnalibro.isEmpty())
            g->setBookmark(m_segnalibro);
    } else if (k == QLatin1String("stampa")) {
        // the list print dialog prints through AvviaStampa
        if (auto* d = dynamic_cast<IDialogoStampaLista*>(m_frmStampa.data())) {
            d->setOgComlin(this);
            m_frmStampa->show();
            m_frmStampa->raise();
            m_frmStampa->activateWindow();
        }
    }
    aggiornaPulsanti();
    return 0;
}

IStampa* Comlin::ogSta() {
    if (!m_sta) {
        try {
            m_sta = CreaStampa();
        } catch (const Errore&) {
            return nullptr; // no print component in this program
        }
    }
    return m_sta.get();
}

void Comlin::AvviaStampa(const QString& colonne, qint16 orientamento, QFont& font) {
    IListaLettura* lista = Lista();
    IStampa* sta = ogSta();
    if (!lista || !sta)
        return;
    sta->setOfrmStampaInCorso(dynamic_cast<IStampaInCorso*>(m_frmInCorso.data()));
    RichiestaStampaLista r;
    r.colonne = colonne;
    r.orientamento = orientamento;
    r.font = font;
    r.titolo = m_form ? m_form->windowTitle() : QString();
    r.ditta = Sessione().DescrizioneDitta;
    if (m_frmStampa)
        m_frmStampa->hide();
    if (m_frmInCorso)
        m_frmInCorso->show();
    try {
        sta->StampaLista(*lista, r);
    } catch (const Errore& e) {
        if (m_frmInCorso)
            m_frmInCorso->hide();
        MsgErrfrm(e.descrizione(), QString::number(e.numero()));
        return;
    }
    if (m_frmInCorso)
        m_frmInCorso->hide();
}

void Comlin::setSegnalibro(const QString& s) {
    m_segnalibro = s;
    aggiornaPulsanti();
}

void Comlin::PrimaEditColonna(int ColIndex, int, int& Cancel) {
    if (m_abilRW == 0)
        Cancel = -1;
    else if (m_griglia) {
        IColonnaGriglia* c = m_griglia->Colonna(ColIndex);
        if (c && c->Locked())
            Cancel = -1;
    }
}

void Comlin::PrimaAggColonna(int, const QVariant&, int& Cancel) {
    if (m_abilRW == 0)
        Cancel = -1;
}

void Comlin::DopoAggColonna(int) {
    aggiornaPulsanti();
}

void Comlin::Modificata() {
    aggiornaPulsanti();
}

bool Comlin::PrimaAggRiga(bool) {
    return m_abilRW != 0;
}

void Comlin::DopoCancella() {
    aggiornaContatore();
    aggiornaPulsanti();
}

void Comlin::ErroreGriglia(int DataError, int& Response) {
    QString testo;
    const Errore e = m_griglia ? m_griglia->UltimoErrore() : Errore(0, QString());
    switch (DataError) {
    case NumErr::ChiaveDuplicata:
        testo = QStringLiteral("Impossibile salvare la riga: esiste già una riga con lo stesso "
                               "codice.");
        break;
    case NumErrLista::ValoreObbligatorio: {
        testo = QStringLiteral("Impossibile salvare la riga: manca un valore obbligatorio");
        static const QRegularExpression campoSqlite(
            QStringLiteral(R"(NOT NULL constraint failed: (?:\w+\.)?(\w+))"));
        static const QRegularExpression campoPg(QStringLiteral(R"(column \"(\w+)\")"));
        auto m = campoSqlite.match(e.descrizione());
        if (!m.hasMatch())
            m = campoPg.match(e.descrizione());
        if (m.hasMatch()) {
            QString campo = m.captured(1);
            if (m_griglia)
                if (IColonnaGriglia* c = m_griglia->Colonna(campo))
                    campo = c->Caption();
            testo += QStringLiteral(" (%1)").arg(campo);
        }
        testo += QLatin1Char('.');
        break;
    }
    case NumErrLista::RigaModificata:
        testo = QStringLiteral("La riga è stata modificata da un'altra postazione dopo che è stata "
                               "letta: le modifiche non sono state salvate.\nLa riga mostra ora i "
                               "dati aggiornati.");
        break;
    case NumErrLista::RigaCancellata:
        testo = QStringLiteral("La riga è stata cancellata da un'altra postazione: le modifiche "
                               "non sono state salvate.\nPremere \"Aggiorna\" per rileggere la "
                               "lista.");
        break;
    case NumErrLista::ValoreNonValido:
        testo = QStringLiteral("Il valore scritto non è valido per questa colonna.");
        if (!e.descrizione().isEmpty())
            testo += QLatin1Char('\n') + e.descrizione();
        break;
    default:
        testo = QStringLiteral("Impossibile salvare la riga.\nErrore(%1): %2")
                    .arg(DataError)
                    .arg(e.descrizione());
        break;
    }
    msgCom(testo, QStringLiteral("&Ok"));
    Response = 0;
}

int Comlin::Ordina(int ColIndex, QString& sql) {
    Griglia* g = griglia();
    if (!g || ColIndex < 0 || ColIndex >= g->modello()->numeroColonne())
        return 1;
    const ColonnaLista& c = g->modello()->colonna(ColIndex);
    if (!c.ordinabile)
        return 1;
    if (!g->Update()) // a pending row is written first; a refusal keeps the list
        return 0;
    const QList<TermineOrdine> attuale = TerminiOrdine(Analizza(sql).ordine);
    const bool giaCrescente =
        !attuale.isEmpty() && !attuale.first().discendente &&
        attuale.first().espressione.compare(c.espressione, Qt::CaseInsensitive) == 0;
    const QString nuovo = SostituisciOrdine(
        sql, c.espressione + (giaCrescente ? QStringLiteral(" DESC") : QString()));
    const int col = std::max(g->Col(), 0);
    g->apri(g->modello()->database(), nuovo);
    sql = nuovo;
    m_sql = nuovo;
    g->modello()->impostaChiaviForm(m_chiavi);
    setOiAbilRW(m_abilRW);
    g->horizontalHeader()->setSortIndicatorShown(true);
    g->horizontalHeader()->setSortIndicator(ColIndex, giaCrescente ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder);
    g->posizionaSilenzioso(0, col);
    aggiornaContatore();
    return 0;
}

int Comlin::NumSplit() const {
    return m_colonneFisse > 0 ? 2 : 1;
}

void Comlin::RifaiSplit() {
    if (Griglia* g = griglia())
        g->setColonneFisse(m_colonneFisse);
}

void Comlin::Ridimensiona(bool, int, int topTwips) {
    Griglia* g = griglia();
    if (!g || !m_form)
        return;
    const int top = int(std::lround(topTwips * g->logicalDpiY() / 1440.0));
    QWidget* dentro = g->parentWidget() ? g->parentWidget() : m_form.data();
    g->setGeometry(0, top, dentro->width(), std::max(0, dentro->height() - top));
}

void Comlin::AggiornaLista(bool, const QString&, int, const QString& formatoData) {
    Griglia* g = griglia();
    if (!g)
        return;
    if (!formatoData.isEmpty())
        setOsFormatoData(formatoData);
    if (g->DataChanged() && !g->Update())
        return;
    g->Refresh();
    aggiornaContatore();
    aggiornaPulsanti();
}

bool Comlin::PuoChiudere() {
    if (!m_griglia || !m_griglia->DataChanged())
        return true;
    // Enter saves, as the focused "&Sì" says; Esc cancels and the form stays.
    RichiestaMsgCom domanda;
    domanda.psLabel = QStringLiteral("La riga è stata modificata. Salvare le modifiche?");
    domanda.psCom1 = QStringLiteral("&Sì");
    domanda.pvCom2 = QStringLiteral("&No");
    domanda.pvCom3 = QStringLiteral("&Annulla");
    domanda.piComInvio = 1;
    domanda.piComEsc = 3;
    const int r = msgCom(domanda);
    if (r == 1)
        return m_griglia->Update();
    if (r == 2) {
        m_griglia->CancelUpdate();
        return true;
    }
    return false;
}

void Comlin::TitoloColonna(const QString& campo, const QString& titolo) {
    if (auto* c = colonna(campo))
        c->setCaption(titolo);
}

void Comlin::LarghezzaColonna(const QString& campo, int twips) {
    if (auto* c = colonna(campo))
        c->setWidth(twips);
}

void Comlin::BloccaColonna(const QString& campo, bool bloccata) {
    if (auto* c = colonna(campo))
        c->setLocked(bloccata);
}

void Comlin::NascondiColonna(const QString& campo) {
    if (auto* c = colonna(campo))
        c->setVisible(false);
}

void Comlin::FormatoColonna(const QString& campo, const QString& formato) {
    if (auto* c = colonna(campo))
        c->setNumberFormat(formato);
}

void Comlin::setOvLeggiPar(const QString& chiave, const QVariant& valore) {
    if (chiave.compare(QLatin1String("RisVid"), Qt::CaseInsensitive) == 0) {
        m_risVid = valore.toDouble();
    } else if (chiave.compare(QLatin1String("RisVidFatta"), Qt::CaseInsensitive) == 0) {
        m_risVidFatta = valore.toBool();
        if (m_risVidFatta && m_risVid > 0)
            if (Griglia* g = griglia())
                g->setFattoreScala(m_risVid);
    }
}

QVariant Comlin::ovLeggiPar(const QString& chiave) const {
    if (chiave.compare(QLatin1String("RisVid"), Qt::CaseInsensitive) == 0)
        return m_risVid;
    if (chiave.compare(QLatin1String("RisVidFatta"), Qt::CaseInsensitive) == 0)
        return m_risVidFatta;
    return {};
}

namespace {
IGrigliaDati* FabbricaGriglia(QWidget* genitore) {
    return new Griglia(genitore);
}
IListaComandi* FabbricaComlin() {
    return new Comlin;
}
} // namespace

void InstallaListaComandi() {
    RegistraFabbricaGriglia(&FabbricaGriglia);
    RegistraFabbricaListaComandi(&FabbricaComlin);
}

} // namespace quarvel::listcmd
