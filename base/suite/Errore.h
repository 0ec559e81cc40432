#pragma once
// The run-time error of the whole program: a number, a description and the
// source that raised it.  Components and procedures that fail throw an
// Errore; the procedures that trap their own errors catch it, keep it as the
// current error (Err()) and hand it to MsgErrfrm or MostraErrore.

#include <QByteArray>
#include <QString>
#include <exception>

namespace quarvel {

class Errore : public std::exception {
public:
    Errore(int numero, QString descrizione, QString sorgente = {});

    int numero() const noexcept { return m_numero; }
    const QString& descrizione() const noexcept { return m_descrizione; }
    const QString& sorgente() const noexcept { return m_sorgente; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_numero;
    QString m_descrizione;
    QString m_sorgente;
    QByteArray m_what;
};

// Well-known error numbers.
namespace NumErr {
inline constexpr int ChiamataNonValida = 5;     // invalid procedure call or argument
inline constexpr int MemoriaEsaurita = 7;
inline constexpr int TipoNonCorrispondente = 13;
inline constexpr int FileNonTrovato = 53;
inline constexpr int PermessoNegato = 70;
inline constexpr int ErrorePercorso = 76;
inline constexpr int OggettoNonImpostato = 91;
inline constexpr int FormModaleAperta = 401;     // cannot show a non-modal form while a modal one is open
inline constexpr int NessunRecordCorrente = 3021;
inline constexpr int ChiaveDuplicata = 3022;
inline constexpr int PasswordNonValida = 3031;
inline constexpr int OperazioneAnnullata = 3059; // the operator cancelled the login
inline constexpr int ChiamataOdbcFallita = 3146;
inline constexpr int DatabaseNonRiconosciuto = 3343;
} // namespace NumErr

// The current error of the running error handler, as the original's Err
// object held it: set by a handler that caught an Errore, read by MsgErrfrm.
struct ErroreCorrente {
    int numero = 0;
    QString descrizione;
    QString sorgente;
};

const ErroreCorrente& Err();
void ImpostaErrore(const Errore& e);
void ImpostaErrore(int numero, const QString& descrizione, const QString& sorgente = {});
void CancellaErrore();

} // namespace quarvel
