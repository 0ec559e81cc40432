#include "OpzioniSalvate.h"

#include "config/ParametriIni.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <algorithm>

namespace quarvel {

const std::array<OpzioneSalvata, NumOpzioniSalvate> OpzioniSalvate = {{
    {"Dove stampare:", "StaVid"},
    {"Forza verticale:", "ForzaVert"},
    {"File di stampa per stampe su file:", "FileName"},
    {"Formato di stampa per stampe su file:", "FileForm"},
    {"Path di default:", "PathDefault"},
    {"Separatore campi per stampe su file:", "SepCampi"},
    {"Qualificatore testo per stampe su file:", "DelimStr"},
    {"Tolgo il formato nei campi numerici  per stampe su file:", "NumNoForm"},
    {"Fattore di visualizzazione:", "Fatt"},
    {"Memorizza pagine per stampa a video:", "MemVid"},
    {"Nome file per stampa fissa:", "FisFileName"},
    {"Stampa fissa su:", "FisStampante"},
    {"Righe vuote in alto per stampa fissa:", "FisMrAlt"},
    {"Righe vuote in basso per stampa fissa:", "FisMrBas"},
    {"Numero di colonne per stampa fissa:", "FisColonne"},
    {"Righe per pagina per stampa fissa:", "FisRighe"},
    {"Sequenza inizio compresso:", "FisCodIniComp"},
    {"Sequenza fine compresso:", "FisCodFinComp"},
    {"Stampa in compresso per stampa fissa:", "FisUtilComp"},
    {"Nome stampante:", "NomeStampante"},
    {"Porta stampante:", "NomePorta"},
    {"Cassetto:", "Cassetto"},
    {"Nome file Pdf autom.", "PdfNomeAutom"},
    {"Invia per Email", "InviaEmail"},
    {"Tipo carta:", "TipoCarta"},
}};

const std::array<int, NumOpzioniSalvate> OrdineScrittura = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 24, 22, 23};

namespace {

QString Intero(int n) {
    return QString::number(n);
}
QString Booleano(bool b) {
    return b ? QStringLiteral("-1") : QStringLiteral("0");
}
QString SiNo(bool b) {
    return b ? QStringLiteral("Sì") : QStringLiteral("No");
}
int Codice(const IOpzioniStampa& o, const char* chiave) {
    return o.Valore(QString::fromLatin1(chiave)).toInt();
}
bool Acceso(const IOpzioniStampa& o, const char* chiave) {
    return o.Valore(QString::fromLatin1(chiave)).toBool();
}

// The zoom as saved: divided by the preview scaling factor and rounded to
// two decimals when that factor is positive, in the operator's number form.
QString Fattore(float fatt, double fattoreStaVid) {
    // the single as written (1.2f is 1.2, not 1.2000000476...)
    const double f = QString::number(fatt, 'g', 7).toDouble();
    const IUtilita& u = Utilita();
    if (fattoreStaVid > 0)
        return u.ApplicaFormato(u.Arrotonda(f / fattoreStaVid, 5, QStringLiteral("A"), 2, 1, 2, -2),
                                QStringLiteral("0.##"));
    return u.ApplicaFormato(f, QStringLiteral("0.#######"));
}

// Rows whose value is a text: an empty one removes the key.
bool RigaTesto(int i) {
    return i == 2 || i == 4 || i == 10 || i == 16 || i == 17 || i == 19 || i == 20;
}

} // namespace

QString ValoreDaSalvare(const IOpzioniStampa& o, int i, double fattoreStaVid) {
    switch (i) {
    case 0:
        return Intero(o.oiStaVid);
    case 1:
        return Booleano(o.obForzaVert);
    case 2:
        return o.osFileName;
    case 3:
        return Intero(o.oiFileForm);
    case 4:
        return o.osPathDefault;
    case 5:
        return Intero(o.osSepCampi.isEmpty() ? 0 : o.osSepCampi.at(0).unicode());
    case 6:
        return o.osDelimStr.isEmpty() ? QStringLiteral("-1") : Intero(o.osDelimStr.at(0).unicode());
    case 7:
        return Booleano(o.obNumNoForm);
    case 8:
        return Fattore(o.ofFatt, fattoreStaVid);
    case 9:
        return Intero(o.oiMemVid);
    case 10:
        return o.osFisFileName;
    case 11:
        return Booleano(o.obFisStampante);
    case 12:
        return Intero(o.oiFisMrAlt);
    case 13:
        return Intero(o.oiFisMrBas);
    case 14:
        return Intero(o.oiFisColonne);
    case 15:
        return Intero(o.oiFisRighe);
    case 16:
        return o.osFisCodIniComp;
    case 17:
        return o.osFisCodFinComp;
    case 18:
        return Booleano(o.obFisUtilComp);
    case 19:
        return o.osNomeStampante;
    case 20:
        return o.osNomePorta;
    case 21:
        return Intero(Codice(o, "NumCassetto"));
    case 22:
        return Acceso(o, "PdfAutomAbil") ? QStringLiteral("S") : QStringLiteral("N");
    case 23:
        return Acceso(o, "EmailInvia") ? QStringLiteral("S") : QStringLiteral("N");
    case 24:
        return Intero(Codice(o, "NumTipoCarta"));
    default:
        return QString();
    }
}

QString ValoreMostrato(const IOpzioniStampa& o, int i, double fattoreStaVid,
                       const QString& cartellaDialogo) {
    switch (i) {
    case 0: {
        static const char* const destinazioni[] = {"Stampante", "Video", "File", "Fissa"};
        return (o.oiStaVid >= 0 && o.oiStaVid <= 3) ? QString::fromLatin1(destinazioni[o.oiStaVid])
                                                    : Intero(o.oiStaVid);
    }
    case 1:
        return SiNo(o.obForzaVert);
    case 3:
        return o.DescrFormato(o.oiFileForm);
    case 4:
        return o.osPathDefault.isEmpty() ? cartellaDialogo : o.osPathDefault;
    case 5:
        if (o.osSepCampi == QLatin1String("\t"))
            return QStringLiteral("Tab");
        if (o.osSepCampi == QLatin1String(" "))
            return QStringLiteral("Spazio");
        return o.osSepCampi;
    case 6:
        return o.osDelimStr;
    case 7:
        return SiNo(o.obNumNoForm);
    case 11:
        return o.obFisStampante ? QStringLiteral("True") : QStringLiteral("False");
    case 18:
        return SiNo(o.obFisUtilComp);
    case 21:
    case 24: {
        const int c = Codice(o, i == 21 ? "NumCassetto" : "NumTipoCarta");
        return c == 0 ? QStringLiteral("Default") : Intero(c);
    }
    case 22:
        return SiNo(Acceso(o, "PdfAutomAbil"));
    case 23:
        return SiNo(Acceso(o, "EmailInvia"));
    default:
        return ValoreDaSalvare(o, i, fattoreStaVid);
    }
}

void SalvaOpzioniStampa(const IOpzioniStampa& o, const SceltaSalvataggio& s) {
    const ContestoSessione& sessione = Sessione();
    const QString file = s.fileTerminale ? sessione.FileIniPrincipale : sessione.FileIniParametri;
    const QString sezione = s.sezioneDefault ? QStringLiteral("Opzioni Stampa") : o.osSezione();
    const bool tutte = std::all_of(s.spuntate.begin(), s.spuntate.end(), [](bool b) { return b; });
    if (s.fileTerminale && s.cancella && tutte) {
        ScriviIni(sezione, QString(), QString(), true, std::nullopt, 1, -1, 0, file);
        return;
    }
    for (int i : OrdineScrittura) {
        if (!s.spuntate[size_t(i)])
            continue;
        const QString valore = ValoreDaSalvare(o, i, sessione.FattoreStaVid);
        bool cancChiave = s.cancella;
        if (RigaTesto(i))
            cancChiave = cancChiave || Utilita().EVuoto(valore);
        else if (i == 21 || i == 24)
            cancChiave = cancChiave || valore == QLatin1String("0");
        ScriviIni(sezione, QString::fromLatin1(OpzioniSalvate[size_t(i)].chiave), valore, true,
                  std::nullopt, 1, 0, cancChiave ? -1 : 0, file);
    }
}

} // namespace quarvel
