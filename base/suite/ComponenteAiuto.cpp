#include "suite/ComponenteAiuto.h"

#include "suite/Errore.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace quarvel {

IParametriAiuto::~IParametriAiuto() = default;
IEventiAiuto::~IEventiAiuto() = default;
IComponenteAiuto::~IComponenteAiuto() = default;

namespace {
FabbricaComponenteAiuto fabbrica = nullptr;
constexpr char ProprietaColore[] = "coloreSfondo";
constexpr quint32 ColoreFinestraSistema = 0x80000005;
} // namespace

IComponenteAiuto* CreaComponenteAiuto() {
    if (!fabbrica)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di ricerca e decodifica non disponibile"),
                     QStringLiteral("ComponenteAiuto"));
    return fabbrica();
}

void RegistraFabbricaComponenteAiuto(FabbricaComponenteAiuto f) {
    fabbrica = f;
}

QColor ColoreQt(quint32 colore) {
    if (colore & 0x80000000u) {
        // System colours: those the suite uses, from the application's palette.
        const QPalette p = QApplication::palette();
        switch (colore & 0xFF) {
        case 5: // window background
            return p.color(QPalette::Base);
        case 8: // window text
            return p.color(QPalette::Text);
        case 15: // button face
            return p.color(QPalette::Button);
        default:
            return p.color(QPalette::Window);
        }
    }
    return QColor(int(colore & 0xFF), int((colore >> 8) & 0xFF), int((colore >> 16) & 0xFF));
}

quint32 ColoreSfondo(const QWidget* controllo) {
    if (!controllo)
        return ColoreFinestraSistema;
    const QVariant v = controllo->property(ProprietaColore);
    return v.isValid() ? v.toUInt() : ColoreFinestraSistema;
}

void ImpostaColoreSfondo(QWidget* controllo, quint32 colore) {
    if (!controllo)
        return;
    controllo->setProperty(ProprietaColore, colore);
    QPalette p = controllo->palette();
    p.setColor(QPalette::Base, ColoreQt(colore));
    p.setColor(QPalette::Window, ColoreQt(colore));
    controllo->setPalette(p);
    controllo->setAutoFillBackground(true);
}

} // namespace quarvel
