#include "suite/GrigliaDati.h"

namespace quarvel {

EventiGriglia::~EventiGriglia() = default;
void EventiGriglia::BeforeColEdit(int, int, int&) {}
void EventiGriglia::Change() {}
void EventiGriglia::BeforeColUpdate(int, QVariant&, int&) {}
void EventiGriglia::AfterColUpdate(int) {}
void EventiGriglia::BeforeUpdate(int&) {}
void EventiGriglia::AfterUpdate() {}
void EventiGriglia::OnAddNew() {}
void EventiGriglia::BeforeDelete(int&) {}
void EventiGriglia::AfterDelete() {}
void EventiGriglia::RowColChange(const QVariant&, int) {}
void EventiGriglia::HeadClick(int) {}
void EventiGriglia::ButtonClick(int) {}
void EventiGriglia::Error(int, int&) {}
void EventiGriglia::SplitChange() {}
void EventiGriglia::KeyDown(int&, int) {}
void EventiGriglia::KeyPress(int&) {}
void EventiGriglia::KeyUp(int&, int) {}

IColonnaGriglia::~IColonnaGriglia() = default;
IDatiRiga::~IDatiRiga() = default;
IGrigliaDati::~IGrigliaDati() = default;

namespace {
FabbricaGriglia fabbrica = nullptr;
}

IGrigliaDati* CreaGriglia(QWidget* genitore) {
    if (!fabbrica)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Griglia dati non disponibile"),
                     QStringLiteral("GrigliaDati"));
    return fabbrica(genitore);
}

void RegistraFabbricaGriglia(FabbricaGriglia f) {
    fabbrica = f;
}

} // namespace quarvel
