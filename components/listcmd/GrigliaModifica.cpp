// The grid's editing cycle: the cell editor opened, a cell committed or
// cancelled, the row written, cancelled or deleted, a move allowed or refused.

#include "listcmd/Griglia.h"

#include "listcmd/Motore.h"
#include "suite/FormDati.h"
#include "suite/Messaggi.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

namespace quarvel::listcmd {

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
