#pragma once
// Stand-ins for the tests of the connection logic: a menu that answers named
// values from a table, a data-access component that replays outcomes, and a
// utility object that forwards to the real one but lets a test decide the
// repair of a database file.

#include "suite/ComponenteDati.h"
#include "suite/MenuClient.h"
#include "suite/Utilita.h"

#include <QHash>
#include <QStringList>
#include <deque>
#include <functional>

namespace prova {

using namespace quarvel;

// The menu: named values from a table; "ChiediPwdSql" stands for the menu's
// login dialog and puts the next queued login (user, password) in place.
class MenuFinto final : public IMenuClient {
public:
    QHash<QString, QString> valori;
    std::deque<std::pair<QString, QString>> loginDaDialogo;
    QStringList letti;        // every name asked, in order
    int errorePerLettura = 0; // non-zero: every read throws this number

    int richiestePwdSql() const {
        return static_cast<int>(letti.count(QStringLiteral("ChiediPwdSql")));
    }

    QString LeggiValore(const QString& nome, const QString& predefinito) override {
        letti << nome;
        if (errorePerLettura)
            throw Errore(errorePerLettura, QStringLiteral("menu non raggiungibile"),
                         QStringLiteral("MenuClient"));
        if (nome == QLatin1String("ChiediPwdSql")) {
            if (!loginDaDialogo.empty()) {
                valori[QStringLiteral("SqlLogin")] = loginDaDialogo.front().first;
                valori[QStringLiteral("SqlPwd")] = loginDaDialogo.front().second;
                loginDaDialogo.pop_front();
            }
            return {};
        }
        return valori.value(nome, predefinito);
    }

    void ImpostaGestoreComandi(IComandiMenu*) override {}
    QString Collega(const QString&, const QString&, const QString&) override { return {}; }
    void Scollega() noexcept override {}
    bool Collegato() const override { return true; }
    void MostraMenu(const QString&) override {}
    QVariant InviaComando(const QString&, const QString&, const QVariant&) override { return {}; }
    void RitornaA(const QString&, const QString&, const QString&) override {}
    void RegistraFinestra(const QString&, const QString&, const QString&) override {}
    QString FileIni() override { return {}; }
    ParametriLancioMenu ParametriLancio() override { return {}; }
    QString CodiceProgramma() override { return QStringLiteral("INV"); }
    void AttivaFunzione(const QString&) override {}
    void FineFunzione(const QString&) override {}
    void ScriviValore(const QString& nome, const QString& valore) override {
        valori[nome] = valore;
    }
};

// The data-access component: each call of Apri takes the next outcome (0 is
// success, another number is raised as that error) and is recorded with the
// parameters in force at that moment.
class ComponenteFinto final : public IComponenteDati {
public:
    struct Chiamata {
        QString nome;
        int opzioni = 0;
        bool esclusivo = false;
        bool solaLettura = false;
        QString connessione;
        QString uid;
        QString pwd;
        QString accPwd;
    };

    QHash<QString, QString> parametri;
    std::deque<int> esiti;
    std::vector<Chiamata> chiamate;
    QString risposta = QStringLiteral("ditta#1");
    std::function<void()> primaDiAprire; // runs inside Apri, before the outcome
    int errorePerParametro = 0;

    QString Parametro(const QString& nome) const override { return parametri.value(nome); }
    void ImpostaParametro(const QString& nome, const QString& valore) override {
        if (errorePerParametro)
            throw Errore(errorePerParametro, QStringLiteral("parametro rifiutato"),
                         QStringLiteral("ComponenteDati"));
        parametri[nome] = valore;
    }

    void Apri(const QString& nome, int opzioni, bool esclusivo, bool solaLettura,
              const QString& connessione, QString& r) override {
        chiamate.push_back({nome, opzioni, esclusivo, solaLettura, connessione,
                            parametri.value(QStringLiteral("DbSqlPubUID")),
                            parametri.value(QStringLiteral("DbSqlPubPWD")),
                            parametri.value(QStringLiteral("DbAccPWD"))});
        if (primaDiAprire)
            primaDiAprire();
        int esito = 0;
        if (!esiti.empty()) {
            esito = esiti.front();
            esiti.pop_front();
        }
        if (esito != 0)
            throw Errore(esito, QStringLiteral("apertura rifiutata (%1)").arg(esito),
                         QStringLiteral("ComponenteFinto"));
        r = risposta;
    }

    void Chiudi(const QString&) override {}
    std::unique_ptr<IRecordset> ApriRecordset(const QString&, const QString&) override {
        return nullptr;
    }
    qint64 Esegui(const QString&, const QString&) override { return 0; }
    void Inizia(const QString&) override {}
    void Conferma(const QString&) override {}
    void Annulla(const QString&) override {}
    QString Traduci(const QString& sql, const QString&) const override { return sql; }
    QSqlDatabase Database(const QString&) const override { return {}; }
};

// The real utility object, with the repair of a database file left to the
// test when riparazione is set.
class UtilitaProva final : public IUtilita {
public:
    explicit UtilitaProva(IUtilita& reale) : r(reale) {}
    IUtilita& r;
    std::function<int(const QString&)> riparazione;
    QStringList riparati;

    int RiparaDatabase(const QString& file) const override {
        const_cast<UtilitaProva*>(this)->riparati << file;
        return riparazione ? riparazione(file) : r.RiparaDatabase(file);
    }

    bool EVuoto(const QVariant& v, int t, int o, bool g) const override {
        return r.EVuoto(v, t, o, g);
    }
    qint16 TestoInIntero(const QString& t, bool f, bool g) const override {
        return r.TestoInIntero(t, f, g);
    }
    double TestoInNumero(const QString& t, bool f) const override { return r.TestoInNumero(t, f); }
    qint32 TestoInLungo(const QString& t, bool f) const override { return r.TestoInLungo(t, f); }
    float TestoInSingolo(const QString& t, bool f) const override { return r.TestoInSingolo(t, f); }
    bool NumeroPositivo(const QString& t, bool f) const override { return r.NumeroPositivo(t, f); }
    QString ValoreSql(const QVariant& v, int t) const override { return r.ValoreSql(v, t); }
    QString FormatoNumero(const QVariant& v, int d, const QString& ri, bool s, const QString& m,
                          const QString& se, const QString& p) const override {
        return r.FormatoNumero(v, d, ri, s, m, se, p);
    }
    QString ApplicaFormato(const QVariant& v, const QString& m) const override {
        return r.ApplicaFormato(v, m);
    }
    QString ValoreOpzione(const QString& t, const QString& l) const override {
        return r.ValoreOpzione(t, l);
    }
    QString NumeroInTesto(double n) const override { return r.NumeroInTesto(n); }
    QString ComponiPercorso(const QString& n, const QString& u, const QString& c,
                            int m) const override {
        return r.ComponiPercorso(n, u, c, m);
    }
    bool FileEsiste(const QString& p) const override { return r.FileEsiste(p); }
    QString CartellaSistema() const override { return r.CartellaSistema(); }
    int LeggiIniFile(const QString& s, const QString& k, const QString& d, QString& v,
                     const QString& f) const override {
        return r.LeggiIniFile(s, k, d, v, f);
    }
    int LeggiIniDoppio(const QString& s, const QString& k, const QString& d, QString& v,
                       const QString& f1, const QString& f2) const override {
        return r.LeggiIniDoppio(s, k, d, v, f1, f2);
    }
    qint32 DimensioneCampo(IRecordset& rs, const QString& c) const override {
        return r.DimensioneCampo(rs, c);
    }
    bool CiSonoFinestre(const QList<QWidget*>& f, const QWidget* p) const override {
        return r.CiSonoFinestre(f, p);
    }
    double Massimo(std::initializer_list<double> n) const override { return r.Massimo(n); }
    double Minimo(std::initializer_list<double> n) const override { return r.Minimo(n); }
    QString SostituisciTesto(const QString& t, const QString& a, const QString& b) const override {
        return r.SostituisciTesto(t, a, b);
    }
    int CercaIndietro(const QString& t, const QString& a) const override {
        return r.CercaIndietro(t, a);
    }
    double Arrotonda(double v, int t, const QString& m, int p4, double u, int p6,
                     int p) const override {
        return r.Arrotonda(v, t, m, p4, u, p6, p);
    }
    int MostraForm(QWidget* f, int a, int b, int c, int d) const override {
        return r.MostraForm(f, a, b, c, d);
    }
    bool DaiFuoco(QWidget* c) const override { return r.DaiFuoco(c); }
    void PreparaTesto(QWidget* c) const override { r.PreparaTesto(c); }
    void FormattaTesto(QWidget* c, const QString& m) const override { r.FormattaTesto(c, m); }
    QWidget* ControllaCampi(QWidget* p) const override { return r.ControllaCampi(p); }
    QString ScegliCartella(const QString& t, const QString& i) const override {
        return r.ScegliCartella(t, i);
    }
};

} // namespace prova
