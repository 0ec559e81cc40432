#include "suite/Errore.h"

namespace quarvel {

Errore::Errore(int numero, QString descrizione, QString sorgente)
    : m_numero(numero), m_descrizione(std::move(descrizione)), m_sorgente(std::move(sorgente)) {
    m_what = QStringLiteral("Errore(%1): %2").arg(m_numero).arg(m_descrizione).toUtf8();
}

namespace {
// The program runs its logic on the user-interface thread; background workers
// keep their own current error.
thread_local ErroreCorrente corrente;
} // namespace

const ErroreCorrente& Err() { return corrente; }

void ImpostaErrore(const Errore& e) { ImpostaErrore(e.numero(), e.descrizione(), e.sorgente()); }

void ImpostaErrore(int numero, const QString& descrizione, const QString& sorgente) {
    corrente.numero = numero;
    corrente.descrizione = descrizione;
    corrente.sorgente = sorgente;
}

void CancellaErrore() { corrente = ErroreCorrente{}; }

} // namespace quarvel
