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

// ---- painting and the cursor's moves -------------------------------------------

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

// ---- the grid ----------------------------------------------------------------------

Griglia::Griglia(QWidget* genitore)
    : QTableView(genitore), m_modello(new ModelloRighe(this)),
      m_lista(std::make_unique<ListaGriglia>(m_modello,
                                             [this](int i, ColonnaLettura& c) {
                                                 const PropColonna& p = prop(i);
                                                 c.titolo = p.titolo;
                                                 c.larghezza = p.twips;
                                                 c.visibile = p.visibile;
                                             })),
      m_dati(this) {
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
