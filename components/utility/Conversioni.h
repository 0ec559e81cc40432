#pragma once
// The plain text and number work behind the utility object: numbers read from
// and shown in the operator's format, exact decimal rounding, SQL literals and
// command-line switches.  Nothing here touches a window or a file, so every
// rule is testable (and fuzzable) on its own; the locale is an argument.
//
// Numbers the operator types (LeggiNumero), with D the locale's decimal sign
// and G its group separator (Italian: D "," and G "."):
//  - blanks around the text are ignored; one leading "+" or "-" is allowed;
//    nothing else may stand around the digits ("12 kg", "1 234", "--1" are no
//    numbers);
//  - the operator's form: digits, optionally grouped by G in groups of three
//    after a first group of one to three digits that does not begin with 0,
//    then optionally D and decimals: "1.234,56", "1.234.567", "1234,5",
//    ",5", "12,";
//  - the plain form, read too: digits with "." as the decimal point and an
//    optional exponent: "1936.27", "0.5", ".5", "1e3", "1.5E-2";
//  - when both forms fit, the operator's form wins: in Italian "1.234" is
//    1234 (grouping), while "1936.27", "1.5", "0.500" and "1.2345" cannot be
//    grouped numbers and read as plain decimals;
//  - a number beyond the range of a double, or any other text, is no number.
//  With formatoUtente false only the plain form is read.
//
// Number masks (ApplicaMaschera), as the suite's Format wrote them:
//  "0" a forced digit, "#" a digit shown only when needed, "." the decimal
//  point, "," between digit placeholders the grouping (in the operator's
//  format: "#,##0.00" on 1234.5 in Italian gives "1.234,50"), "," right of
//  the last integer placeholder divides by 1000, "%" multiplies by 100,
//  "\x" and "..." literal text, any other character shown as it is.
//  Sections split by ";": positive;negative;zero;Null (a negative number
//  shown by its own section carries no automatic "-").  Decimals beyond the
//  mask are rounded half away from zero on the decimal digits of the value.
//  As the suite's Format did, a 0 whose integer placeholders are all "#"
//  shows no integer digit ("#,###" on 0 gives "", "#.##" on 0.5 gives ",5").
//  Unlike it, the decimal sign is left out when no decimal digit follows it
//  ("#.##" on 5 gives "5", not "5,"), and a value that rounds to zero is shown
//  without "-".  Exponent formats ("0.00E+00") and date masks are not
//  supported: their letters show as literal text.

#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace quarvel::utilita {

// The program's locale: the system's, or Italian when the system gives C or
// POSIX (QLocale() follows QLocale::setDefault, as tests use).
QLocale LocaleOperatore();

// The text as a number, or nullopt when it is no number (rules above).
std::optional<double> LeggiNumero(const QString& testo, const QLocale& locale,
                                  bool formatoUtente = true);

// Rounding modes of Arrotonda.
enum class Modo {
    MetaVia,
    Su,
    Giu
}; // "A" half away from zero, "E" away from zero, "D" toward zero

// The value rounded to `decimali` decimal places (negative: to tens,
// hundreds, ...) working on the shortest decimal text of the double, so 2.675
// is rounded as 2.675 and not as 2.67499999999999982236431605997495...
// NaN and infinities come back unchanged.
double ArrotondaDecimali(double valore, int decimali, Modo modo);

// Rounds to a multiple of unita * 10^potenza (unita > 0; its sign is
// ignored), exact in decimal as above: 2.675 to multiples of 5 * 10^-2 gives
// 2.7.  Raises Errore 5 for a unit of 0 or not finite.
double ArrotondaMultiplo(double valore, double unita, int potenza, Modo modo);

// The number in plain digits: no grouping, "." before the decimals, "-" in
// front of a negative number, the shortest text that reads back as the same
// double, never an exponent ("100000000000000000000", "0.1", "-2.5").
QString TestoPiano(double numero);

// The value shown with a number mask in the locale (rules above).  A Null
// value (invalid or null QVariant) uses the fourth section, else gives "".
QString ApplicaMaschera(double valore, const QString& maschera, const QLocale& locale);
QString ApplicaMascheraNull(const QString& maschera, const QLocale& locale);

// The mask of FormatoNumero: mascheraBase with the decimal part ("." and
// decimali times the filler) put in place of the placeholder when the base
// holds it, appended otherwise.  decimali <= 0 gives no decimal part.
QString CostruisciMaschera(int decimali, const QString& riempitivo, const QString& mascheraBase,
                           const QString& segnaposto);

// The value as an SQL literal of the kind (suite/Utilita.h, Tipo).  Raises
// Errore 13 when the value cannot be of the kind, 6 when it is out of its
// range, 5 for a text holding a NUL character.
QString LetteraleSql(const QVariant& valore, int tipo, const QLocale& locale);

// Where the value of a switch lies in a command line: the switch itself
// ("/" and the letters) starts at `inizioSwitch`, its value is the text in
// [inizioValore, fineValore) before trimming and unquoting.
struct PosizioneOpzione {
    qsizetype inizioSwitch = -1;
    qsizetype inizioValore = -1;
    qsizetype fineValore = -1;
    bool trovata() const { return inizioSwitch >= 0; }
};

// Switches in a command line or in a launch parameter text:
//  - a switch is "/" followed by its letters, compared without regard to
//    case, at the start of the text or right after a blank; a "/" inside a
//    value ("/I/srv/belcor.ini") or inside double quotes starts no switch;
//  - its value follows the letters at once ("/FfrmGestInv", "/P123 CHIAVE")
//    and runs up to the next switch, that is a blank followed by "/" and a
//    letter outside double quotes, or to the end of the text;
//  - double quotes group a value that holds blanks or " /":
//    /I"/path with blanks/belcor.ini" gives /path with blanks/belcor.ini;
//    the quote characters themselves are dropped from the value, and an
//    unclosed quote runs to the end of the text.  A program that joins its
//    arguments into one command line quotes a value holding blanks this way;
//    a switch wrapped whole in quotes ("/Ix y") is not recognised;
//  - the first matching switch counts.
PosizioneOpzione TrovaOpzione(const QString& testo, const QString& lettere);

// The value of the switch, trimmed and unquoted; "/" & the letters as written
// in the text for a bare switch of two or more letters ("/RO", "/ro"); the
// empty text for a bare one-letter switch or a missing switch.
QString ValoreOpzione(const QString& testo, const QString& lettere);

} // namespace quarvel::utilita
