#include "listcmd/ListaGriglia.h"

#include "listcmd/ModelloRighe.h"

namespace quarvel::listcmd {

QVector<ColonnaLettura> ListaGriglia::colonne() const {
    QVector<ColonnaLettura> colonne;
    const ModelloRighe* m = m_modello;
    for (int i = 0; i < m->numeroColonne(); ++i) {
        ColonnaLettura c;
        c.nome = m->colonna(i).nome;
        m_disposizione(i, c);
        c.maschera = m->colonna(i).formato;
        c.tipo = m->colonna(i).tipo;
        colonne << c;
    }
    return colonne;
}

bool ListaGriglia::totaleNoto() const {
    return m_modello->totaleNoto();
}

qint64 ListaGriglia::totale() {
    ModelloRighe* m = m_modello;
    m->attendiConteggio();
    if (const Errore* e = m->erroreConteggio())
        throw *e; // not the rows read so far as the list's
    return m->totale();
}

QVector<RigaLettura> ListaGriglia::righe(qint64 da, int quante) {
    ModelloRighe* m = m_modello;
    QVector<RigaLettura> righe;
    if (!m->aperta() || da < 0 || quante <= 0)
        return righe;
    // While counting, the places past the rows known from the top are not
    // the list's yet: more rows from the top, or the count once the end
    // was read.
    while (!m->posizioneNota(da + quante - 1)) {
        const qint64 prima = m->totale();
        m->leggiAltreRighe(); // a failed read raises: no list cut short
        if (m->totale() == prima) {
            m->attendiConteggio();
            if (const Errore* e = m->erroreConteggio())
                throw *e;
            break;
        }
    }
    const qint64 fine = std::min<qint64>(da + quante, m->totale());
    const int colonne = m->numeroColonne();
    qint64 r = da;
    // The rows read from the database in one forward read; the rest (the
    // rows added since, or all of them when the list moved) as the grid has
    // them.
    righe.reserve(int(std::max<qint64>(fine - da, 0)));
    if (auto avanti = m->righeInAvanti(da, fine - da)) {
        for (ModelloRighe::Riga& valori : *avanti) {
            RigaLettura x;
            // the row's values as read (the same list type): the hidden key
            // columns after the list's own cut off, no value copied
            if (valori.size() > colonne)
                valori.resize(colonne);
            while (valori.size() < colonne)
                valori.append(QVariant());
            x.valori = std::move(valori);
            x.testi.reserve(colonne);
            for (int c = 0; c < colonne; ++c)
                x.testi.append(m->testoVisibile(x.valori.at(c), c));
            righe.append(std::move(x));
        }
        r += avanti->size();
    }
    for (; r < fine; ++r) {
        RigaLettura x;
        x.valori.reserve(colonne);
        x.testi.reserve(colonne);
        for (int c = 0; c < colonne; ++c) {
            x.valori.append(m->valore(r, c));
            x.testi.append(m->testoVisibile(x.valori.at(c), c));
        }
        righe.append(std::move(x));
    }
    return righe;
}

} // namespace quarvel::listcmd
