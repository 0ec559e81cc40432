#pragma once
// A menu client of the tests' own: named values from a map, the calls
// recorded, failures on request.

#include "suite/Errore.h"
#include "suite/MenuClient.h"

#include <QMap>
#include <QStringList>
#include <optional>

namespace quarvel::prova {

class MenuFinto final : public IMenuClient {
public:
    QMap<QString, QString> valori;
    ParametriLancioMenu lancio;
    QString fileIni;
    QString codice = QStringLiteral("QUARVEL");
    // Errors raised by the operations of that name.
    QMap<QString, int> errori;

    IComandiMenu* gestore = nullptr;
    QStringList chiamate;
    QVariantList parametriAddSeg;
    // The texts the menu was asked to show ("MsgBox").
    QStringList messaggi;
    bool collegato = false;
    int mostraMenu = 0;

    void Fallisci(const QString& operazione) {
        chiamate << operazione;
        if (errori.contains(operazione))
            throw Errore(errori.value(operazione), QStringLiteral("guasto in ") + operazione,
                         QStringLiteral("MenuClient"));
    }

    void ImpostaGestoreComandi(IComandiMenu* g) override { gestore = g; }
    QString Collega(const QString& m, const QString& p, const QString& resto) override {
        Fallisci(QStringLiteral("Collega"));
        chiamate.last() += QStringLiteral("(%1|%2|%3)").arg(m, p, resto);
        collegato = true;
        return QStringLiteral("1");
    }
    void Scollega() noexcept override {
        chiamate << QStringLiteral("Scollega");
        collegato = false;
    }
    bool Collegato() const override { return collegato; }
    void MostraMenu(const QString&) override {
        Fallisci(QStringLiteral("MostraMenu"));
        ++mostraMenu;
    }
    QVariant InviaComando(const QString& comando, const QString&,
                          const QVariant& parametro) override {
        Fallisci(comando);
        if (comando == QLatin1String("MsgBox"))
            messaggi << parametro.toString();
        if (comando == QLatin1String("PrepProcCorr"))
            return QStringLiteral("S1");
        if (comando == QLatin1String("AddSeg")) {
            parametriAddSeg << parametro;
            if (parametro.typeId() == QMetaType::QVariantList)
                return parametro.toList().value(1).toString() + QStringLiteral(".") +
                       parametro.toList().value(0).toString();
            return QStringLiteral("S1");
        }
        return {};
    }
    void RitornaA(const QString& k, const QString& k2, const QString& p) override {
        Fallisci(QStringLiteral("RitornaA"));
        chiamate.last() += QStringLiteral("(%1|%2|%3)").arg(k, k2, p);
    }
    void RegistraFinestra(const QString& caption, const QString& numero,
                          const QString& chiaveSec) override {
        Fallisci(QStringLiteral("RegistraFinestra"));
        chiamate.last() += QStringLiteral("(%1|%2|%3)").arg(caption, numero, chiaveSec);
    }
    QString FileIni() override {
        Fallisci(QStringLiteral("FileIni"));
        return fileIni;
    }
    ParametriLancioMenu ParametriLancio() override {
        Fallisci(QStringLiteral("ParametriLancio"));
        return lancio;
    }
    QString CodiceProgramma() override {
        Fallisci(QStringLiteral("CodiceProgramma"));
        return codice;
    }
    void AttivaFunzione(const QString& chiave) override {
        Fallisci(QStringLiteral("AttivaFunzione"));
        chiamate.last() += QStringLiteral("(%1)").arg(chiave);
    }
    void FineFunzione(const QString& chiaveSec) override {
        Fallisci(QStringLiteral("FineFunzione"));
        chiamate.last() += QStringLiteral("(%1)").arg(chiaveSec);
    }
    QString LeggiValore(const QString& nome, const QString& predefinito) override {
        if (errori.contains(nome))
            throw Errore(errori.value(nome), QStringLiteral("guasto in ") + nome,
                         QStringLiteral("MenuClient"));
        if (valori.contains(nome))
            return valori.value(nome);
        if (nome.startsWith(QLatin1String("Personal.")))
            return ValoreMancanteMenu;
        return predefinito;
    }
    void ScriviValore(const QString& nome, const QString& valore) override {
        valori.insert(nome, valore);
    }
};

} // namespace quarvel::prova
