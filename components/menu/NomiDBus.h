#pragma once
// Names of the menu link on the D-Bus session bus.
//
// The menu (quarvel-menu) owns the well-known name it.belcor.Quarvel.Menu and
// exports two objects:
//   /it/belcor/Quarvel/Menu            interface it.belcor.Quarvel.Menu: the
//                                      operations of the menu client (Collega,
//                                      Scollega, LeggiValore, ...); the caller's
//                                      unique bus name tells the clients apart
//   /it/belcor/Quarvel/Menu/Controllo  interface it.belcor.Quarvel.Menu.Controllo:
//                                      what scripts and tools ask of the menu
//                                      (Avvia, Comando, Clienti, Finestre,
//                                      Mostra, Chiudi)
// Every client opens a connection of its own to the session bus and exports
// at /it/belcor/Quarvel/Client the interface it.belcor.Quarvel.Client with the
// one method EseguiComando(s idMenu, s chiaveFunzione, s comando, v parametro)
// -> v risposta.
//
// Who may do what (the caller told by its unique name, its pid asked of the
// bus daemon):
//   - a process that never called Collega reads and writes no named value
//     and sends no command to the menu;
//   - a registered client reads and writes the named values, except the
//     secrets (ServerMenu::ChiaviSegrete: PwdDbAzie, AccMenuPwd, SqlLogin,
//     SqlPwd, ConnectDBAzie, every EmailPwd...) and the request
//     ChiediPwdSql, which it reads as missing and cannot write, and
//     NomeDBAzie, which it cannot write;
//   - a registered client the menu started (the process itself, or one
//     started by it; the first to register of each launch) reads and
//     writes them all;
//   - the control interface gives no named value: it serves the user's
//     scripts and tools;
//   - a client takes EseguiComando only from the current owner of the
//     menu's name, and answers anyone else with AccessDenied.
//
// Variants travel as D-Bus variants: text, numbers and booleans as they are,
// a list as an array of variants (av), and "no value" as the empty text.

#include <QString>
#include <QVariant>

namespace quarvel::menu {

// it.belcor.Quarvel.Menu, or the name in QUARVEL_MENU_BUS_NAME (tests that
// run side by side on one bus each take a name of their own; the programs
// they start inherit it).
QString ServizioMenu();
inline const QString PercorsoMenu = QStringLiteral("/it/belcor/Quarvel/Menu");
inline const QString InterfacciaMenu = QStringLiteral("it.belcor.Quarvel.Menu");
inline const QString PercorsoControllo = QStringLiteral("/it/belcor/Quarvel/Menu/Controllo");
inline const QString InterfacciaControllo = QStringLiteral("it.belcor.Quarvel.Menu.Controllo");
inline const QString PercorsoCliente = QStringLiteral("/it/belcor/Quarvel/Client");
inline const QString InterfacciaCliente = QStringLiteral("it.belcor.Quarvel.Client");

// The value ready to be wrapped in a QDBusVariant (lists made of variants,
// an invalid value as the empty text, other types as text).
QVariant VersoDBus(const QVariant& v);
// A received variant back to plain Qt values (QDBusVariant and QDBusArgument
// unwrapped; an array becomes a QVariantList).
QVariant DaDBus(const QVariant& v);

} // namespace quarvel::menu
