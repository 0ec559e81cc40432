#include "FinestraAiuto.h"

#include "listcmd/ModelloRighe.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"

#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QWindow>

namespace quarvel::lookup {

namespace {
constexpr double TwipsPerPixel = 15.0;
// The list is counted once the operator stops typing for this long.
constexpr int PausaConteggio = 300;
QStringList CondizioniTesto(const Ricerca& r);
} // namespace

FinestraAiuto::FinestraAiuto(QWidget* genitore)
    : QDialog(genitore), m_modello(new listcmd::ModelloRighe(this)), m_vista(new QTableView(this)),
      m_testo(new QLineEdit(this)), m_titolo(new QLabel(this)), m_immagine(new QLabel(this)),
      m_tasti(new QLabel(this)), m_griglia(new QGridLayout(this)) {
    setObjectName(QStringLiteral("FormAiuto"));
    setWindowTitle(QStringLiteral("Aiuto"));
    m_testo->setObjectName(QStringLiteral("txtRicerca"));
    m_titolo->setObjectName(QStringLiteral("labRicerca"));
    m_immagine->setObjectName(QStringLiteral("imgArticolo"));
    m_vista->setObjectName(QStringLiteral("dbgAiuto"));
    m_tasti->setObjectName(QStringLiteral("labTasti"));
    m_tasti->setText(QStringLiteral("F2 codice   F3 descrizione   F4 codice a barre   "
                                    "Invio sceglie   Esc chiude"));
    m_immagine->setAlignment(Qt::AlignCenter);
    m_immagine->setFrameShape(QFrame::StyledPanel);
    m_immagine->hide();
    m_modello->setRitardoConteggio(PausaConteggio);
    // the same tables read again at each character typed
    m_modello->setTabelleStabili(true);
    m_vista->setModel(m_modello);
    m_vista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_vista->setSelectionMode(QAbstractItemView::SingleSelection);
    m_vista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_vista->verticalHeader()->hide();
    m_vista->verticalHeader()->setDefaultSectionSize(m_vista->fontMetrics().height() + 6);
    m_vista->horizontalHeader()->setStretchLastSection(true);
    m_vista->installEventFilter(this);
    m_testo->installEventFilter(this);
    connect(m_testo, &QLineEdit::textEdited, this, &FinestraAiuto::testoCambiato);
    // a window of rows read on scrolling, or the count, that fails is told
    connect(m_modello, &listcmd::ModelloRighe::erroreLettura, this, [](const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    });
    connect(m_vista->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { mostraImmagine(); });
    connect(m_vista, &QTableView::doubleClicked, this, [this](const QModelIndex&) { scegli(); });
    connect(m_modello, &QAbstractItemModel::modelReset, this, [this] {
        if (m_modello->rowCount() > 0)
            m_vista->setCurrentIndex(m_modello->index(0, 0));
        mostraImmagine();
    });
    m_griglia->addWidget(m_titolo, 0, 0, 1, 3);
    m_griglia->addWidget(m_testo, 1, 0, 1, 3);
    m_griglia->addWidget(m_vista, 3, 1);
    m_griglia->addWidget(m_tasti, 5, 0, 1, 3);
    m_fontBase = font();
    m_par.setOvLeggiPar(QStringLiteral("RetZeroRec"), qint16(0));
    m_par.setOvLeggiPar(QStringLiteral("MostraImg"), false);
    for (const char* m : {"MargSopra", "MargSotto", "MargSin", "MargDestra"})
        m_lista.setOvLeggiPar(QString::fromLatin1(m), 0);
    m_lista.setOvLeggiPar(QStringLiteral("ForzaPassThrough"), false);
}

FinestraAiuto::~FinestraAiuto() = default;

QVariant FinestraAiuto::RetVal(const QString& campo) const {
    const int i = m_riga.indexOf(campo);
    if (i >= 0)
        return m_riga.value(i);
    for (int c = 0; c < m_riga.count(); ++c)
        if (m_riga.fieldName(c).compare(campo, Qt::CaseInsensitive) == 0)
            return m_riga.value(c);
    return QVariant();
}

int FinestraAiuto::esegui(const Ricerca& r, QWidget* form) {
    if (isVisible())
        return 0; // a lookup asked for while one is open: nothing picked
    m_r = r;
    m_codice = QVariant();
    m_riga = QSqlRecord();
    m_testo->setText(r.testo);
    ImpostaColoreSfondo(m_testo, r.coloreRicerca);
    m_titolo->setText(TitoloRicerca(r.tipo));
    m_modello->apri(r.db, SqlLista(*r.definizione, r.tipo, r.colonne,
                                   QStringList(r.condizioni) << CondizioniTesto(r))); // raises
    titola();
    if (m_par.ovLeggiPar(QStringLiteral("RetZeroRec")).toInt() == 1 && m_modello->rowCount() == 0) {
        m_modello->apri(r.db, QString());
        return 1;
    }
    disponi();
    // Over the form that asked, never its child: the one window outlives
    // every form (the session keeps it).
    setWindowModality(Qt::ApplicationModal);
    if (form && form->window() != this) {
        QWidget* sopra = form->window();
        winId();
        if (windowHandle() && sopra->windowHandle())
            windowHandle()->setTransientParent(sopra->windowHandle());
        move(sopra->geometry().center() - rect().center());
    }
    m_testo->setFocus();
    m_testo->end(false);
    const int esito = exec();
    m_modello->apri(r.db, QString()); // the count stops, nothing kept
    return esito == QDialog::Accepted ? -1 : 0;
}

void FinestraAiuto::titola() {
    for (auto it = m_r.titoli.cbegin(); it != m_r.titoli.cend(); ++it)
        m_modello->impostaTitolo(m_modello->indiceColonna(it.key()), it.value());
}

void FinestraAiuto::disponi() {
    const double f = m_fattore > 0 ? m_fattore : 1.0;
    QFont font = m_fontBase;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(m_fontBase.pointSizeF() * f);
    setFont(font);
    m_vista->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    for (int c = 0; c < m_modello->columnCount(); ++c) {
        const QString nome = m_modello->colonna(c).nome;
        const bool img = !m_r.immagine.colonna.isEmpty() &&
                         nome.compare(m_r.immagine.colonna, Qt::CaseInsensitive) == 0;
        const bool nascosta =
            img || (m_r.definizione && !m_r.definizione->immagine.isEmpty() &&
                    nome.compare(m_r.definizione->immagine, Qt::CaseInsensitive) == 0);
        m_vista->setColumnHidden(c, nascosta);
        const bool descrizione =
            m_r.definizione && nome.compare(m_r.definizione->descrizione, Qt::CaseInsensitive) == 0;
        m_vista->setColumnWidth(c, int((c == 0 ? 110 : descrizione ? 280 : 120) * f));
    }
    // the picture in the margin of its side
    m_griglia->removeWidget(m_immagine);
    const bool mostra = m_r.immagine.mostra && !m_r.immagine.colonna.isEmpty() &&
                        m_par.ovLeggiPar(QStringLiteral("MostraImg")).toBool();
    if (mostra) {
        const QString d = m_r.immagine.dove.trimmed().toUpper();
        if (d == QLatin1String("A"))
            m_griglia->addWidget(m_immagine, 2, 1);
        else if (d == QLatin1String("B"))
            m_griglia->addWidget(m_immagine, 4, 1);
        else if (d == QLatin1String("S"))
            m_griglia->addWidget(m_immagine, 3, 0);
        else
            m_griglia->addWidget(m_immagine, 3, 2);
        m_immagine->setFixedSize(stanza());
        m_immagine->show();
    } else {
        m_immagine->hide();
    }
    const QSize base(int(720 * f), int(440 * f));
    QSize s = base;
    if (mostra) {
        const QString d = m_r.immagine.dove.trimmed().toUpper();
        if (d == QLatin1String("A") || d == QLatin1String("B"))
            s.rheight() += stanza().height();
        else
            s.rwidth() += stanza().width();
    }
    if (const QScreen* schermo = screen())
        s = s.boundedTo(schermo->availableGeometry().size());
    resize(s);
    mostraImmagine();
}

QSize FinestraAiuto::stanza() const {
    const double f = m_fattore > 0 ? m_fattore : 1.0;
    const QString d = m_r.immagine.dove.trimmed().toUpper();
    auto px = [&](const char* margine) {
        return qMax(16, int(m_lista.ovLeggiPar(QString::fromLatin1(margine)).toDouble() /
                            TwipsPerPixel * f));
    };
    const double rapporto = m_r.immagine.rapporto;
    if (d == QLatin1String("A") || d == QLatin1String("B")) {
        const int h = px(d == QLatin1String("A") ? "MargSopra" : "MargSotto");
        const int w = rapporto > 0 ? int(h / rapporto) : int(720 * f);
        return QSize(qMax(16, w), h);
    }
    const int w = px(d == QLatin1String("S") ? "MargSin" : "MargDestra");
    const int h = rapporto > 0 ? int(w * rapporto) : int(380 * f);
    return QSize(w, qMax(16, h));
}

void FinestraAiuto::mostraImmagine() {
    if (m_immagine->isHidden())
        return;
    m_immagine->clear();
    const QModelIndex i = m_vista->currentIndex();
    const int c = m_modello->indiceColonna(m_r.immagine.colonna);
    if (!i.isValid() || c < 0) {
        m_immagine->setText(QStringLiteral("Nessuna immagine"));
        return;
    }
    const QString nome = m_modello->valore(i.row(), c).toString().trimmed();
    if (nome.isEmpty()) {
        m_immagine->setText(QStringLiteral("Nessuna immagine"));
        return;
    }
    QString file = PercorsoLocale(nome);
    if (QFileInfo(file).isRelative() && !m_r.immagine.cartella.isEmpty())
        file = UnisciPercorso(PercorsoLocale(m_r.immagine.cartella), file);
    QPixmap p(file);
    if (p.isNull()) {
        m_immagine->setText(QStringLiteral("Immagine non trovata:\n%1").arg(nome));
        return;
    }
    if (!m_r.immagine.dimReali || p.width() > m_immagine->width() ||
        p.height() > m_immagine->height())
        p = p.scaled(m_immagine->size() - QSize(4, 4), Qt::KeepAspectRatio,
                     Qt::SmoothTransformation);
    m_immagine->setPixmap(p);
}

namespace {

// Below this many rows holding the typed words the search goes through the
// index of the descriptions' words; with more, the list in code order meets
// its first rows soon without it.
constexpr int RigheIndice = 1000;

// The rows in code order the search tries first: when at least
// MinimoCampione of them hold the words, the list in code order meets the
// first screen of rows within some tens of thousands of rows (a few
// milliseconds), and the list is read so.  Fewer: the words are rare, and
// the index finds their rows faster.
constexpr int Campione = 5000;
constexpr int MinimoCampione = 8;

// The index of the descriptions' words the company has.
IndiceParole IndiceDitta(const QSqlDatabase& db) {
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QSQLITE")) {
        if (q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' And name = "
                                  "'ArticoliDescr' COLLATE NOCASE")) &&
            q.next())
            return IndiceParole::TabellaTrigrammi;
    } else if (db.driverName() == QLatin1String("QPSQL") ||
               db.driverName() == QLatin1String("QODBC")) {
        if (q.exec(QStringLiteral("SELECT 1 FROM pg_class WHERE relname = "
                                  "'articoli_descrizione_trgm' And relkind = 'i' And "
                                  "pg_table_is_visible(oid)")) &&
            q.next())
            return IndiceParole::IndiceTrigrammi;
    }
    return IndiceParole::Nessuno;
}

// The typed words of one character the trigram table can find: when it
// holds each description between two blanks, every word beginning with the
// character begins with one of the index's trigrams of a blank and the
// character, read from the index's vocabulary.  None when the table is of the
// older kind (a word of one character closing a description has no trigram
// there) or its vocabulary cannot be read.
TrigrammiBrevi Brevi(const QSqlDatabase& db, const QString& testo) {
    TrigrammiBrevi brevi;
    QStringList caratteri;
    for (const QString& parola : testo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString c = ParolaBreve(parola);
        if (!c.isEmpty() && !caratteri.contains(c))
            caratteri << c;
    }
    if (caratteri.isEmpty())
        return brevi;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'trigger' And name = "
                           "'ArticoliDescr_ins' And sql LIKE '%Descrizione || '' '' WHERE%'")) ||
        !q.next())
        return brevi;
    q.finish();
    if (!q.exec(SqlVocabolario()))
        return brevi;
    for (const QString& c : caratteri) {
        if (!q.exec(SqlTrigrammiBrevi(c)))
            return TrigrammiBrevi();
        QStringList trigrammi;
        while (q.next())
            trigrammi << q.value(0).toString();
        if (q.lastError().isValid())
            return TrigrammiBrevi();
        brevi.insert(c, trigrammi);
    }
    return brevi;
}

// The conditions of the typed text.  A description search of the articles
// first counts the rows holding the words among the first rows in code
// order: when many do, the list is read in code order, stopping at the rows
// shown (on PostgreSQL with a condition the server does not weigh, so that
// it never guesses a few rows and sorts the whole table).  Else the words
// are rare and the search goes through the index of the descriptions' words:
// on SQLite the index's rows are added to the search's condition, when few
// rows hold the words the index can find (a rare pair of common words is
// still met sooner in code order); on PostgreSQL the server reads the codes
// of the rows from its trigram index and then those rows alone.
QStringList CondizioniTesto(const Ricerca& r) {
    const QString ricerca = CondizioneRicerca(*r.definizione, r.tipo, r.testo);
    if (r.tipo != TipoRicerca::Descrizione || ricerca.isEmpty() ||
        IndiceDisponibile(*r.definizione, IndiceParole::TabellaTrigrammi) == IndiceParole::Nessuno)
        return {ricerca};
    const IndiceParole indice = IndiceDitta(r.db);
    if (indice == IndiceParole::Nessuno)
        return {ricerca};
    const QString perCodice = indice == IndiceParole::IndiceTrigrammi
                                  ? CondizioneParoleServer(*r.definizione, r.testo)
                                  : ricerca;
    QSqlQuery q(r.db);
    q.setForwardOnly(true);
    if (!q.exec(SqlCampione(*r.definizione, perCodice, Campione)) || !q.next() ||
        q.value(0).toLongLong() >= MinimoCampione)
        return {perCodice};
    q.finish();
    const TrigrammiBrevi brevi =
        indice == IndiceParole::TabellaTrigrammi ? Brevi(r.db, r.testo) : TrigrammiBrevi();
    const QString indicizzata = CondizioneIndice(*r.definizione, indice, r.testo, brevi);
    if (indicizzata.isEmpty())
        return {perCodice}; // no typed word the index can find
    if (indice == IndiceParole::IndiceTrigrammi)
        return {indicizzata};
    const QString conta = SqlContaIndice(*r.definizione, indice, r.testo, RigheIndice, brevi);
    if (!q.exec(conta) || !q.next())
        return {ricerca}; // an index that cannot be read: the search without it
    return q.value(0).toLongLong() < RigheIndice ? QStringList{ricerca, indicizzata}
                                                 : QStringList{ricerca};
}

} // namespace

void FinestraAiuto::leggi() {
    const QString sql = SqlLista(*m_r.definizione, m_r.tipo, m_r.colonne,
                                 QStringList(m_r.condizioni) << CondizioniTesto(m_r));
    try {
        m_modello->apri(m_r.db, sql);
        titola();
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
}

void FinestraAiuto::testoCambiato(const QString& t) {
    m_r.testo = t;
    leggi();
}

void FinestraAiuto::cambiaTipo(TipoRicerca t) {
    if (t == TipoRicerca::Barcode && m_r.definizione->barcode.isEmpty())
        return;
    m_r.tipo = t;
    m_titolo->setText(TitoloRicerca(t));
    leggi();
}

void FinestraAiuto::scegli() {
    const QModelIndex i = m_vista->currentIndex();
    if (!i.isValid())
        return;
    m_codice = m_modello->valore(i.row(), 0);
    accept();
}

void FinestraAiuto::ButtonComando(const QString& chiave) {
    if (chiave.compare(QLatin1String("Aggiorna"), Qt::CaseInsensitive) == 0 && isVisible())
        leggi();
}

void FinestraAiuto::ChiudiAiuto() {
    if (isVisible())
        reject();
}

bool FinestraAiuto::tasto(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        scegli();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_F1:
        return true; // no help topic of its own
    case Qt::Key_F2:
        cambiaTipo(TipoRicerca::Codice);
        return true;
    case Qt::Key_F3:
        cambiaTipo(TipoRicerca::Descrizione);
        return true;
    case Qt::Key_F4:
        cambiaTipo(TipoRicerca::Barcode);
        return true;
    case Qt::Key_M:
        if (ctrl) {
            if (m_menu)
                m_menu();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool FinestraAiuto::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (tasto(k))
            return true;
        if (o == m_testo) {
            switch (k->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                QKeyEvent copia(k->type(), k->key(), k->modifiers(), k->text());
                QApplication::sendEvent(m_vista, &copia);
                return true;
            }
            default:
                break;
            }
        }
        if (o == m_vista && !k->text().isEmpty() && k->text().at(0).isPrint()) {
            // typing in the list goes on in the search box
            m_testo->setFocus();
            QApplication::sendEvent(m_testo, k);
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void FinestraAiuto::keyPressEvent(QKeyEvent* e) {
    if (tasto(e))
        return;
    QDialog::keyPressEvent(e);
}

} // namespace quarvel::lookup
