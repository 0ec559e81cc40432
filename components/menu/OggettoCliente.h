#pragma once
// The object each client exports on the bus: the menu's commands arrive here
// and go to the client's command receiver (the event EseguiComando).  A call
// from any process but the current owner of the menu's name is refused.

#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>

namespace quarvel::menu {

class ClientMenuDBus;

class OggettoCliente final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "it.belcor.Quarvel.Client")
public:
    explicit OggettoCliente(ClientMenuDBus* cliente);

public slots:
    QDBusVariant EseguiComando(const QString& idMenu, const QString& chiaveFunzione,
                               const QString& comando, const QDBusVariant& parametro);

private:
    ClientMenuDBus* m_cliente;
};

} // namespace quarvel::menu
