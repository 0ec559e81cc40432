#pragma once
// The menu's window: the company, Quarvel's three functions, the Quarvel
// processes registered.  Thin: the choices go to ServerMenu.  Closing the
// window sends "fine" to every client and ends the menu only when none
// refused.

#include <QDialog>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quarvel::menu {

class ServerMenu;

class FinestraMenu final : public QWidget {
    Q_OBJECT
public:
    explicit FinestraMenu(ServerMenu& server, QWidget* parent = nullptr);

    // Opens the chosen function; why it could not goes to the operator.
    void AvviaScelta();
    void AggiornaDitta();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void AggiornaProgrammi();

    ServerMenu& m_server;
    QLabel* m_ditta = nullptr;
    QListWidget* m_funzioni = nullptr;
    QListWidget* m_programmi = nullptr;
    QPushButton* m_avvia = nullptr;
    QPushButton* m_chiudi = nullptr;
    bool m_chiusuraConcessa = false;
    bool m_chiusuraInCorso = false;
};

// The SQL login the menu asks for ("ChiediPwdSql").
class DialogoLoginSql final : public QDialog {
    Q_OBJECT
public:
    explicit DialogoLoginSql(QWidget* parent = nullptr);
    void Imposta(const QString& utente);
    QString Utente() const;
    QString Password() const;

private:
    QLineEdit* m_utente = nullptr;
    QLineEdit* m_password = nullptr;
};

} // namespace quarvel::menu
