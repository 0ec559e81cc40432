#include "ComponenteAiutoQt.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"

#include <QLabel>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quarvel::lookup {

namespace {

const QString Marcatore = QStringLiteral("~ç~");

bool Uguali(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

[[noreturn]] void RicercaSconosciuta(const QString& nome) {
    throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Ricerca \"%1\" non definita").arg(nome),
                 QStringLiteral("ComponenteAiuto"));
}

QVariantList Filtri(const std::optional<QVariant>& filtro) {
    if (!filtro || !filtro->isValid())
        return {};
    if (filtro->canConvert<QVariantList>() && filtro->typeId() != QMetaType::QString)
        return filtro->toList();
    return {*filtro};
}

} // namespace

ComponenteAiutoQt::ComponenteAiutoQt() = default;

ComponenteAiutoQt::~ComponenteAiutoQt() {
    delete m_finestra.data();
}

void ComponenteAiutoQt::InizializzaAiuto(QWidget*& principale, IMenuClient* menu,
                                         QObject*& condiviso, IComponenteDati* dati,
                                         const QString& risultatoConnessione,
                                         const QSqlDatabase& db, quint32 coloreNormale,
                                         quint32 coloreErrore, const QString& tipoProgramma,
                                         const QString& formatoData) {
    Q_UNUSED(principale);
    Q_UNUSED(condiviso);
    Q_UNUSED(dati);
    Q_UNUSED(risultatoConnessione);
    m_menu = menu;
    m_db = db;
    m_coloreNormale = coloreNormale;
    m_coloreErrore = coloreErrore;
    m_tipoProgramma = tipoProgramma;
    m_formatoData = formatoData;
    m_noDecInattivi.clear();
    m_colonne.clear();
}

void ComponenteAiutoQt::ImpostaOpzione(const QString& nome, int tipo, const QVariant& valore) {
    Q_UNUSED(tipo);
    m_opzioni.insert(nome.toLower(), valore);
}

FinestraAiuto* ComponenteAiutoQt::finestra() {
    if (!m_finestra) {
        m_finestra = new FinestraAiuto();
        m_finestra->impostaRichiestaMenu([this] {
            if (m_eventi)
                m_eventi->ClsMainMenuFrm();
        });
    }
    return m_finestra;
}

IFinestraAiuto* ComponenteAiutoQt::FormAiuto() {
    return finestra();
}

QStringList ComponenteAiutoQt::colonneTabella(const QString& tabella) {
    const QString k = tabella.toLower();
    auto it = m_colonne.constFind(k);
    if (it != m_colonne.constEnd())
        return *it;
    QStringList nomi;
    const QSqlRecord r = m_db.record(tabella);
    for (int i = 0; i < r.count(); ++i)
        nomi << r.fieldName(i);
    if (nomi.isEmpty()) // PostgreSQL keeps unquoted names in lower case
        for (const QSqlRecord r2 = m_db.record(k); nomi.size() < r2.count();)
            nomi << r2.fieldName(int(nomi.size()));
    if (!nomi.isEmpty())
        m_colonne.insert(k, nomi);
    return nomi;
}

QString ComponenteAiutoQt::condizioneInattivi(const Definizione& d) {
    if (!d.articoli)
        return QString();
    if (m_noDecInattivi.isEmpty()) {
        QString v;
        if (m_menu)
            v = m_menu->LeggiValore(
                NomeParametroPersonale(QStringLiteral("Articoli"), QStringLiteral("NoDecInattivi")),
                QString());
        m_noDecInattivi = v.isEmpty() || v == ValoreMancanteMenu ? QStringLiteral("N") : v;
    }
    return Uguali(m_noDecInattivi.trimmed(), QStringLiteral("S")) ? CondizioneAttivi() : QString();
}

QString ComponenteAiutoQt::condizioneInattiviTabella(const QString& tabella) {
    const Definizione* d = TrovaDefinizione(QStringLiteral("Articolo"));
    return Uguali(tabella.trimmed(), d->tabella) ? condizioneInattivi(*d) : QString();
}

OpzioniImmagine ComponenteAiutoQt::opzioniImmagine(const Definizione& d) {
    OpzioniImmagine o;
    if (d.immagine.isEmpty())
        return o;
    o.mostra = Opzione(QStringLiteral("MostraImg")).toBool();
    const QString dove = Opzione(QStringLiteral("DoveMostraImg")).toString();
    if (!dove.trimmed().isEmpty())
        o.dove = dove;
    o.colonna = Opzione(QStringLiteral("NomeColImg")).toString();
    if (o.colonna.isEmpty() || !NomeValido(o.colonna))
        o.colonna = d.immagine;
    o.cartella = Opzione(QStringLiteral("DirImgArt")).toString();
    o.rapporto = Opzione(QStringLiteral("ImgRapVertOriz")).toDouble();
    const QVariant reali = Opzione(QStringLiteral("ImgDimReali"));
    o.dimReali = reali.isValid() ? reali.toBool() : true;
    return o;
}

void ComponenteAiutoQt::segnaErrore(QWidget* controllo, bool errore) {
    if (!controllo)
        return;
    if (errore)
        ImpostaColoreSfondo(controllo, m_coloreErrore);
    else if (ColoreSfondo(controllo) == m_coloreErrore)
        ImpostaColoreSfondo(controllo, m_coloreNormale);
}

bool ComponenteAiutoQt::prepDecod(const QString& id, const QString& tabella, const QString& campo,
                                  const QVariant& valore) {
    if (!m_eventi)
        return false;
    QVariant ritorno = false;
    m_eventi->ClsPrepDecod(id, tabella, campo, valore, true, QVariant(), ritorno);
    return ritorno.toBool();
}

ComponenteAiutoQt::Esito
ComponenteAiutoQt::decodifica(const QString& tabella, const QString& chiave,
                              const QString& descrizione, const QString& codice,
                              const QStringList& campi, const QStringList& condizioni) {
    if (!NomeValido(tabella) || !NomeValido(chiave) ||
        (!descrizione.isEmpty() && !NomeValido(descrizione)))
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Tabella o campo non validi: %1.%2").arg(tabella, chiave),
                     QStringLiteral("ComponenteAiuto"));
    // the fields asked for that the table holds; the others come back empty
    const QStringList esistenti = colonneTabella(tabella);
    QStringList validi;
    QList<int> posto;
    for (const QString& c : campi) {
        bool c_ok = NomeValido(c);
        if (c_ok && !esistenti.isEmpty()) {
            c_ok = false;
            for (const QString& e : esistenti)
                c_ok = c_ok || Uguali(e, c);
        }
        posto << (c_ok ? int(validi.size()) : -1);
        if (c_ok)
            validi << c;
    }
    QString colDescr = descrizione;
    if (colDescr.isEmpty()) {
        for (const QString& e : esistenti)
            if (Uguali(e, QStringLiteral("Descrizione")))
                colDescr = QStringLiteral("Descrizione");
    }
    const QString sql = SqlDecodifica(tabella, chiave, colDescr, validi, codice, condizioni);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(TraduciSql(m_db, sql)))
        throw ErroreDaMotore(m_db, q.lastError(), QStringLiteral("ComponenteAiuto"));
    Esito e;
    if (!q.next())
        return e;
    e.trovato = true;
    e.codice = q.value(0).toString();
    e.descrizione = q.value(1).toString();
    for (int p : posto)
        e.campi << (p >= 0 ? q.value(2 + p) : QVariant());
    return e;
}

// The customers' four addresses are titled as the suite names them (the
// menu's "DescEmail..." values, else the usual names).
QHash<QString, QString> ComponenteAiutoQt::titoliColonne(const Definizione& d) const {
    QHash<QString, QString> t;
    if (d.nome.compare(QLatin1String("Conto"), Qt::CaseInsensitive) != 0)
        return t;
    const std::pair<const char*, const char*> email[] = {{"Email", "DescEmailPri"},
                                                         {"Email2", "DescEmailAmm"},
                                                         {"Email3", "DescEmailComm"},
                                                         {"Email4", "DescEmailSped"}};
    const char* predefiniti[] = {"Principale", "Amministrativo", "Commerciale", "Spedizioni"};
    for (int i = 0; i < 4; ++i) {
        QString titolo;
        if (m_menu) {
            try {
                titolo = m_menu->LeggiValore(QLatin1String(email[i].second), QString()).trimmed();
            } catch (...) {
                // the menu could not answer: the usual name
            }
        }
        t.insert(QLatin1String(email[i].first),
                 titolo.isEmpty() ? QLatin1String(predefiniti[i]) : titolo);
    }
    return t;
}

int ComponenteAiutoQt::cerca(const Definizione& d, int keyCode, const QString& testo, QWidget* form,
                             const QVariantList& filtri, const QString& campi,
                             const QString& condizione, QString* codice, QString* descrizione) {
    FinestraAiuto* f = finestra();
    Ricerca r;
    r.db = m_db;
    r.definizione = &d;
    r.colonne = ColonneLista(d, campi, colonneTabella(d.tabella));
    r.condizioni << CondizioneFiltri(d, filtri) << condizioneInattivi(d) << condizione;
    r.tipo = TipoDaTasto(keyCode, d);
    r.testo = testo;
    r.immagine = opzioniImmagine(d);
    r.coloreRicerca = m_ricerca.olColBackOk();
    r.titoli = titoliColonne(d);
    const int esito = f->esegui(r, form);
    if (esito != -1)
        return esito;
    // the whole row picked, for RetVal
    const QString sql = QStringLiteral("SELECT * FROM ") + d.tabella + QStringLiteral(" WHERE ") +
                        d.chiave + QStringLiteral(" = ") + Letterale(f->codiceScelto().toString());
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(TraduciSql(m_db, sql)))
        throw ErroreDaMotore(m_db, q.lastError(), QStringLiteral("ComponenteAiuto"));
    if (q.next())
        f->impostaRigaScelta(q.record());
    *codice = f->codiceScelto().toString();
    *descrizione = f->RetVal(d.descrizione).toString();
    return -1;
}

QVariant ComponenteAiutoQt::Aiuto(const QString& nome, QLineEdit* codice, QLabel* descrizione,
                                  int& keyCode, QWidget* form,
                                  const std::optional<QVariant>& filtro, bool& trovato, int flag,
                                  const QString& campi, const QString& testoExtra) {
    Q_UNUSED(flag);
    trovato = false;
    const Definizione* d = TrovaDefinizione(nome);
    if (!d)
        RicercaSconosciuta(nome);
    QString c, descr;
    const int esito = cerca(*d, keyCode, codice ? codice->text().trimmed() : QString(), form,
                            Filtri(filtro), campi, testoExtra, &c, &descr);
    if (esito == -1) {
        trovato = true;
        if (codice)
            codice->setText(c);
        if (descrizione)
            descrizione->setText(descr);
        segnaErrore(codice, false);
    } else if (esito == 1 && descrizione) {
        descrizione->setText(TestoInesistente);
    }
    return esito;
}

void ComponenteAiutoQt::DecodificaControlli(const QString& tabella, const QString& campoChiave,
                                            QLineEdit* codice, QLabel* descrizione, int, int, int,
                                            const QString&, QVariantList& campi,
                                            const std::optional<QVariant>&, const QString&) {
    const QString testo = codice ? codice->text().trimmed() : QString();
    if (prepDecod(tabella, tabella, campoChiave, testo))
        return;
    QStringList nomi;
    for (const QVariant& v : campi)
        nomi << v.toString();
    const Definizione* d = DefinizionePerTabella(tabella, campoChiave);
    if (testo.isEmpty()) {
        if (descrizione)
            descrizione->clear();
        segnaErrore(codice, false);
        campi = QVariantList(nomi.size());
        return;
    }
    const Esito e = decodifica(tabella, campoChiave, d ? d->descrizione : QString(), testo, nomi,
                               {condizioneInattiviTabella(tabella)});
    if (e.trovato) {
        if (descrizione)
            descrizione->setText(e.descrizione);
        segnaErrore(codice, false);
        campi = e.campi;
    } else {
        if (descrizione)
            descrizione->setText(TestoInesistente);
        segnaErrore(codice, true);
        campi = QVariantList(nomi.size());
    }
}

int ComponenteAiutoQt::AiutoGriglia(const QString& nome, const QString& campo, QVariant& valore,
                                    QString& testo, int keyCode, const QString&, int, int,
                                    const QString& definizione, const QVariant& extra1,
                                    const QVariant& extra2, const QString&) {
    const Definizione* d = TrovaDefinizione(definizione.trimmed().isEmpty() ? nome : definizione);
    if (!d)
        RicercaSconosciuta(definizione.trimmed().isEmpty() ? nome : definizione);
    const QVariantList filtri = d->livelli ? QVariantList{extra1, extra2} : QVariantList{};
    const QString codice = valore.toString().trimmed();
    if (keyCode == 112)
        return 1; // F1: no search
    if ((keyCode >= 113 && keyCode <= 123) || keyCode < 0) {
        // a grid passes no field list: the operator's own, when set
        QString campi;
        if (m_menu) {
            campi = m_menu->LeggiValore(
                NomeParametroPersonale(QStringLiteral("Help"), QStringLiteral("Campi") + nome),
                QString());
            if (campi == ValoreMancanteMenu)
                campi.clear();
        }
        QString c, descr;
        const int esito = cerca(*d, keyCode, codice, nullptr, filtri, campi, QString(), &c, &descr);
        if (esito == -1) {
            valore = c;
            testo = descr;
            return 0;
        }
        return esito == 1 ? 2 : 1;
    }
    if (prepDecod(nome, d->tabella, campo, valore))
        return 1;
    const Esito e = decodifica(d->tabella, d->chiave, d->descrizione, codice, {},
                               {CondizioneFiltri(*d, filtri), condizioneInattivi(*d)});
    if (!e.trovato) {
        testo = TestoInesistente;
        return 2;
    }
    valore = e.codice;
    testo = e.descrizione;
    return 0;
}

bool ComponenteAiutoQt::DecodificaValore(const QString& tabella, const QString& campoChiave,
                                         const QVariant& codice, QString& descrizione, int, int,
                                         const QString&, int, QVariantList* campi, const QString&) {
    const Definizione* d = DefinizionePerTabella(tabella, campoChiave);
    QStringList nomi;
    if (campi)
        for (const QVariant& v : *campi)
            nomi << v.toString();
    const Esito e =
        decodifica(tabella, campoChiave, d ? d->descrizione : QString(),
                   codice.toString().trimmed(), nomi, {condizioneInattiviTabella(tabella)});
    if (!e.trovato)
        return true;
    descrizione = e.descrizione;
    if (campi)
        *campi = e.campi;
    return false;
}

bool ComponenteAiutoQt::VerificaLivello(const QString& cosa, const QVariant& livello,
                                        QString& testo, const QVariantList& argomenti, int, int,
                                        int, const QString&, bool, const std::optional<QVariant>&,
                                        const QString&) {
    if (!Uguali(cosa, QStringLiteral("LivelloStr")))
        RicercaSconosciuta(cosa);
    const Definizione* d = TrovaDefinizione(QStringLiteral("livello"));
    const QString valore = livello.toString().trimmed();
    const int n = argomenti.value(1).toInt();
    if (valore == Marcatore || valore.isEmpty()) {
        // the marker is right exactly for a level the article does not have
        if (n != 1 && n != 2)
            return false;
        const Esito a = decodifica(
            QStringLiteral("Articoli"), QStringLiteral("Articolo"), QStringLiteral("Descrizione"),
            argomenti.value(0).toString().trimmed(), {QStringLiteral("LivGruppo%1").arg(n)}, {});
        testo.clear();
        return a.trovato && a.campi.value(0).toString().trimmed().isEmpty();
    }
    const Esito e = decodifica(d->tabella, d->chiave, d->descrizione, valore, {},
                               {CondizioneFiltri(*d, argomenti)});
    testo = e.trovato ? e.descrizione : QString();
    return e.trovato;
}

int ComponenteAiutoQt::DecodificaCampo(const QString& nome, QLineEdit* codice, QLabel* descrizione,
                                       const std::optional<QVariantList>& filtri, int,
                                       const QString&, int, QVariantList* campi,
                                       QString& condizione) {
    const Definizione* d = TrovaDefinizione(nome);
    if (!d)
        RicercaSconosciuta(nome);
    const QString testo = codice ? codice->text().trimmed() : QString();
    if (prepDecod(nome, d->tabella, d->chiave, testo))
        return 0;
    if (testo.isEmpty()) {
        if (descrizione)
            descrizione->clear();
        segnaErrore(codice, false);
        return 0;
    }
    QStringList nomi;
    if (campi)
        for (const QVariant& v : *campi)
            nomi << v.toString();
    const Esito e = decodifica(d->tabella, d->chiave, d->descrizione, testo, nomi,
                               {CondizioneFiltri(*d, filtri.value_or(QVariantList())),
                                condizioneInattivi(*d), condizione});
    if (!e.trovato) {
        if (descrizione)
            descrizione->setText(TestoInesistente);
        segnaErrore(codice, true);
        return 0;
    }
    if (codice && codice->text() != e.codice)
        codice->setText(e.codice);
    if (descrizione)
        descrizione->setText(e.descrizione);
    segnaErrore(codice, false);
    if (campi)
        *campi = e.campi;
    return -1;
}

void Registra() {
    RegistraFabbricaComponenteAiuto([]() -> IComponenteAiuto* { return new ComponenteAiutoQt; });
}

} // namespace quarvel::lookup
