#include "listcmd/Griglia.h"

#include "listcmd/ListaGriglia.h"
#include "listcmd/Motore.h"
#include "suite/FormDati.h"
#include "suite/Messaggi.h"
#include "suite/Tasti.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTimer>

namespace quarvel::listcmd {

// ---- keys -------------------------------------------------------------------------

namespace {

// Current cell frame and the cell button.
class DelegatoGriglia final : public QStyledItemDelegate {
public:
    explicit DelegatoGriglia(Griglia* g) : QStyledItemDelegate(g), m_g(g) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opz, const QModelIndex& i) const override {
        QStyleOptionViewItem o = opz;
        const QModelIndex corrente = m_g->currentIndex();
        const bool rigaCorrente = corrente.isValid() && corrente.row() == i.row();
        if (rigaCorrente && m_g->rigaSelezionata())
            o.state |= QStyle::State_Selected;
        if (m_g->prop(i.column()).bloccata && !(o.state & QStyle::State_Selected))
            p->fillRect(o.rect, QColor(236, 238, 244)); // read only: a tint of its own
        if (m_g->prop(i.column()).bloccata)
            o.backgroundBrush = QBrush(QColor(236, 238, 244));
        QStyledItemDelegate::paint(p, o, i);
        if (i == corrente) {
            p->save();
            QPen pen(o.palette.highlight().color());
            pen.setWidth(2);
            p->setPen(pen);
            p->drawRect(o.rect.adjusted(1, 1, -1, -1));
            p->restore();
            if (m_g->prop(i.column()).pulsante) {
                QStyleOptionButton b;
                b.rect = m_g->rettangoloPulsante(i).translated(0, 0);
                b.rect.moveTop(o.rect.top());
                b.rect.moveRight(o.rect.right());
                b.rect.setHeight(o.rect.height());
                b.text = QStringLiteral("...");
                b.state = QStyle::State_Enabled | QStyle::State_Raised;
                m_g->style()->drawControl(QStyle::CE_PushButton, &b, p, m_g);
            }
        }
    }

private:
    Griglia* m_g;
};

class SelezioneGriglia final : public QItemSelectionModel {
public:
    SelezioneGriglia(QAbstractItemModel* m, Griglia* g) : QItemSelectionModel(m, g), m_g(g) {}
    void setCurrentIndex(const QModelIndex& i, QItemSelectionModel::SelectionFlags f) override {
        if (m_g->consentiSpostamento(currentIndex(), i))
            QItemSelectionModel::setCurrentIndex(i, f);
    }

private:
    Griglia* m_g;
};

} // namespace

// ---- columns and data control ------------------------------------------------------

QString ColonnaGriglia::DataField() const {
    return m_i < m_g->modello()->numeroColonne() ? m_g->modello()->colonna(m_i).nome : QString();
}
QString ColonnaGriglia::Caption() const {
    return m_g->prop(m_i).titolo;
}
void ColonnaGriglia::setCaption(const QString& t) {
    m_g->prop(m_i).titolo = t;
    m_g->applicaColonna(m_i);
}
int ColonnaGriglia::Width() const {
    return m_g->prop(m_i).twips;
}
void ColonnaGriglia::setWidth(int twips) {
    m_g->prop(m_i).twips = std::max(0, twips);
    m_g->applicaColonna(m_i);
}
bool ColonnaGriglia::Locked() const {
    return m_g->prop(m_i).bloccata;
}
void ColonnaGriglia::setLocked(bool b) {
    m_g->prop(m_i).bloccata = b;
    m_g->viewport()->update();
}
bool ColonnaGriglia::Visible() const {
    return m_g->prop(m_i).visibile;
}
void ColonnaGriglia::setVisible(bool v) {
    m_g->prop(m_i).visibile = v;
    m_g->applicaColonna(m_i);
}
bool ColonnaGriglia::Button() const {
    return m_g->prop(m_i).pulsante;
}
void ColonnaGriglia::setButton(bool b) {
    m_g->prop(m_i).pulsante = b;
    m_g->viewport()->update();
}
QString ColonnaGriglia::NumberFormat() const {
    return m_i < m_g->modello()->numeroColonne() ? m_g->modello()->colonna(m_i).formato : QString();
}
void ColonnaGriglia::setNumberFormat(const QString& m) {
    m_g->prop(m_i).formato = m;
    if (m_i < m_g->modello()->numeroColonne())
        m_g->modello()->colonna(m_i).formato = m;
    m_g->viewport()->update();
}
QVariant ColonnaGriglia::Value() const {
    return m_g->valoreCella(m_i);
}
void ColonnaGriglia::setValue(const QVariant& v) {
    m_g->impostaValoreCella(m_i, v);
}
QString ColonnaGriglia::Text() const {
    return m_g->testoCella(m_i);
}
void ColonnaGriglia::setText(const QString& t) {
    m_g->impostaTestoCella(m_i, t);
}
bool ColonnaGriglia::DataChanged() const {
    return m_g->cellaCambiata(m_i);
}

QString DatiRiga::RecordSource() const {
    return m_g->modello()->sql();
}
void DatiRiga::setRecordSource(const QString& sql) {
    if (sql.isEmpty())
        m_g->apri(m_g->modello()->database(), QString());
    else
        m_g->apri(m_g->modello()->database(), sql);
}
InfoCampo DatiRiga::Campo(const QString& nome) const {
    InfoCampo i;
    const ModelloRighe* m = m_g->modello();
    const int c = m->indiceColonna(nome);
    if (c < 0)
        return i;
    const ColonnaLista& col = m->colonna(c);
    i.esiste = true;
    i.tipo = col.tipo;
    i.nome = col.nome;
    i.campoSorgente = col.colonnaBase.isEmpty() ? col.nome : col.colonnaBase;
    i.tabellaSorgente = col.tabella;
    i.aggiornabile = col.aggiornabile;
    i.dimensione = col.dimensione;
    return i;
}
qint64 DatiRiga::RecordCount() const {
    return m_g->modello()->totale();
}

// ---- the grid ----------------------------------------------------------------------

Griglia::Griglia(QWidget* genitore)
    : QTableView(genitore), m_modello(new ModelloRighe(this)),
      m_lista(std::make_unique<ListaGriglia>(this)), m_dati(this) {
    setObjectName(QStringLiteral("dbgRiga"));
    setModel(m_modello);
    setSelectionModel(new SelezioneGriglia(m_modello, this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new DelegatoGriglia(this));
    setAlternatingRowColors(true);
    setWordWrap(false);
    setTabKeyNavigation(true);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(22);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        if (c >= 0)
            m_ev->HeadClick(c);
    });
    connect(verticalHeader(), &QHeaderView::sectionPressed, this, [this](int r) {
        const int c = std::max(Col(), 0);
        setCurrentIndex(m_modello->index(r, c));
        if (currentIndex().row() == r && r < m_modello->totale()) {
            m_rigaSelezionata = true;
            viewport()->update();
        }
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& cur, const QModelIndex& prec) {
                viewport()->update();
                if (m_silenzio)
                    return;
                if (cur.row() != prec.row() || cur.column() != prec.column()) {
                    m_ev->RowColChange(prec.isValid() ? QVariant(prec.row()) : QVariant(),
                                       prec.isValid() ? prec.column() : -1);
                    emit posizioneCambiata();
                }
            });
    connect(m_modello, &QAbstractItemModel::modelReset, this, [this] { rinnovaColonne(); });
    connect(m_modello, &ModelloRighe::listaSpostata, this, &Griglia::riallinea);
    connect(m_modello, &ModelloRighe::erroreLettura, this, &Griglia::erroreLettura);
}

Griglia::~Griglia() {
    m_ev = &m_nessuno;
}

void Griglia::ImpostaEventi(EventiGriglia* eventi) {
    m_ev = eventi ? eventi : &m_nessuno;
}

void Griglia::apri(const QSqlDatabase& db, const QString& sql) {
    chiudiEditor();
    m_rigaSelezionata = false;
    m_silenzio = true;
    try {
        m_modello->apri(db, sql);
    } catch (...) {
        m_silenzio = false;
        throw;
    }
    m_silenzio = false;
    posizionaSilenzioso(0, 0);
}

void Griglia::rinnovaColonne() {
    const int n = m_modello->numeroColonne();
    // Column objects keep their index for the grid's life; their properties
    // start over with each list.
    while (int(m_oggettiColonne.size()) < n)
        m_oggettiColonne.push_back(
            std::make_unique<ColonnaGriglia>(this, int(m_oggettiColonne.size())));
    // The layout stays while the list keeps its fields (a new ORDER BY, a
    // new condition); another set of fields starts it over.
    QStringList nomi;
    for (int i = 0; i < n; ++i)
        nomi << m_modello->colonna(i).nome.toLower();
    if (nomi != m_nomiColonne) {
        m_nomiColonne = nomi;
        m_prop = QVector<PropColonna>(n);
        for (int i = 0; i < n; ++i)
            m_prop[i].titolo = m_modello->colonna(i).nome;
    }
    for (int i = 0; i < n; ++i)
        m_modello->colonna(i).formato = m_prop[i].formato;
    for (int i = 0; i < n; ++i)
        applicaColonna(i);
    aggiornaFisse();
}

Griglia::PropColonna& Griglia::prop(int i) {
    if (i >= m_prop.size())
        m_prop.resize(i + 1);
    return m_prop[i];
}

double Griglia::rapportoCarattere() const {
    // The widths the forms give were drawn for the original screens' 8-point
    // font, whose letters average 5.7 pixels at 96 dpi; the font used here
    // (the desktop's, times the session's scale) is measured the same way.
    static const QString alfabeto =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double originale = 5.7 * logicalDpiX() / 96.0;
    const double media = QFontMetricsF(font()).horizontalAdvance(alfabeto) / alfabeto.size();
    return media > 0 ? media / originale : m_fattore;
}

int Griglia::larghezzaPixel(int twips) const {
    return int(std::lround(twips * logicalDpiX() / 1440.0 * rapportoCarattere()));
}

int Griglia::larghezzaTitolo(const QString& titolo) const {
    // the header's own measure of the caption, with the room it gives the
    // sort arrow once the list is sorted (as tall as the header is)
    const QHeaderView* h = horizontalHeader();
    QStyleOptionHeader opt;
    opt.initFrom(h);
    opt.text = titolo;
    opt.fontMetrics = QFontMetrics(h->font());
    opt.sortIndicator = QStyleOptionHeader::SortDown;
    const QSize sz = h->style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), h);
    return sz.width() + sz.height() + h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
}

void Griglia::applicaColonna(int i) {
    if (i < 0 || i >= m_modello->numeroColonne())
        return;
    const PropColonna& p = prop(i);
    m_modello->impostaTitolo(i, p.titolo);
    setColumnHidden(i, !p.visibile);
    if (p.visibile)
        setColumnWidth(i, p.twips > 0 ? std::max(larghezzaPixel(p.twips), larghezzaTitolo(p.titolo))
                                      : 0);
    aggiornaFisse();
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

IColonnaGriglia* Griglia::Colonna(int i) {
    if (i < 0 || i >= m_modello->numeroColonne())
        return nullptr;
    return m_oggettiColonne[i].get();
}

IColonnaGriglia* Griglia::Colonna(const QString& campo) {
    return Colonna(m_modello->indiceColonna(campo));
}

int Griglia::Col() const {
    return currentIndex().isValid() ? currentIndex().column() : -1;
}
void Griglia::setCol(int c) {
    const int r = std::max(Row(), 0);
    if (c >= 0 && c < m_modello->numeroColonne())
        setCurrentIndex(m_modello->index(r, c));
}
int Griglia::Row() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}
void Griglia::setRow(int r) {
    const int c = std::max(Col(), 0);
    if (r >= m_modello->rowCount() && !m_modello->totaleNoto())
        m_modello->attendiConteggio(); // a row past those known so far
    if (r >= 0 && r < m_modello->rowCount())
        setCurrentIndex(m_modello->index(r, c));
}
int Griglia::LeftCol() const {
    const int c = columnAt(m_colonneFisse > 0 && m_vistaFisse ? m_vistaFisse->width() + 1 : 0);
    return c < 0 ? 0 : c;
}
void Griglia::setLeftCol(int c) {
    if (c < 0 || c >= m_modello->numeroColonne())
        return;
    int x = columnViewportPosition(c) + horizontalOffset();
    if (m_colonneFisse > 0 && m_vistaFisse)
        x -= m_vistaFisse->width();
    horizontalScrollBar()->setValue(std::max(0, x));
}
int Griglia::VisibleRows() const {
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

void Griglia::setEditActive(bool attiva) {
    if (attiva && !EditActive())
        iniziaModifica(0, QString(), false);
    else if (!attiva && EditActive())
        confermaCella();
}

QString Griglia::SelText() const {
    if (m_editor)
        return m_editor->selectedText();
    return testoCella(Col());
}
void Griglia::setSelText(const QString& t) {
    if (m_editor) {
        m_editor->insert(t);
        m_cellaCambiata = true;
    }
}
int Griglia::SelStart() const {
    if (m_editor)
        return m_editor->hasSelectedText() ? m_editor->selectionStart()
                                           : m_editor->cursorPosition();
    return 0;
}
void Griglia::setSelStart(int i) {
    if (m_editor)
        m_editor->setCursorPosition(i);
}
int Griglia::SelLength() const {
    if (m_editor)
        return int(m_editor->selectedText().size());
    return int(testoCella(Col()).size());
}
void Griglia::setSelLength(int n) {
    if (m_editor)
        m_editor->setSelection(m_editor->cursorPosition(), n);
}

QVariant Griglia::Bookmark() const {
    return Row() >= 0 ? QVariant(Row()) : QVariant();
}
void Griglia::setBookmark(const QVariant& s) {
    bool ok = false;
    const int r = s.toInt(&ok);
    if (ok)
        setRow(r);
}

void Griglia::setAllowUpdate(bool si) {
    m_permettiModifica = si;
    if (!si)
        chiudiEditor();
}
void Griglia::setAllowAddNew(bool si) {
    m_permettiAggiunta = si;
    m_modello->setAggiungibile(si && m_modello->scrivibile());
}

bool Griglia::DataChanged() const {
    return m_cellaCambiata || m_modello->modificata();
}
bool Griglia::AddNewMode() const {
    return m_modello->rigaNuova();
}

QVariant Griglia::valoreCella(int col) const {
    if (m_editor && col == m_colModifica)
        return m_editor->text();
    return m_modello->valore(Row(), col);
}
QString Griglia::testoCella(int col) const {
    if (col < 0)
        return {};
    if (m_editor && col == m_colModifica)
        return m_editor->text();
    return m_modello->testoVisibile(m_modello->valore(Row(), col), col);
}
void Griglia::impostaValoreCella(int col, const QVariant& v) {
    if (col < 0 || Row() < 0)
        return;
    if (m_editor && col == m_colModifica) {
        m_editor->setText(v.typeId() == QMetaType::QString ? v.toString()
                                                           : m_modello->testoModifica(v, col));
        m_cellaCambiata = true;
        return;
    }
    m_modello->impostaValore(Row(), col, v);
    verticalHeader()->viewport()->update();
    emit rigaModificata();
}
void Griglia::impostaTestoCella(int col, const QString& t) {
    impostaValoreCella(col, t);
}
bool Griglia::cellaCambiata(int col) const {
    if (m_editor && col == m_colModifica && m_cellaCambiata)
        return true;
    return m_modello->colonnaCambiata(col);
}

QRect Griglia::rettangoloPulsante(const QModelIndex& i) const {
    const QRect r = visualRect(i);
    const int l = std::min(r.height() + 4, r.width() / 2);
    return QRect(r.right() - l + 1, r.top(), l, r.height());
}

// ---- the editing cycle ------------------------------------------------------------

bool Griglia::iniziaModifica(int keyAscii, const QString& testo, bool sostituisci) {
    const QModelIndex i = currentIndex();
    if (!i.isValid() || m_editor)
        return false;
    const int r = i.row(), c = i.column();
    const bool lineaNuova = r >= m_modello->totale();
    if (lineaNuova ? !m_permettiAggiunta : !m_permettiModifica)
        return false;
    if (prop(c).bloccata || !m_modello->scrivibile())
        return false;
    int cancel = 0;
    m_ev->BeforeColEdit(c, keyAscii, cancel);
    if (cancel)
        return false;
    if (lineaNuova && !m_modello->rigaNuova()) {
        m_modello->iniziaRiga(r);
        m_ev->OnAddNew();
        verticalHeader()->viewport()->update();
    } else {
        m_modello->iniziaRiga(r);
    }
    auto* ed = new QLineEdit;
    ed->setObjectName(QStringLiteral("dbgRigaEditor"));
    ed->setFrame(false);
    ed->setAlignment(Qt::Alignment(m_modello->data(i, Qt::TextAlignmentRole).toInt()));
    m_testoIniziale = m_modello->testoModifica(m_modello->valore(r, c), c);
    ed->setText(m_testoIniziale);
    ed->installEventFilter(this);
    if (prop(c).pulsante) {
        QAction* a = ed->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                   QLineEdit::TrailingPosition);
        a->setToolTip(QStringLiteral("Ricerca"));
        connect(a, &QAction::triggered, this, [this, c] { m_ev->ButtonClick(c); });
    }
    connect(ed, &QLineEdit::textEdited, this, [this] {
        m_cellaCambiata = true;
        m_ev->Change();
        emit rigaModificata();
    });
    m_colModifica = c;
    m_cellaCambiata = false;
    setIndexWidget(i, ed);
    m_indiceEditor = i;
    m_editor = ed;
    ed->setFocus();
    if (sostituisci) {
        ed->setText(testo);
        m_cellaCambiata = true;
        m_ev->Change();
        emit rigaModificata();
    } else {
        ed->selectAll();
    }
    return true;
}

void Griglia::chiudiEditor() {
    if (!m_editor)
        return;
    QLineEdit* ed = m_editor;
    m_editor = nullptr;
    m_colModifica = -1;
    m_cellaCambiata = false;
    const bool conFuoco = ed->hasFocus();
    ed->removeEventFilter(this);
    ed->setObjectName(QString());
    const QPersistentModelIndex i = m_indiceEditor;
    m_indiceEditor = QPersistentModelIndex();
    if (i.isValid() && indexWidget(i) == ed) {
        setIndexWidget(i, nullptr); // deletes it
    } else {
        ed->hide();
        ed->deleteLater();
    }
    if (conFuoco)
        setFocus();
    viewport()->update();
}

bool Griglia::confermaCella() {
    if (!m_editor)
        return true;
    const int c = m_colModifica;
    const int r = Row();
    if (!m_cellaCambiata) {
        chiudiEditor();
        return true;
    }
    QVariant vecchio = m_modello->valore(r, c);
    int cancel = 0;
    m_ev->BeforeColUpdate(c, vecchio, cancel);
    if (cancel) {
        if (m_editor)
            m_editor->setFocus();
        return false;
    }
    if (!m_editor) // a handler closed it
        return true;
    bool ok = false;
    const QVariant v = m_modello->daTesto(c, m_editor->text(), &ok);
    if (!ok) {
        m_ultimoErrore = Errore(NumErrLista::ValoreNonValido,
                                QStringLiteral("La colonna \"%1\" vuole %2.")
                                    .arg(prop(c).titolo, m_modello->formaAttesa(c)),
                                QStringLiteral("Griglia"));
        int risposta = 1;
        m_ev->Error(m_ultimoErrore.numero(), risposta);
        if (risposta)
            mostraErrore(m_ultimoErrore);
        if (m_editor)
            m_editor->setFocus();
        return false;
    }
    chiudiEditor();
    m_modello->impostaValore(r, c, v);
    verticalHeader()->viewport()->update();
    m_ev->AfterColUpdate(c);
    return true;
}

void Griglia::annullaCella() {
    chiudiEditor();
}

void Griglia::mostraErrore(const Errore& e) {
    MsgErrfrm(e.descrizione(), QString::number(e.numero()));
    // a damaged company file: the question of the data forms, once a session
    ChiediRiparazioneDopoErrore(e.numero());
}

void Griglia::erroreLettura(const Errore& e) {
    m_ultimoErrore = e;
    int risposta = 1;
    m_ev->Error(e.numero(), risposta);
    if (risposta)
        mostraErrore(e);
}

bool Griglia::scriviRiga() {
    if (!m_modello->inModifica())
        return true;
    if (!m_modello->modificata()) {
        m_modello->annullaRiga();
        return true;
    }
    int cancel = 0;
    m_ev->BeforeUpdate(cancel);
    if (cancel)
        return false;
    const qint64 r = m_modello->rigaModifica();
    try {
        m_modello->scriviRiga();
    } catch (const Errore& e) {
        m_ultimoErrore = e;
        int risposta = 1;
        m_ev->Error(e.numero(), risposta);
        if (risposta)
            mostraErrore(e);
        verticalHeader()->viewport()->update();
        return false;
    }
    m_ultimoErrore = Errore(0, QString());
    verticalHeader()->viewport()->update();
    if (m_modello->inModifica() == false && Row() == int(r) && r == m_modello->totale() - 1) {
        // a new row became the last of the list; the cursor stays on it
    }
    m_ev->AfterUpdate();
    emit rigaModificata();
    return true;
}

bool Griglia::consentiSpostamento(const QModelIndex& da, const QModelIndex& a) {
    if (m_silenzio)
        return true;
    if (a.isValid() && da.isValid() && a == da)
        return true;
    if (!confermaCella())
        return false;
    if (m_modello->inModifica() && (!a.isValid() || a.row() != m_modello->rigaModifica())) {
        if (!scriviRiga())
            return false;
    }
    if (!a.isValid() || !da.isValid() || a.row() != da.row())
        m_rigaSelezionata = false;
    m_postoDallaGriglia = false;
    return true;
}

void Griglia::posizionaSilenzioso(int riga, int colonna) {
    const bool prima = m_silenzio;
    m_silenzio = true;
    const int righe = m_modello->rowCount();
    const int colonne = m_modello->columnCount();
    if (righe > 0 && colonne > 0) {
        riga = std::clamp(riga, 0, righe - 1);
        colonna = std::clamp(colonna, 0, colonne - 1);
        selectionModel()->setCurrentIndex(m_modello->index(riga, colonna),
                                          QItemSelectionModel::NoUpdate);
        scrollTo(currentIndex());
    }
    m_silenzio = prima;
    m_postoDallaGriglia = true;
}

bool Griglia::Update() {
    if (!confermaCella())
        return false;
    return scriviRiga();
}

void Griglia::CancelUpdate() {
    chiudiEditor();
    const bool nuova = m_modello->rigaNuova();
    m_modello->annullaRiga();
    verticalHeader()->viewport()->update();
    if (nuova)
        viewport()->update();
}

bool Griglia::Delete() {
    const int r = Row();
    if (r < 0 || !m_permettiCancella)
        return false;
    if (r >= m_modello->totale()) { // the new-row line: its changes go
        CancelUpdate();
        return false;
    }
    int cancel = 0;
    m_ev->BeforeDelete(cancel);
    if (cancel)
        return false;
    chiudiEditor();
    if (m_modello->inModifica() && m_modello->rigaModifica() != r)
        m_modello->annullaRiga();
    const int c = std::max(Col(), 0);
    try {
        m_silenzio = true;
        m_modello->eliminaRiga(r);
        m_silenzio = false;
    } catch (const Errore& e) {
        m_silenzio = false;
        m_ultimoErrore = e;
        int risposta = 1;
        m_ev->Error(e.numero(), risposta);
        if (risposta)
            mostraErrore(e);
        return false;
    }
    m_rigaSelezionata = false;
    posizionaSilenzioso(r, c);
    m_ev->AfterDelete();
    m_ev->RowColChange(QVariant(r), c);
    emit posizioneCambiata();
    return true;
}

void Griglia::Refresh() {
    chiudiEditor();
    const int r = std::max(Row(), 0), c = std::max(Col(), 0);
    m_silenzio = true;
    try {
        m_modello->rileggi();
    } catch (...) {
        m_silenzio = false;
        throw;
    }
    m_silenzio = false;
    if (r >= m_modello->rowCount() && !m_modello->totaleNoto())
        m_modello->attendiConteggio(); // the position is past the rows read so far
    posizionaSilenzioso(r, c);
    emit listaRiletta();
    emit posizioneCambiata();
}

void Griglia::riallinea() {
    if (!m_modello->spostata())
        return;
    // The cell or row being typed into is finished first.
    if (m_editor || (m_modello->inModifica() && m_modello->modificata())) {
        QTimer::singleShot(200, this, &Griglia::riallinea);
        return;
    }
    // As "Aggiorna", the cursor staying on its row when the row is still there.
    const int c = std::max(Col(), 0);
    const QVariantList chiave = m_modello->chiaveInMemoria(std::max(Row(), 0));
    try {
        Refresh();
        if (chiave.isEmpty())
            return;
        const qint64 r = m_modello->posizioneChiave(chiave);
        if (r < 0 || r == Row())
            return;
        if (r >= m_modello->rowCount() && !m_modello->totaleNoto())
            m_modello->attendiConteggio();
        posizionaSilenzioso(int(r), c);
        emit posizioneCambiata();
    } catch (const Errore& e) {
        mostraErrore(e);
    }
}

namespace {
// One column forward (verso 1) or back (-1) out of n, wrapping to the next
// or previous row.
void PassoColonna(int& r, int& c, int verso, int n) {
    c += verso;
    if (c >= n) {
        c = 0;
        ++r;
    } else if (c < 0) {
        c = n - 1;
        --r;
    }
}
} // namespace

bool Griglia::muovi(int dr, int dc) {
    const QModelIndex i = currentIndex();
    if (!i.isValid())
        return false;
    int r = i.row() + dr, c = i.column();
    if (dc != 0) {
        // next visible column, wrapping to the next or previous row
        const int n = m_modello->columnCount();
        do
            PassoColonna(r, c, dc, n);
        while (isColumnHidden(c) && c != i.column());
    }
    r = std::clamp(r, 0, std::max(0, m_modello->rowCount() - 1));
    setCurrentIndex(m_modello->index(r, c));
    scrollTo(currentIndex());
    return currentIndex() != i;
}

bool Griglia::rigaNonScelta() const {
    const int r = Row();
    return m_postoDallaGriglia && r >= 0 && r < m_modello->totale() &&
           !(m_modello->inModifica() && m_modello->rigaModifica() == r);
}

bool Griglia::cellaScrivibile(int c) const {
    return c >= 0 && c < m_modello->numeroColonne() && !isColumnHidden(c) &&
           !(c < m_prop.size() && m_prop[c].bloccata) && m_modello->colonna(c).aggiornabile;
}

bool Griglia::invio(int verso) {
    // The value typed is checked and kept first; refused, the cursor stays
    // in the cell with the text typed.
    if (!confermaCella())
        return false;
    const QModelIndex i = currentIndex();
    if (!i.isValid())
        return false;
    // The next cell the operator can type into, row after row: the new-row
    // line at the end is one of them when rows may be added.
    const int n = m_modello->columnCount();
    const int righe = m_modello->rowCount();
    int r = i.row(), c = i.column();
    for (int passo = 0; passo < n; ++passo) {
        PassoColonna(r, c, verso, n);
        if (r >= righe && verso > 0 && m_modello->rigaNuova())
            return invioOltreRigaNuova();
        if (r < 0 || r >= righe)
            return false;
        if (!cellaScrivibile(c))
            continue;
        // Leaving the row writes it, as with the arrow keys.
        setCurrentIndex(m_modello->index(r, c));
        scrollTo(currentIndex());
        return currentIndex().row() == r && currentIndex().column() == c;
    }
    return false;
}

bool Griglia::invioOltreRigaNuova() {
    // Past the last cell of the row being added: the row is written and the
    // operator goes on typing the next one.
    if (!scriviRiga())
        return false;
    for (int c = 0; c < m_modello->numeroColonne(); ++c)
        if (cellaScrivibile(c)) {
            const int r = int(m_modello->totale());
            setCurrentIndex(m_modello->index(r, c));
            scrollTo(currentIndex());
            return currentIndex().row() == r && currentIndex().column() == c;
        }
    return false;
}

// ---- keyboard and mouse ------------------------------------------------------------

bool Griglia::tastoEditor(QKeyEvent* e) {
    int codice = CodiceTasto(e->key(), e->modifiers());
    const int shift = MascheraShift(e->modifiers());
    if (codice != 0) {
        m_ev->KeyDown(codice, shift);
        if (codice == 0 || !m_editor)
            return true;
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        invio((e->modifiers() & Qt::ShiftModifier) ? -1 : 1);
        return true;
    case Qt::Key_Escape:
        annullaCella();
        return true;
    case Qt::Key_Tab:
        muovi(0, 1);
        return true;
    case Qt::Key_Backtab:
        muovi(0, -1);
        return true;
    case Qt::Key_Up:
        muovi(-1, 0);
        return true;
    case Qt::Key_Down:
        muovi(1, 0);
        return true;
    case Qt::Key_PageUp:
        muovi(-VisibleRows(), 0);
        return true;
    case Qt::Key_PageDown:
        muovi(VisibleRows(), 0);
        return true;
    default:
        break;
    }
    const QString t = e->text();
    if (!t.isEmpty() && t.at(0).unicode() >= 32 && !(shift & 6)) {
        int ascii = t.at(0).unicode();
        m_ev->KeyPress(ascii);
        if (ascii == 0 || !m_editor)
            return true;
        if (ascii != t.at(0).unicode()) {
            m_editor->insert(QString(QChar(ascii)));
            m_cellaCambiata = true;
            m_ev->Change();
            return true;
        }
    } else if (e->key() == Qt::Key_Backspace) {
        int ascii = 8;
        m_ev->KeyPress(ascii);
        if (ascii == 0)
            return true;
    }
    return false; // the editor types it
}

bool Griglia::eventFilter(QObject* o, QEvent* e) {
    if (o == m_editor) {
        if (e->type() == QEvent::KeyPress)
            return tastoEditor(static_cast<QKeyEvent*>(e));
        if (e->type() == QEvent::KeyRelease) {
            auto* k = static_cast<QKeyEvent*>(e);
            int codice = CodiceTasto(k->key(), k->modifiers());
            if (codice != 0)
                m_ev->KeyUp(codice, MascheraShift(k->modifiers()));
            return codice == 0 && CodiceTasto(k->key(), k->modifiers()) != 0;
        }
        if (e->type() == QEvent::ShortcutOverride) {
            // the grid's own keys never become shortcuts while typing
            auto* k = static_cast<QKeyEvent*>(e);
            if (!(k->modifiers() & Qt::AltModifier)) {
                e->accept();
                return true;
            }
        }
    }
    if (m_vistaFisse && o == m_vistaFisse->viewport()) {
        if (e->type() == QEvent::MouseButtonDblClick) {
            auto* m = static_cast<QMouseEvent*>(e);
            const QModelIndex i = m_vistaFisse->indexAt(m->position().toPoint());
            if (i.isValid()) {
                setCurrentIndex(i);
                if (currentIndex() == i)
                    iniziaModifica(0, QString(), false);
            }
            return true;
        }
    }
    return QTableView::eventFilter(o, e);
}

void Griglia::keyPressEvent(QKeyEvent* e) {
    int codice = CodiceTasto(e->key(), e->modifiers());
    const int shift = MascheraShift(e->modifiers());
    if (codice != 0) {
        m_ev->KeyDown(codice, shift);
        if (codice == 0) {
            e->accept();
            return;
        }
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        invio((e->modifiers() & Qt::ShiftModifier) ? -1 : 1);
        return;
    case Qt::Key_Tab:
        muovi(0, 1);
        return;
    case Qt::Key_Backtab:
        muovi(0, -1);
        return;
    case Qt::Key_Escape:
        if (m_modello->inModifica()) {
            const bool nuova = m_modello->rigaNuova();
            CancelUpdate();
            // a new row dropped: the cursor goes back to its first cell, where
            // the next one begins
            if (nuova && Row() >= m_modello->totale())
                for (int c = 0; c < m_modello->numeroColonne(); ++c)
                    if (cellaScrivibile(c)) {
                        setCol(c);
                        break;
                    }
        }
        return;
    case Qt::Key_F2:
        iniziaModifica(0, QString(), false);
        return;
    case Qt::Key_Menu:
        menuColonna(visualRect(currentIndex()).center());
        return;
    case Qt::Key_F10:
        if (shift == 1) { // Shift+F10, as the menu key: the column's menu
            menuColonna(visualRect(currentIndex()).center());
            return;
        }
        break;
    case Qt::Key_Delete:
        if (m_rigaSelezionata)
            Delete();
        return;
    case Qt::Key_Backspace:
        if (shift == 0 && !rigaNonScelta())
            iniziaModifica(8, QString(), true);
        return;
    case Qt::Key_End:
        if (e->modifiers() & Qt::ControlModifier) {
            try {
                m_modello->caricaFine(); // the last row, before the count arrives
            } catch (const Errore& errore) {
                erroreLettura(errore);
                return;
            }
        }
        break;
    default:
        break;
    }
    const QString t = e->text();
    if (!t.isEmpty() && t.at(0).unicode() >= 32 && !(shift & 6)) {
        int ascii = t.at(0).unicode();
        m_ev->KeyPress(ascii);
        if (ascii == 0)
            return;
        if (rigaNonScelta()) {
            // Typing where the grid, not the operator, put the cursor (the
            // list opened, read again, a row deleted) never changes a saved
            // row: what is typed begins a new one.
            if (nuovaRiga(-1) && m_editor) {
                m_editor->setText(QString(QChar(ascii)));
                m_cellaCambiata = true;
                m_ev->Change();
                emit rigaModificata();
            }
            return;
        }
        iniziaModifica(ascii, QString(QChar(ascii)), true);
        return;
    }
    QTableView::keyPressEvent(e);
}

void Griglia::keyReleaseEvent(QKeyEvent* e) {
    int codice = CodiceTasto(e->key(), e->modifiers());
    if (codice != 0)
        m_ev->KeyUp(codice, MascheraShift(e->modifiers()));
    QTableView::keyReleaseEvent(e);
}

void Griglia::mousePressEvent(QMouseEvent* e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    if (!i.isValid() || e->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(e);
        return;
    }
    const bool giaCorrente = i == currentIndex();
    if (!giaCorrente) {
        setCurrentIndex(i);
        if (currentIndex() != i) { // refused: the cursor stays, the editor keeps its text
            if (m_editor)
                m_editor->setFocus();
            return;
        }
    }
    setFocus();
    if (prop(i.column()).pulsante && rettangoloPulsante(i).contains(e->position().toPoint())) {
        m_ev->ButtonClick(i.column());
        return;
    }
    if (giaCorrente && !m_editor)
        iniziaModifica(0, QString(), false);
}

void Griglia::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    if (i.isValid() && i == currentIndex() && !m_editor &&
        !(prop(i.column()).pulsante && rettangoloPulsante(i).contains(e->position().toPoint())))
        iniziaModifica(0, QString(), false);
}

// ---- frozen columns and scaling ----------------------------------------------------

void Griglia::setColonneFisse(int n) {
    n = std::max(0, std::min(n, m_modello->numeroColonne() - 1));
    if (n == m_colonneFisse)
        return;
    m_colonneFisse = n;
    if (n > 0 && !m_vistaFisse) {
        m_vistaFisse = new QTableView(this);
        m_vistaFisse->setObjectName(QStringLiteral("dbgRigaFisse"));
        m_vistaFisse->setModel(m_modello);
        m_vistaFisse->setSelectionModel(selectionModel());
        m_vistaFisse->setItemDelegate(itemDelegate());
        m_vistaFisse->setFocusPolicy(Qt::NoFocus);
        m_vistaFisse->setSelectionMode(QAbstractItemView::NoSelection);
        m_vistaFisse->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_vistaFisse->setAlternatingRowColors(true);
        m_vistaFisse->verticalHeader()->hide();
        m_vistaFisse->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_vistaFisse->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_vistaFisse->verticalHeader()->setDefaultSectionSize(
            verticalHeader()->defaultSectionSize());
        m_vistaFisse->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_vistaFisse->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_vistaFisse->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        m_vistaFisse->setFrameShape(QFrame::NoFrame);
        m_vistaFisse->setStyleSheet(QStringLiteral("QTableView { border-right: 2px solid gray; }"));
        m_vistaFisse->viewport()->installEventFilter(this);
        connect(m_vistaFisse->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this](int c) { m_ev->HeadClick(c); });
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged,
                m_vistaFisse->verticalScrollBar(), &QAbstractSlider::setValue);
    }
    aggiornaFisse();
    m_ev->SplitChange();
}

void Griglia::aggiornaFisse() {
    if (!m_vistaFisse)
        return;
    if (m_colonneFisse <= 0) {
        m_vistaFisse->hide();
        return;
    }
    int larghezza = 0;
    for (int c = 0; c < m_modello->columnCount(); ++c) {
        const bool fissa = c < m_colonneFisse;
        m_vistaFisse->setColumnHidden(c, !fissa || isColumnHidden(c));
        if (fissa && !isColumnHidden(c)) {
            m_vistaFisse->setColumnWidth(c, columnWidth(c));
            larghezza += columnWidth(c);
        }
    }
    m_vistaFisse->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), larghezza,
                              viewport()->height() + horizontalHeader()->height());
    m_vistaFisse->verticalScrollBar()->setValue(verticalScrollBar()->value());
    m_vistaFisse->show();
    m_vistaFisse->raise();
}

void Griglia::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    aggiornaFisse();
}

void Griglia::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange && m_modello) {
        // the designed widths follow the font
        horizontalHeader()->setFont(font());
        for (int i = 0; i < m_modello->numeroColonne(); ++i)
            applicaColonna(i);
    }
}

void Griglia::contextMenuEvent(QContextMenuEvent* e) {
    if (e->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex i = indexAt(e->pos());
        if (i.isValid() && i.column() != Col())
            setCol(i.column());
        menuColonna(e->pos());
    } else {
        menuColonna(visualRect(currentIndex()).center());
    }
    e->accept();
}

void Griglia::menuColonna(const QPoint& dove) {
    // What a click on the column's title does, from the keyboard: the menu
    // key or Shift+F10, then Enter (or O).
    const int c = Col();
    if (c < 0 || c >= m_modello->numeroColonne())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menuColonna"));
    QString titolo = prop(c).titolo;
    titolo.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* ordina = menu.addAction(QStringLiteral("&Ordina per \"%1\"").arg(titolo));
    ordina->setObjectName(QStringLiteral("ordina"));
    menu.setActiveAction(ordina);
    if (menu.exec(viewport()->mapToGlobal(dove)) == ordina) {
        m_ev->HeadClick(c);
        setFocus(); // the keyboard goes on in the list
    }
}

void Griglia::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (m_vistaFisse)
        m_vistaFisse->viewport()->update();
}

void Griglia::setFattoreScala(double f) {
    if (f <= 0)
        return;
    const double rapporto = f / m_fattore;
    m_fattore = f;
    QFont font = this->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * rapporto);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * rapporto))));
    setFont(font);
    horizontalHeader()->setFont(font);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    for (int i = 0; i < m_modello->numeroColonne(); ++i)
        applicaColonna(i);
}

} // namespace quarvel::listcmd

namespace quarvel::listcmd {

bool Griglia::nuovaRiga(int colonna) {
    if (!m_permettiAggiunta || !m_modello->aggiungibile())
        return false;
    if (colonna < 0 || colonna >= m_modello->numeroColonne() || isColumnHidden(colonna) ||
        prop(colonna).bloccata) {
        colonna = -1;
        for (int c = 0; c < m_modello->numeroColonne(); ++c)
            if (!isColumnHidden(c) && !prop(c).bloccata) {
                colonna = c;
                break;
            }
        if (colonna < 0)
            return false;
    }
    // Going there may read more rows (a list still being counted): the
    // new-row line moves down with them, and so does the cursor on it.
    setCurrentIndex(m_modello->index(int(m_modello->totale()), colonna));
    for (int i = 0; i < 8 && currentIndex().row() != int(m_modello->totale()); ++i)
        setCurrentIndex(m_modello->index(int(m_modello->totale()), colonna));
    if (currentIndex().row() != int(m_modello->totale()))
        return false;
    scrollTo(currentIndex());
    setFocus();
    return iniziaModifica(0, QString(), false);
}

} // namespace quarvel::listcmd
