#include "menu/FinestraMenu.h"

#include "menu/ServerMenu.h"
#include "suite/Messaggi.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quarvel::menu {

FinestraMenu::FinestraMenu(ServerMenu& server, QWidget* parent)
    : QWidget(parent), m_server(server) {
    setObjectName(QStringLiteral("frmMenu"));
    setWindowTitle(QStringLiteral("Menu - Quarvel"));

    auto* v = new QVBoxLayout(this);
    m_ditta = new QLabel(this);
    m_ditta->setObjectName(QStringLiteral("lblDitta"));
    m_ditta->setWordWrap(true);
    m_ditta->setTextFormat(Qt::RichText);
    v->addWidget(m_ditta);

    auto* titoloFunzioni = new QLabel(QStringLiteral("Funzioni"), this);
    QFont grassetto = titoloFunzioni->font();
    grassetto.setBold(true);
    titoloFunzioni->setFont(grassetto);
    v->addWidget(titoloFunzioni);
    m_funzioni = new QListWidget(this);
    m_funzioni->setObjectName(QStringLiteral("lstFunzioni"));
    for (const FunzioneMenu& f : FunzioniQuarvel()) {
        auto* voce = new QListWidgetItem(f.titolo, m_funzioni);
        voce->setData(Qt::UserRole, f.chiave);
        voce->setToolTip(f.form);
    }
    m_funzioni->setCurrentRow(0);
    m_funzioni->setMaximumHeight(m_funzioni->sizeHintForRow(0) * 3 + 2 * m_funzioni->frameWidth() +
                                 8);
    v->addWidget(m_funzioni);

    auto* titoloProgrammi = new QLabel(QStringLiteral("Programmi collegati"), this);
    titoloProgrammi->setFont(grassetto);
    v->addWidget(titoloProgrammi);
    m_programmi = new QListWidget(this);
    m_programmi->setObjectName(QStringLiteral("lstProgrammi"));
    m_programmi->setSelectionMode(QAbstractItemView::NoSelection);
    m_programmi->setFocusPolicy(Qt::NoFocus);
    m_programmi->setMinimumHeight(70);
    v->addWidget(m_programmi, 1);

    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    m_avvia = new QPushButton(QStringLiteral("&Avvia"), this);
    m_avvia->setObjectName(QStringLiteral("cmdAvvia"));
    m_avvia->setDefault(true);
    m_chiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
    m_chiudi->setObjectName(QStringLiteral("cmdChiudi"));
    pulsanti->addWidget(m_avvia);
    pulsanti->addWidget(m_chiudi);
    v->addLayout(pulsanti);

    connect(m_avvia, &QPushButton::clicked, this, &FinestraMenu::AvviaScelta);
    connect(m_funzioni, &QListWidget::itemActivated, this, [this] { AvviaScelta(); });
    connect(m_chiudi, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_server, &ServerMenu::ClientiCambiati, this, &FinestraMenu::AggiornaProgrammi);

    AggiornaDitta();
    AggiornaProgrammi();
    resize(440, 330);
}

void FinestraMenu::AggiornaDitta() {
    const QString descr = m_server.LeggiValore(QStringLiteral("DescAzie"), {});
    const QString db = m_server.LeggiValore(QStringLiteral("NomeDBAzie"), {});
    if (db.isEmpty()) {
        m_ditta->setText(QStringLiteral("Nessuna ditta scelta"));
        return;
    }
    m_ditta->setText(
        QStringLiteral("<b>%1</b><br><small>%2</small>")
            .arg((descr.isEmpty() ? QStringLiteral("(ditta senza descrizione)") : descr)
                     .toHtmlEscaped(),
                 db.toHtmlEscaped()));
}

void FinestraMenu::AggiornaProgrammi() {
    m_programmi->clear();
    for (const ClienteMenu& c : m_server.Clienti()) {
        QStringList titoli;
        for (const QString& k : c.funzioni)
            if (const auto f = TrovaFunzione(k))
                titoli << f->titolo;
            else
                titoli << k;
        m_programmi->addItem(QStringLiteral("Quarvel %1 (pid %2): %3")
                                 .arg(c.numero)
                                 .arg(c.pid)
                                 .arg(titoli.isEmpty() ? QStringLiteral("in avvio")
                                                       : titoli.join(QStringLiteral(", "))));
    }
    if (m_programmi->count() == 0) {
        auto* voce = new QListWidgetItem(QStringLiteral("Nessun programma collegato"), m_programmi);
        voce->setFlags(Qt::NoItemFlags);
    }
}

void FinestraMenu::AvviaScelta() {
    const QListWidgetItem* voce = m_funzioni->currentItem();
    if (!voce)
        return;
    const QString errore = m_server.Avvia(voce->data(Qt::UserRole).toString());
    if (!errore.isEmpty())
        MsgBox(errore, vbCritical, QStringLiteral("Menu"));
}

void FinestraMenu::closeEvent(QCloseEvent* e) {
    if (m_chiusuraConcessa) {
        e->accept();
        return;
    }
    e->ignore();
    if (m_chiusuraInCorso)
        return;
    m_chiusuraInCorso = true;
    m_chiudi->setEnabled(false);
    m_server.Chiudi([this](bool chiuso, const ServerMenu::Risposte& risposte) {
        m_chiusuraInCorso = false;
        m_chiudi->setEnabled(true);
        if (chiuso) {
            m_chiusuraConcessa = true;
            return; // ServerMenu::Chiuso ends the menu
        }
        QStringList rifiuti;
        for (const RispostaCliente& r : risposte)
            if (r.ok && !TestoRisposta(r).isEmpty())
                rifiuti << QStringLiteral("Quarvel %1: %2").arg(r.numero).arg(TestoRisposta(r));
        MsgBox(QStringLiteral("Il menu resta aperto: un programma non si è chiuso\r\n") +
                   rifiuti.join(QStringLiteral("\r\n")),
               vbExclamation, QStringLiteral("Menu"));
    });
}

DialogoLoginSql::DialogoLoginSql(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLoginSql"));
    setWindowTitle(QStringLiteral("Accesso al database SQL"));
    auto* f = new QFormLayout(this);
    m_utente = new QLineEdit(this);
    m_utente->setObjectName(QStringLiteral("txtUtente"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    f->addRow(QStringLiteral("&Utente"), m_utente);
    f->addRow(QStringLiteral("&Password"), m_password);
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    b->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Ok"));
    b->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Annulla"));
    f->addRow(b);
    connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void DialogoLoginSql::Imposta(const QString& utente) {
    m_utente->setText(utente);
    m_password->clear();
    (utente.isEmpty() ? m_utente : m_password)->setFocus();
}
QString DialogoLoginSql::Utente() const {
    return m_utente->text().trimmed();
}
QString DialogoLoginSql::Password() const {
    return m_password->text();
}

} // namespace quarvel::menu
