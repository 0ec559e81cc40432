#pragma once
// The shared object created at start and handed to the lookup component and
// to the data forms: it tells them that the program runs under the menu and
// which menu client to use.

#include <QObject>

namespace quarvel {

class IMenuClient;

class OggettoCondiviso final : public QObject {
    Q_OBJECT
public:
    explicit OggettoCondiviso(QObject* parent = nullptr) : QObject(parent) {
        setObjectName(QStringLiteral("OggettoCondiviso"));
    }

    // First operation: the program is active.
    void ImpostaAttivo(bool attivo) { m_attivo = attivo; }
    bool Attivo() const { return m_attivo; }
    // Second operation: the menu client.
    void ImpostaMenuClient(IMenuClient* menu) { m_menu = menu; }
    IMenuClient* MenuClient() const { return m_menu; }

private:
    bool m_attivo = false;
    IMenuClient* m_menu = nullptr;
};

} // namespace quarvel
