#pragma once
// The layout of the message and command dialog, worked out in twips without
// a window: the window's size and place, the label or the text box, the row
// of buttons and which of them answers Enter and Esc.

#include "suite/Messaggi.h"

#include <QRect>
#include <functional>
#include <vector>

namespace quarvel {

// What the layout needs to know of the screen and of the dialog as loaded
// (after its scaling): all in twips.
struct MetricheMsgCom {
    int larghezzaSchermo = 0;
    int altezzaSchermo = 0;
    int altezzaUtile = 0;     // AltezzaUtile()
    int bordoOrizzontale = 0; // window width - inner width
    int bordoVerticale = 0;   // window height - inner height
    int altoEtichetta = 0;    // LabMessaggio's top
    int altoTesto = 0;        // txtMessaggio's top
    int larghezzaPulsante = 0;
    int altezzaPulsante = 0;
};

// Measures the message as the label shows it, in twips: its width on one line
// per line break, and its height at that width (larghezza < 0) or wrapped at
// the given width.
struct MisuraTesto {
    std::function<int()> larghezza;
    std::function<int(int larghezza)> altezza;
};

struct DisposizioneMsgCom {
    int larghezzaFinestra = 0;
    int altezzaFinestra = 0;
    int larghezzaInterna = 0;
    int altezzaInterna = 0;
    bool pulsantiDecidono = false; // the row of buttons set the width
    bool aCapo = false;            // the label wraps
    bool modoTesto = false;        // the text box shows the message
    QRect etichetta;               // LabMessaggio (label mode)
    QRect testo;                   // txtMessaggio (text-box mode)
    int larghezzaPulsante = 0;
    int altezzaPulsante = 0;
    int altoPulsanti = 0;
    std::vector<int> sinistraPulsanti; // one per button
    int pulsanteDefault = 0;           // 1-based; 0 none (Enter)
    int pulsanteAnnulla = 0;           // 1-based; 0 none (Esc)
    int pulsanteFuoco = 0;             // 1-based; 0 design order

    int numeroPulsanti() const { return static_cast<int>(sinistraPulsanti.size()); }
};

DisposizioneMsgCom CalcolaDisposizioneMsgCom(const RichiestaMsgCom& r, const MetricheMsgCom& m,
                                             const MisuraTesto& misura);

} // namespace quarvel
