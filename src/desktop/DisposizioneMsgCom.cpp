#include "DisposizioneMsgCom.h"

#include <cmath>

namespace quarvel {

namespace {
constexpr int SpazioPulsanti = 400; // between two buttons when they set the width
constexpr int SpazioRiga = 290;     // above and below the row of buttons
constexpr int SpazioFondo = 150;    // below the buttons in the needed height

// Int of a quotient: rounded down, negative values too.
int Int(int a, int b) {
    return static_cast<int>(std::floor(static_cast<double>(a) / b));
}

// The buttons, which of them Enter and Esc press, and the width of the row
// they make; `conta` is how many there are.
int RigaPulsanti(const RichiestaMsgCom& r, const MetricheMsgCom& m, DisposizioneMsgCom& d,
                 int& conta) {
    const int W = r.pvWidthCom ? *r.pvWidthCom : m.larghezzaPulsante;
    d.larghezzaPulsante = W;
    d.altezzaPulsante = m.altezzaPulsante;
    int riga = W + SpazioPulsanti;
    conta = 1;
    if (r.pvCom2) {
        riga += W + SpazioPulsanti;
        conta = 2;
    }
    if (r.pvCom3) {
        riga += W + SpazioPulsanti;
        conta = 3;
    }
    if (!r.pvCom3) {
        d.pulsanteDefault = 1;
        if (r.pvCom2)
            d.pulsanteAnnulla = 2;
    } else {
        if (r.piComInvio >= 1 && r.piComInvio <= 3)
            d.pulsanteDefault = r.piComInvio;
        if (r.piComEsc >= 1 && r.piComEsc <= 3)
            d.pulsanteAnnulla = r.piComEsc;
    }
    return riga;
}

// Where each button begins along the row, and which one has the focus.
void PosizionaPulsanti(const RichiestaMsgCom& r, int conta, int W, DisposizioneMsgCom& d) {
    const int spazio =
        d.pulsantiDecidono ? SpazioPulsanti : Int(d.larghezzaInterna - conta * W, conta);
    int sinistra = Int(spazio, 2);
    for (int i = 0; i < conta; ++i) {
        d.sinistraPulsanti.push_back(sinistra);
        sinistra += W + spazio;
    }

    if (r.piComDefault >= 1 && r.piComDefault <= conta)
        d.pulsanteFuoco = r.piComDefault;
}
} // namespace

DisposizioneMsgCom CalcolaDisposizioneMsgCom(const RichiestaMsgCom& r, const MetricheMsgCom& m,
                                             const MisuraTesto& misura) {
    DisposizioneMsgCom d;

    // Buttons and the row they make.
    int conta = 1;
    const int riga = RigaPulsanti(r, m, d, conta);
    const int W = d.larghezzaPulsante;

    // Width: the widest allowed, then the text or the buttons decide.
    d.larghezzaFinestra = static_cast<int>(
        std::lround(static_cast<double>(m.larghezzaSchermo) * r.piLargForm / 100.0));
    d.larghezzaInterna = d.larghezzaFinestra - m.bordoOrizzontale;
    const int T = misura.larghezza();
    int larghezzaEtichetta = T;
    int altezzaEtichetta = 0;
    if (riga > T + r.piLatiForm) {
        d.larghezzaFinestra = riga + m.bordoOrizzontale;
        d.pulsantiDecidono = true;
        altezzaEtichetta = misura.altezza(-1);
    } else if (T + r.piLatiForm <= d.larghezzaInterna) {
        d.larghezzaFinestra = T + r.piLatiForm + m.bordoOrizzontale;
        altezzaEtichetta = misura.altezza(-1);
    } else {
        // The text wraps inside the widest window, keeping the side room that
        // a narrower message has too (a label as wide as the window would
        // touch its edges).
        larghezzaEtichetta = d.larghezzaInterna - r.piLatiForm;
        if (larghezzaEtichetta < d.larghezzaInterna / 2)
            larghezzaEtichetta = d.larghezzaInterna;
        d.aCapo = true;
        altezzaEtichetta = misura.altezza(larghezzaEtichetta);
    }
    d.larghezzaInterna = d.larghezzaFinestra - m.bordoOrizzontale;

    // Height: what the text needs, as far as the screen allows.
    const int necessaria = m.bordoVerticale + m.altoEtichetta + altezzaEtichetta + SpazioRiga +
                           m.altezzaPulsante + SpazioFondo;
    d.altezzaFinestra = std::min(necessaria, m.altezzaSchermo);
    d.modoTesto = d.altezzaFinestra < necessaria || r.pbSempreTxt;

    if (d.modoTesto) {
        d.altezzaFinestra = m.altezzaUtile;
        d.altezzaInterna = d.altezzaFinestra - m.bordoVerticale;
        const int larghezzaTesto = d.larghezzaInterna;
        d.altoPulsanti = d.altezzaInterna - m.altezzaPulsante - SpazioRiga;
        d.testo = QRect(Int(d.larghezzaInterna - larghezzaTesto, 2), m.altoTesto, larghezzaTesto,
                        std::max(0, d.altoPulsanti - m.altoTesto - SpazioRiga));
    } else {
        d.altezzaInterna = d.altezzaFinestra - m.bordoVerticale;
        d.altoPulsanti = m.altoEtichetta + altezzaEtichetta + SpazioRiga;
        d.etichetta = QRect(Int(d.larghezzaInterna - larghezzaEtichetta, 2), m.altoEtichetta,
                            larghezzaEtichetta, altezzaEtichetta);
    }

    PosizionaPulsanti(r, conta, W, d);
    return d;
}

} // namespace quarvel
