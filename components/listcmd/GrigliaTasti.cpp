// The grid's keys and mouse: moves of the cursor, Enter and Tab, the keys
// typed into the cell editor, clicks on a cell and its button.

#include "listcmd/Griglia.h"

#include "listcmd/Motore.h"
#include "suite/Tasti.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

namespace quarvel::listcmd {

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
        annullaRigaDaTastiera();
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
        carattereDigitato(t.at(0).unicode());
        return;
    }
    QTableView::keyPressEvent(e);
}

void Griglia::annullaRigaDaTastiera() {
    if (!m_modello->inModifica())
        return;
    const bool nuova = m_modello->rigaNuova();
    CancelUpdate();
    // a new row dropped: the cursor goes back to its first cell, where the
    // next one begins
    if (nuova && Row() >= m_modello->totale())
        for (int c = 0; c < m_modello->numeroColonne(); ++c)
            if (cellaScrivibile(c)) {
                setCol(c);
                break;
            }
}

void Griglia::carattereDigitato(int ascii) {
    m_ev->KeyPress(ascii);
    if (ascii == 0)
        return;
    if (rigaNonScelta()) {
        // Typing where the grid, not the operator, put the cursor (the list
        // opened, read again, a row deleted) never changes a saved row: what
        // is typed begins a new one.
        if (nuovaRiga(-1) && m_editor) {
            m_editor->setText(QString(QChar(ascii)));
            m_cellaCambiata = true;
            m_ev->Change();
            emit rigaModificata();
        }
        return;
    }
    iniziaModifica(ascii, QString(QChar(ascii)), true);
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

} // namespace quarvel::listcmd
