#pragma once
// Screen-resolution scaling.  Every window is designed for an 800 x 600
// screen; on a larger one it is enlarged by a factor read from the section
// "Risoluzione Video" of the parameter files or worked out from the screen.
//
// Factor values: -1 scaling off, -2 not set here (take the next level), 0
// automatic, above 0 the factor itself, any other negative value counts as 1.
//
// A scalable window carries three properties (Q_PROPERTY or dynamic):
// "osRisVidKey" (its own key in "Risoluzione Video"), "osKeySec" (the key of
// its function, used when osRisVidKey is empty) and "odRisVidVal" (the factor
// it was given, written here).

#include <QString>
#include <functional>
#include <utility>
#include <vector>

class QObject;
class QWidget;

namespace quarvel {

struct MetricheSchermo;

// One entry of the exception list of ScalaControlli: a control name, its
// element index (-1 for every element) and the flags to keep.
struct EccezioneScala {
    QString nome;
    int indice = -1;
    int flag = 0;
};
using ListaEccezioni = std::vector<EccezioneScala>;
namespace FlagScala {
inline constexpr int Posizione = 1;  // keep Top and Left
inline constexpr int Dimensione = 2; // keep Width and Height
inline constexpr int Caratteri = 4;  // keep the fonts (and the special cases)
} // namespace FlagScala

inline constexpr auto SezioneRisoluzione = "Risoluzione Video";

// Reads a key of "Risoluzione Video" with its default, as a number.  The
// program reads the parameter files (LeggiIni, TestoInNumero); tests set their
// own reader.  A reader may throw when the key cannot be read at all.
using LettoreFattore = std::function<double(const QString& chiave, const QString& predefinito)>;
double LeggiFattore(const QString& chiave, const QString& predefinito);
void ImpostaLettoreFattore(LettoreFattore lettore); // an empty one: the parameter files

// The start-up resolution: FattoreGenerale, FattorePersBase, FattoreStaVid,
// FattoreHelp and FattoreMsgCom of the session.
void RisolviFattoriScala();

// The smaller of width / 800 and height / 600 of the primary screen, rounded
// to two decimals; 1 instead of 0.  The pixel sizes come back too.
double FattoreAutomatico(int& larghezza, int& altezza);
double FattoreAutomatico(const MetricheSchermo& schermo);

// The factor of one window, written into fattore (unless scaling is off) and
// into the window's odRisVidVal; with SoloCalcolo false the window is also
// fitted on the screen and scaled.  1 when scaling is off.
double FattoreFinestra(QWidget* finestra, bool SoloCalcolo, double& fattore,
                       const ListaEccezioni& eccezioni = {});

// Enlarges the window and its controls by the factor: the window's size,
// position and size of every control placed by hand (controls managed by a
// layout follow their layout), explicit minimum and maximum sizes, and the
// fonts.  Errors are ignored.
void ScalaControlli(QWidget* finestra, double fattore, const ListaEccezioni& eccezioni = {});

// A control is a widget of the window with a name of its own (Qt's inner
// widgets, "qt_...", and unnamed helpers are not controls).  Its name and
// element index: "txt(10)" is ("txt", 10); a control outside an array has -1.
bool EControllo(const QWidget* w);
std::pair<QString, int> NomeEIndice(const QObject* controllo);

} // namespace quarvel
