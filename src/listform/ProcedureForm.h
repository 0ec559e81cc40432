#pragma once
// The procedures every form of the program shares: the preparation at load
// (PreparaForm) and its end (FinePreparaForm), the closing routine of a data
// form (ChiusuraForm) and the error reporter of the data forms (MostraErrore).

#include "suite/FormDati.h" // TestoChiudiERipara

#include <QString>
#include <QtGlobal>
#include <optional>

class QWidget;

namespace quarvel {

// Flags of PreparaForm and FinePreparaForm, summed.
namespace FlagPrepara {
inline constexpr int ScalaComlin = 1; // the list-command object does the scaling
inline constexpr int ControllaRO = 2; // "/RO" in osParam makes the form read only
inline constexpr int NoAvviso = 4;    // no "Caricamento maschera" notice
inline constexpr int ScalaVideo = 8;  // screen-resolution scaling
} // namespace FlagPrepara

inline constexpr auto CaricamentoMaschera = "Caricamento maschera";

// Form colour, loading notice, company suffix in the caption, key preview,
// read-only switch and scaling.  esclusi: control names each followed by ","
// whose colour stays as it is.
void PreparaForm(QWidget* form, int flag, const QString& esclusi = {});
// Window state of the data forms, the loading notice closed, scaling done.
void FinePreparaForm(QWidget* form, int flag);

// A data form has unloaded: control goes back to who launched its function
// (or to the menu), the program ends when no other window is left, and the
// menu learns that the function has ended.
void ChiusuraForm(QWidget* form, bool tornaAlChiamante);

// "Errore(" number "): " text, after the title and before the tail, through
// the menu's message service ("MsgBox").  A missing text is the current
// error's source when it has one, else its description; a missing number
// the current error's number.
void MostraErrore(std::optional<QString> testo = std::nullopt,
                  std::optional<QString> numero = std::nullopt, const QString& titolo = {},
                  const QString& coda = {});
// The message MostraErrore shows.
//
// A damaged company file (error 3343 on a database file) is not left at the
// message: once a session the operator is then asked whether to close the
// program and repair the file now (Annulla, the default, leaves everything
// as it is); Ok hands over to the program (IProgramma::ChiudiERipara).
QString TestoMostraErrore(std::optional<QString> testo, std::optional<QString> numero,
                          const QString& titolo, const QString& coda);

} // namespace quarvel
