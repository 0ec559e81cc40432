#include "suite/FormDati.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QMap>

namespace quarvel {

FormDati::~FormDati() = default;
IProgramma::~IProgramma() = default;

namespace {
struct VoceRegistro {
    QString nome;
    FabbricaForm fabbrica;
};

struct Registro {
    QMap<QString, VoceRegistro> forme; // by name in lower case
    std::function<QWidget*()> comlinStampa;
    std::function<QWidget*()> stampaInCorso;
    IProgramma* programma = nullptr;
};

Registro& RegistroForm() {
    static Registro r;
    return r;
}
} // namespace

void RegistraForm(const QString& nome, FabbricaForm fabbrica) {
    RegistroForm().forme.insert(nome.trimmed().toLower(),
                                VoceRegistro{nome.trimmed(), std::move(fabbrica)});
}

void AzzeraRegistroForm() {
    RegistroForm().forme.clear();
}

bool FormRegistrata(const QString& nome) {
    return RegistroForm().forme.contains(nome.trimmed().toLower());
}

FormDati* CreaFormRegistrata(const QString& nome) {
    const auto it = RegistroForm().forme.constFind(nome.trimmed().toLower());
    if (it == RegistroForm().forme.cend() || !it->fabbrica)
        return nullptr;
    return it->fabbrica();
}

void RegistraFinestreStampa(std::function<QWidget*()> comlinStampa,
                            std::function<QWidget*()> stampaInCorso) {
    RegistroForm().comlinStampa = std::move(comlinStampa);
    RegistroForm().stampaInCorso = std::move(stampaInCorso);
}

QWidget* FinestraComlinStampa() {
    return RegistroForm().comlinStampa ? RegistroForm().comlinStampa() : nullptr;
}
QWidget* FinestraStampaInCorso() {
    return RegistroForm().stampaInCorso ? RegistroForm().stampaInCorso() : nullptr;
}

IProgramma* Programma() {
    return RegistroForm().programma;
}
void ImpostaProgramma(IProgramma* programma) {
    RegistroForm().programma = programma;
}

QString TestoChiudiERipara(const QString& nomeDb) {
    return QStringLiteral("Il database ") + nomeDb + QStringLiteral(" è danneggiato.\r\n") +
           QStringLiteral("Chiudere ora il programma per ripararlo?\r\n") +
           QStringLiteral("Le maschere aperte saranno chiuse; la funzione andrà poi riaperta "
                          "dal menu.");
}

void ChiediRiparazioneDopoErrore(int numeroErrore) {
    if (numeroErrore != NumErr::DatabaseNonRiconosciuto)
        return;
    ContestoSessione& s = Sessione();
    IProgramma* programma = Programma();
    if (s.RiparazioneChiesta || !programma || TipoDiDatabase(s.NomeDb) != TipoDatabase::File)
        return;
    s.RiparazioneChiesta = true;
    const int risposta =
        msgCom(TestoChiudiERipara(s.NomeDb), QStringLiteral("&Ok"), QStringLiteral("&Annulla"),
               std::nullopt, std::nullopt, 80, false, 600, std::nullopt, 2);
    if (risposta == 1)
        programma->ChiudiERipara();
}

} // namespace quarvel
