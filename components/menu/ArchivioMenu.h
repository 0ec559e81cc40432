#pragma once
// The menu's store: named values, personal parameters and the table of
// Ctrl-key snippets, kept in one profile file readable and writable only by
// the user (mode 0600, its folder 0700).
//
//   [Valori]      one key per named value, under its full name
//                 ("NomeDBAzie", "Ditta.CambioLiraEuro",
//                 "Personal.Tutti.§Massimizzato", ...)
//   [TastiCtrl]   key number (negative with Shift) = the text bound to it
//   [Menu]        the menu's own settings: FileIni (main parameter file),
//                 CodiceProgramma (Quarvel's code in the menu)
//
// Names are compared without regard to case.  A value that begins or ends
// with a blank or a quote is written inside one pair of double quotes, so it
// reads back exactly as it was written.

#include <QString>
#include <optional>

namespace quarvel::menu {

class ArchivioMenu {
public:
    // The file given, or QUARVEL_MENU_STORE, or ~/.config/quarvel/menu.ini
    // (the user's configuration folder).
    explicit ArchivioMenu(QString file = {});

    static QString FilePredefinito();
    const QString& File() const { return m_file; }

    // The stored value; nullopt when missing.
    std::optional<QString> Leggi(const QString& sezione, const QString& chiave) const;
    // Writes the value (nullopt deletes the key).  Throws quarvel::Errore 5
    // for a name that cannot be a key or a value with a line break, 70 when
    // the file cannot be written.
    void Scrivi(const QString& sezione, const QString& chiave,
                const std::optional<QString>& valore);

    std::optional<QString> Valore(const QString& nome) const { return Leggi(Valori, nome); }
    void ScriviValore(const QString& nome, const QString& valore) { Scrivi(Valori, nome, valore); }

    static inline const QString Valori = QStringLiteral("Valori");
    static inline const QString TastiCtrl = QStringLiteral("TastiCtrl");
    static inline const QString Menu = QStringLiteral("Menu");

private:
    QString m_file;
};

} // namespace quarvel::menu
