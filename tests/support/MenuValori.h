#pragma once
// The menu as a data form reads it in a test: named values and personal
// parameters from a table (a personal parameter not in it is missing), the
// rest of the menu's calls answered and forgotten.

#include "suite/MenuClient.h"

#include <QMap>
#include <QVariant>

namespace prova {

class MenuValori final : public quarvel::IMenuClient {
public:
    QMap<QString, QString> valori;
    QVariant rispostaMsgBox; // what the menu's "MsgBox" answers

    void ImpostaGestoreComandi(quarvel::IComandiMenu*) override {}
    QString Collega(const QString&, const QString&, const QString&) override { return {}; }
    void Scollega() noexcept override {}
    bool Collegato() const override { return true; }
    void MostraMenu(const QString&) override {}
    QVariant InviaComando(const QString& comando, const QString&, const QVariant&) override {
        return comando == QLatin1String("MsgBox") ? rispostaMsgBox : QVariant();
    }
    void RitornaA(const QString&, const QString&, const QString&) override {}
    void RegistraFinestra(const QString&, const QString&, const QString&) override {}
    QString FileIni() override { return {}; }
    quarvel::ParametriLancioMenu ParametriLancio() override { return {}; }
    QString CodiceProgramma() override { return QStringLiteral("36"); }
    void AttivaFunzione(const QString&) override {}
    void FineFunzione(const QString&) override {}
    QString LeggiValore(const QString& nome, const QString& d) override {
        if (valori.contains(nome))
            return valori.value(nome);
        return nome.startsWith(QLatin1String("Personal.")) ? quarvel::ValoreMancanteMenu : d;
    }
    void ScriviValore(const QString& nome, const QString& v) override { valori[nome] = v; }
};

} // namespace prova
