// The grid's columns and its data control as the forms see them: each
// property read from or written to the grid that keeps it.

#include "listcmd/Griglia.h"

#include "listcmd/Motore.h"

namespace quarvel::listcmd {

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

} // namespace quarvel::listcmd
