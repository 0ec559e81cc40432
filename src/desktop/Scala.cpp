#include "Scala.h"

#include "Schermo.h"
#include "config/ParametriIni.h"
#include "suite/Errore.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QRegularExpression>
#include <QWidget>
#include <cmath>

namespace quarvel {

namespace {

LettoreFattore& Lettore() {
    static LettoreFattore l;
    return l;
}

double Arrotonda2(double valore) {
    try {
        return Utilita().Arrotonda(valore, 8, QStringLiteral("A"), 2, 1, 2, -2);
    } catch (const Errore&) {
        // Without the utility object the same rounding: half away from zero.
        return std::round(valore * 100.0) / 100.0;
    }
}

int Px(double v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

double LeggiFattore(const QString& chiave, const QString& predefinito) {
    if (Lettore())
        return Lettore()(chiave, predefinito);
    QString valore;
    LeggiIni(QString::fromLatin1(SezioneRisoluzione), chiave, predefinito, valore);
    return Utilita().TestoInNumero(valore);
}

void ImpostaLettoreFattore(LettoreFattore lettore) {
    Lettore() = std::move(lettore);
}

void RisolviFattoriScala() {
    ContestoSessione& s = Sessione();
    s.FattoreGenerale = LeggiFattore(QStringLiteral("Generale"), QStringLiteral("0"));
    s.FattorePersBase = s.FattoreGenerale == -2
                            ? LeggiFattore(QStringLiteral("PersBase"), QStringLiteral("0"))
                            : s.FattoreGenerale;
    auto speciale = [&s](const QString& chiave) {
        double v = LeggiFattore(chiave, QStringLiteral("-2"));
        if (v == -2)
            v = s.FattoreGenerale == -2 ? s.FattorePersBase : s.FattoreGenerale;
        if (v == -2 || v == 0) {
            int l = 0, a = 0;
            v = FattoreAutomatico(l, a);
        }
        return v;
    };
    s.FattoreStaVid = speciale(QStringLiteral("StaVid"));
    s.FattoreHelp = speciale(QStringLiteral("Help"));
    s.FattoreMsgCom = speciale(QStringLiteral("MsgCom"));
}

double FattoreAutomatico(const MetricheSchermo& schermo) {
    const float l = static_cast<float>(schermo.geometria.width()) / 800.0f;
    const float a = static_cast<float>(schermo.geometria.height()) / 600.0f;
    const double f = Arrotonda2(static_cast<double>(std::min(l, a)));
    return f == 0 ? 1.0 : f;
}

double FattoreAutomatico(int& larghezza, int& altezza) {
    const MetricheSchermo schermo = MetricheSchermoCorrenti();
    larghezza = schermo.geometria.width();
    altezza = schermo.geometria.height();
    return FattoreAutomatico(schermo);
}

double FattoreFinestra(QWidget* finestra, bool SoloCalcolo, double& fattore,
                       const ListaEccezioni& eccezioni) {
    if (!finestra)
        return 1;
    finestra->setProperty("odRisVidVal", 1.0);
    const ContestoSessione& s = Sessione();
    double f = fattore;
    int livello = 0;

    if (f == -2) {
        if (s.FattoreGenerale == -1)
            return 1;
        if (s.FattoreGenerale != -2) {
            f = s.FattoreGenerale;
        } else {
            QString chiave = finestra->property("osRisVidKey").toString();
            if (chiave.trimmed().isEmpty())
                chiave = s.OpzioneP + QLatin1Char('-') + finestra->property("osKeySec").toString();
            try {
                f = LeggiFattore(chiave, QStringLiteral("-2"));
                if (f == -2)
                    f = s.FattorePersBase;
            } catch (...) {
                f = s.FattorePersBase;
            }
        }
    }
    if (f == -1)
        return 1;
    if (f == -2)
        f = 0;
    if (f == 0) {
        int l = 0, a = 0;
        f = FattoreAutomatico(l, a);
        livello = 2;
    }
    if (!(f > 0))
        f = 1;

    if (f != 1 && !SoloCalcolo) {
        // The enlarged window must stay on the screen (above a bottom panel
        // that holds room); an automatic factor also within the width.
        const MetricheSchermo schermo = MetricheSchermoCorrenti();
        const double tpp = schermo.twipsPerPixel;
        double H = std::round(schermo.altezzaTwips());
        const StatoBarra barra = LeggiStatoBarra(schermo);
        if (!barra.nascondiAuto && barra.lato == 3) {
            H = std::round(barra.alto * tpp);
            ++livello;
        }
        const QRect g = finestra->geometry();
        const double basso = (g.y() + g.height()) * tpp;
        const double destra = (g.x() + g.width()) * tpp;
        if (livello > 0 && basso > 0 && basso * f > H)
            f = H / basso;
        if (livello > 1 && destra > 0 && destra * f > schermo.larghezzaTwips())
            f = schermo.larghezzaTwips() / destra;
    }

    finestra->setProperty("odRisVidVal", f);
    if (!SoloCalcolo)
        ScalaControlli(finestra, f, eccezioni);
    fattore = f;
    return f;
}

bool EControllo(const QWidget* w) {
    if (!w)
        return false;
    const QString n = w->objectName();
    return !n.isEmpty() && !n.startsWith(QLatin1String("qt_"));
}

std::pair<QString, int> NomeEIndice(const QObject* controllo) {
    static const QRegularExpression re(QStringLiteral("^(.*)\\((\\d+)\\)$"));
    const QString n = controllo ? controllo->objectName() : QString();
    const auto m = re.match(n);
    if (m.hasMatch())
        return {m.captured(1), m.captured(2).toInt()};
    return {n, -1};
}

namespace {

int FlagDi(const QWidget* w, const ListaEccezioni& eccezioni) {
    if (eccezioni.empty())
        return 0;
    const auto [nome, indice] = NomeEIndice(w);
    for (const auto& e : eccezioni)
        if (e.nome.compare(nome, Qt::CaseInsensitive) == 0 &&
            (e.indice == -1 || e.indice == indice))
            return e.flag;
    return 0;
}

bool Contiene(const QLayout* l, const QWidget* w) {
    for (int i = 0; i < l->count(); ++i) {
        QLayoutItem* el = l->itemAt(i);
        if (el->widget() == w)
            return true;
        if (const QLayout* interno = el->layout(); interno && Contiene(interno, w))
            return true;
    }
    return false;
}

// A control a layout of its parent places (nested layouts too): its geometry
// follows the layout.
bool InLayout(const QWidget* w) {
    const QWidget* p = w->parentWidget();
    return p && p->layout() && Contiene(p->layout(), w);
}

bool ImmagineFissa(const QWidget* w) {
    const auto* l = qobject_cast<const QLabel*>(w);
    return l && !l->pixmap().isNull() && !l->hasScaledContents();
}

QFont Scalato(QFont font, double f) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * f);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, Px(font.pixelSize() * f)));
    return font;
}

void ScalaLimiti(QWidget* w, double f) {
    // A widget with a layout takes its limits from the layout, which
    // recomputes them from the new fonts and sizes.
    if (w->layout())
        return;
    const QSize mn = w->minimumSize();
    const QSize mx = w->maximumSize();
    const int nuovaMinL = mn.width() > 0 ? Px(mn.width() * f) : 0;
    const int nuovaMinA = mn.height() > 0 ? Px(mn.height() * f) : 0;
    const int nuovaMaxL = mx.width() < QWIDGETSIZE_MAX ? Px(mx.width() * f) : QWIDGETSIZE_MAX;
    const int nuovaMaxA = mx.height() < QWIDGETSIZE_MAX ? Px(mx.height() * f) : QWIDGETSIZE_MAX;
    // Widen first so that the new minimum never exceeds the old maximum.
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->setMinimumSize(nuovaMinL, nuovaMinA);
    w->setMaximumSize(nuovaMaxL, nuovaMaxA);
}

} // namespace

void ScalaControlli(QWidget* finestra, double fattore, const ListaEccezioni& eccezioni) {
    if (!finestra || !(fattore > 0) || fattore == 1)
        return;
    const double f = fattore;

    struct Carattere {
        QWidget* w;
        QFont font;
    };
    std::vector<Carattere> caratteri;
    std::vector<std::pair<QWidget*, int>> controlli;

    caratteri.push_back({finestra, Scalato(finestra->font(), f)});
    const auto figli = finestra->findChildren<QWidget*>();
    for (QWidget* w : figli) {
        if (w->window() != finestra)
            continue;
        if (EControllo(w)) {
            const int flag = FlagDi(w, eccezioni);
            if (ImmagineFissa(w)) {
                caratteri.push_back({w, w->font()});
                continue;
            }
            controlli.emplace_back(w, flag);
            // A control that keeps its fonts keeps them even where its
            // container's font grows.
            caratteri.push_back(
                {w, (flag & FlagScala::Caratteri) ? w->font() : Scalato(w->font(), f)});
        } else if (w->testAttribute(Qt::WA_SetFont)) {
            caratteri.push_back({w, Scalato(w->font(), f)});
        }
    }

    // The window.
    ScalaLimiti(finestra, f);
    finestra->resize(Px(finestra->width() * f), Px(finestra->height() * f));

    // Every control.
    for (auto [w, flag] : controlli) {
        if (!(flag & FlagScala::Dimensione))
            ScalaLimiti(w, f);
        if (InLayout(w))
            continue;
        QRect g = w->geometry();
        if (!(flag & FlagScala::Posizione))
            g.moveTopLeft(QPoint(Px(g.x() * f), Px(g.y() * f)));
        if (!(flag & FlagScala::Dimensione))
            g.setSize(QSize(Px(g.width() * f), Px(g.height() * f)));
        w->setGeometry(g);
    }

    for (const auto& c : caratteri)
        c.w->setFont(c.font);

    // A list box that lost its last visible line grows back to one line.
    const double tpp = TwipsPerPixel();
    for (auto [w, flag] : controlli) {
        auto* lista = qobject_cast<QListView*>(w);
        if (!lista || (flag & FlagScala::Caratteri) || InLayout(w))
            continue;
        if (lista->height() * tpp > 60)
            continue;
        const int riga = lista->fontMetrics().height() + 2 * lista->frameWidth() + 2;
        const int minimo = static_cast<int>(std::ceil(61.0 / tpp));
        lista->resize(lista->width(), std::max(riga, minimo));
    }
}

} // namespace quarvel
