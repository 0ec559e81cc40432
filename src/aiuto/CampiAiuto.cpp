#include "CampiAiuto.h"

#include "config/ParametriIni.h"
#include "desktop/ServiziSistema.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/Errore.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

namespace quarvel {

namespace {

constexpr double TwipsPerPixel = 15.0;

// Ratio, real size, position and room: read at the first lookup that needs
// them and kept.
struct OpzioniImmagini {
    double rapporto = 0;
    bool dimReali = true;
    QString dove; // empty: not read yet
    int spazio = 0;
};

OpzioniImmagini& Immagini() {
    static OpzioniImmagini o;
    return o;
}

bool Uguali(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Personale(const QString& sezione, const QString& chiave, const QString& predefinito) {
    return LeggiParametroPersonale(sezione, chiave, QVariant(predefinito)).toString();
}

// Runs one preparation step; its errors are the preparation's own and are
// ignored: the lookup opens with what could be prepared.
template <typename F> void Ignorando(F&& passo) {
    try {
        passo();
    } catch (...) {
        // An option the component or the parameters refuse leaves the lookup
        // as it was; the operator still gets the list.
    }
}

void MostraImg(IComponenteAiuto* c, bool si) {
    c->ImpostaOpzione(QStringLiteral("MostraImg"), 12, si);
    c->FormAiuto()->setOvLeggiPar(QStringLiteral("MostraImg"), si);
}

void AzzeraMargini(IComponenteAiuto* c) {
    IParametriAiuto* l = c->FormAiuto()->ogComlin();
    for (const char* m : {"MargSopra", "MargSotto", "MargSin", "MargDestra"})
        l->setOvLeggiPar(QString::fromLatin1(m), 0);
}

// Steps 2 to 5 of the image options (the margins are zeroed by the caller).
void ApplicaImmagini(IComponenteAiuto* c, const QString& nomeColonna) {
    if (!Uguali(nomeColonna, QStringLiteral("Articolo"))) {
        Ignorando([&] { MostraImg(c, false); });
        return;
    }
    ContestoSessione& s = Sessione();
    IUtilita& u = Utilita();
    Ignorando([&] {
        if (!s.ImmaginiArticoli.isEmpty())
            return;
        s.ImmaginiArticoli =
            Personale(QStringLiteral("Articoli"), QStringLiteral("Immagini"), QStringLiteral("N"));
        if (!Uguali(s.ImmaginiArticoli, QStringLiteral("S")))
            return;
        QString cartella;
        if (LeggiIni(QStringLiteral("Base"), QStringLiteral("DirImgArt"), QString(), cartella) ==
            QLatin1String("0"))
            LeggiIni(QStringLiteral("Base"), QStringLiteral("DirImmagini"), QString(), cartella);
        if (cartella.mid(1, 1) != QLatin1String(":") &&
            !cartella.startsWith(QLatin1String("\\\\"))) {
            QString unita;
            LeggiIni(QStringLiteral("Base"), QStringLiteral("DriveDB"), QString(), unita);
            cartella = u.ComponiPercorso(QString(), unita, cartella, 1);
        }
        s.DirImmagini = cartella;
    });
    OpzioniImmagini& o = Immagini();
    Ignorando([&] {
        if (!o.dove.isEmpty())
            return;
        o.rapporto = u.TestoInNumero(Personale(
            QStringLiteral("Articoli"), QStringLiteral("ImgRapVertOriz"), QStringLiteral("0")));
        o.dimReali = Uguali(Personale(QStringLiteral("Articoli"), QStringLiteral("ImgDimReali"),
                                      QStringLiteral("S")),
                            QStringLiteral("S"));
        const QString dove =
            Personale(QStringLiteral("Articoli"), QStringLiteral("ImgDove"), QStringLiteral("D"));
        QSize schermo(1024, 768);
        if (const QScreen* sc = QGuiApplication::primaryScreen())
            schermo = sc->geometry().size();
        const bool verticale =
            Uguali(dove, QStringLiteral("A")) || Uguali(dove, QStringLiteral("B"));
        const double meta = (verticale ? schermo.height() : schermo.width()) * TwipsPerPixel / 2.0;
        const double spazio =
            u.TestoInNumero(Personale(QStringLiteral("Articoli"), QStringLiteral("ImgSpazio"),
                                      verticale ? QStringLiteral("2000") : QStringLiteral("5000")));
        o.spazio = int(qMin(meta, spazio));
        o.dove = dove.isEmpty() ? QStringLiteral("D") : dove;
    });
    Ignorando([&] {
        if (!Uguali(s.ImmaginiArticoli, QStringLiteral("S"))) {
            MostraImg(c, false);
            return;
        }
        MostraImg(c, true);
        c->ImpostaOpzione(QStringLiteral("DoveMostraImg"), 12, o.dove);
        const QString d = o.dove.toUpper();
        const QString margine = d == QLatin1String("A")   ? QStringLiteral("MargSopra")
                                : d == QLatin1String("B") ? QStringLiteral("MargSotto")
                                : d == QLatin1String("S") ? QStringLiteral("MargSin")
                                                          : QStringLiteral("MargDestra");
        c->FormAiuto()->ogComlin()->setOvLeggiPar(margine, o.spazio);
        c->ImpostaOpzione(QStringLiteral("NomeColImg"), 12, QStringLiteral("Immagine"));
        c->ImpostaOpzione(QStringLiteral("DirImgArt"), 12, s.DirImmagini);
        c->ImpostaOpzione(QStringLiteral("ImgRapVertOriz"), 12, double(o.rapporto));
        c->ImpostaOpzione(QStringLiteral("ImgDimReali"), 12, o.dimReali);
    });
}

IComponenteAiuto* Componente() {
    IComponenteAiuto* c = Sessione().ComponenteAiuto;
    if (!c)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di ricerca e decodifica non disponibile"),
                     QStringLiteral("AiutoCampo"));
    return c;
}

} // namespace

void AzzeraImmaginiAiuto() {
    Immagini() = OpzioniImmagini();
}

QString ClassificaConto(const QString& filtro, QString& testo, int keyCode) {
    Q_UNUSED(keyCode);
    auto tipo = [](QChar c) -> QString {
        const QChar m = c.toUpper();
        if (m == QLatin1Char('C') || m == QLatin1Char('F') || m == QLatin1Char('G'))
            return QString(m);
        return QString();
    };
    const QString t = testo.trimmed();
    if (t.size() >= 2 && t.at(1) == QLatin1Char('/')) {
        const QString k = tipo(t.at(0));
        if (!k.isEmpty()) {
            testo = t.mid(2);
            return k;
        }
    }
    const QString f = filtro.trimmed();
    if (!f.isEmpty()) {
        const QString k = tipo(f.at(0));
        if (!k.isEmpty() && (f.size() == 1 || f.at(1).isLetter()))
            return k;
    }
    return QStringLiteral("0");
}

void ImpostaImmaginiAiuto(const QString& nomeColonna) {
    IComponenteAiuto* c = Sessione().ComponenteAiuto;
    if (!c)
        return;
    Ignorando([&] { AzzeraMargini(c); });
    ApplicaImmagini(c, nomeColonna);
}

QVariant AiutoCampo(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione, int& keyCode,
                    const std::optional<QVariant>& filtro, bool& trovato, const QString& campiExtra,
                    int flag, const QString& testoExtra) {
    if (!((keyCode >= 113 && keyCode <= 123) || keyCode < 0))
        return QVariant();
    IComponenteAiuto* c = Componente();
    ContestoSessione& s = Sessione();

    // 1: the field list
    QString campi;
    Ignorando([&] {
        QString chiave = QStringLiteral("Campi") + nomeAiuto;
        if (Uguali(nomeAiuto, QStringLiteral("Conto"))) {
            QString testo = codice ? codice->text() : QString();
            const QString tipo = ClassificaConto(
                filtro && filtro->isValid() ? filtro->toString() : QString(), testo, keyCode);
            if (codice && testo != codice->text())
                codice->setText(testo);
            if (tipo != QLatin1String("0"))
                chiave = tipo + chiave;
            for (const char* k : {"CFHelpRic11", "CFHelpRic12"})
                c->OpzioniRicerca()->setOvLeggiPar(
                    QString::fromLatin1(k),
                    Personale(QStringLiteral("Tutti"), QString::fromLatin1(k), QString()));
        }
        campi = Personale(QStringLiteral("Help"), chiave, QString());
        if (campi.startsWith(QLatin1String(",No,"), Qt::CaseInsensitive))
            campi.clear();
    });
    campi += campiExtra;
    // 2: pass-through
    Ignorando([&] {
        c->FormAiuto()->ogComlin()->setOvLeggiPar(
            QStringLiteral("ForzaPassThrough"),
            Uguali(
                Personale(QStringLiteral("Help"), QStringLiteral("SQLPass") + nomeAiuto, QString()),
                QStringLiteral("S")));
    });
    // 3: the search box's colour
    quint32 coloreOk = 0;
    bool coloreLetto = false;
    Ignorando([&] {
        coloreOk = c->OpzioniRicerca()->olColBackOk();
        coloreLetto = true;
        c->OpzioniRicerca()->setOlColBackOk(s.ColoreConFocus);
    });
    // 4 and 5: margins and pictures
    Ignorando([&] { AzzeraMargini(c); });
    ApplicaImmagini(c, Uguali(nomeAiuto, QStringLiteral("Articolo")) ? QStringLiteral("Articolo")
                                                                     : QString());
    // 7, whatever the lookup did
    auto dopo = [&] {
        Ignorando([&] {
            if (coloreLetto)
                c->OpzioniRicerca()->setOlColBackOk(coloreOk);
        });
        Ignorando([&] { MostraImg(c, false); });
    };
    // 6
    QVariant esito;
    try {
        NascondiModali();
        CancellaErrore();
        esito = c->Aiuto(nomeAiuto, codice, descrizione, keyCode, QApplication::activeWindow(),
                         filtro, trovato, flag, campi, testoExtra);
    } catch (...) {
        dopo();
        throw;
    }
    dopo();
    return esito;
}

void ColoreEntrata(QWidget* controllo, bool forza) {
    if (!controllo)
        return;
    const ContestoSessione& s = Sessione();
    if (s.ColoreConFocus != s.ColoreSenzaFocus) {
        QWidget* form =
            QApplication::activeWindow() ? QApplication::activeWindow() : controllo->window();
        for (QWidget* w : form->findChildren<QWidget*>())
            if (w != controllo && w->objectName().startsWith(QLatin1String("txt")) &&
                ColoreSfondo(w) == s.ColoreConFocus)
                ImpostaColoreSfondo(w, s.ColoreSenzaFocus);
    }
    if (ColoreSfondo(controllo) == s.ColoreErrore && !forza)
        return;
    ImpostaColoreSfondo(controllo, s.ColoreConFocus);
}

void ColoreUscita(QWidget* controllo, bool forza) {
    if (!controllo)
        return;
    const ContestoSessione& s = Sessione();
    if (ColoreSfondo(controllo) == s.ColoreErrore && !forza)
        return;
    ImpostaColoreSfondo(controllo, s.ColoreSenzaFocus);
}

} // namespace quarvel
