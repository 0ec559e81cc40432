#include "FormProva.h"

#include "database/FrmConn.h"
#include "listform/ProcedureForm.h"
#include "startup/Principale.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Sessione.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace quarvel::prova {

void Traccia(const QString& riga) {
    const QString file = qEnvironmentVariable("QUARVEL_PROVA_TRACCIA");
    if (file.isEmpty())
        return;
    QFile f(file);
    if (f.open(QIODevice::Append | QIODevice::Text))
        f.write((riga + QLatin1Char('\n')).toUtf8());
}

FormProva::FormProva(const QString& nome) : QWidget(nullptr) {
    setObjectName(nome);
    setWindowTitle(QStringLiteral("Form di prova"));
    auto* l = new QVBoxLayout(this);
    auto* testo = new QLabel(QStringLiteral("Form di prova"), this);
    testo->setObjectName(QStringLiteral("labTesto"));
    l->addWidget(testo);
    resize(400, 200);
}

bool FormProva::Opzione(const char* nome) const {
    const QString o = QLatin1Char('/') + QLatin1String(nome);
    return osParam.contains(o, Qt::CaseInsensitive) ||
           qEnvironmentVariable("QUARVEL_PROVA_OPZIONI").contains(o, Qt::CaseInsensitive);
}

void FormProva::TabellaStd(QString&, QString&) {
    ++tabelleStd;
}

void FormProva::PassaA() {
    if (IMenuClient* m = Sessione().MenuClient)
        m->RegistraFinestra(windowTitle(), osKeyAttivazione, osKeySec);
}

void FormProva::Avvia() {
    ++avvii;
    if (m_loadOk == 0) {
        m_loadOk = -1;
        const ContestoSessione& s = Sessione();
        setWindowTitle(QStringLiteral("Form di prova - ") + s.DescrizioneDitta);
        Traccia(
            QStringLiteral("sessione OpzioneM=%1\tOpzioneP=%2\tOpzionePResto=%3\t"
                           "SegmentoMenu=%4\tDescrizioneDitta=%5\tDecimaliEuro=%6\t"
                           "StatoFinestra=%7\tFileIniPrincipale=%8\tFileIniParametri=%9\t"
                           "osKeySec=%10\toiAbilRW=%11\tPwdDbMenu=%12")
                .arg(s.OpzioneM, s.OpzioneP, s.OpzionePResto, s.SegmentoMenu, s.DescrizioneDitta)
                .arg(s.DecimaliEuro)
                .arg(s.StatoFinestra, s.FileIniPrincipale, s.FileIniParametri, osKeySec)
                .arg(oiAbilRW())
                .arg(s.PwdDbMenu));
        if (Opzione("FALLITA")) {
            // As a failed load: reported, the loading notice gone.
            ScaricaFrmConn();
            return;
        }
        ScaricaFrmConn();
        m_loadOk = 1;
    }
    show();
    raise();
    activateWindow();
    if (Opzione("ALTRA"))
        QTimer::singleShot(0, this, [] {
            auto* altra = new QWidget(nullptr);
            altra->setObjectName(QStringLiteral("frmAltra"));
            altra->setWindowTitle(QStringLiteral("Altra finestra"));
            altra->setAttribute(Qt::WA_DeleteOnClose);
            altra->resize(200, 100);
            altra->show();
        });
    if (Opzione("MODALE"))
        QTimer::singleShot(0, this, [this] {
            auto* d = new QDialog(this);
            d->setObjectName(QStringLiteral("dlgModale"));
            d->setWindowTitle(QStringLiteral("Finestra modale"));
            d->setModal(true);
            d->setAttribute(Qt::WA_DeleteOnClose);
            d->show();
            Traccia(QStringLiteral("modale"));
        });
}

int FormProva::Leggi(const QString& sql) {
    try {
        const ContestoSessione& s = Sessione();
        if (!s.ComponenteDati)
            throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Componente dati non creato"),
                         QStringLiteral("FormProva"));
        auto rs = s.ComponenteDati->ApriRecordset(sql, s.RisultatoConnessione);
        int righe = 0;
        for (; !rs->Eof(); rs->MoveNext())
            ++righe;
        rs->Close();
        return righe;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
        return -1;
    }
}

void FormProva::closeEvent(QCloseEvent* e) {
    if (Opzione("NOCHIUDI")) {
        e->ignore();
        return;
    }
    e->accept();
    Traccia(QStringLiteral("chiusa"));
    if (m_loadOk != 1)
        return;
    // As the data forms close: the program ends when no other window is left,
    // and the menu hears that the function has ended.
    PianificaChiusura(0);
    try {
        if (IMenuClient* m = Sessione().MenuClient; m && !osKeySec.isEmpty())
            m->FineFunzione(osKeySec);
    } catch (...) {
    }
}

void FormProva::paintEvent(QPaintEvent* e) {
    QWidget::paintEvent(e);
    if (m_dipinta)
        return;
    m_dipinta = true;
    Traccia(QStringLiteral("mostrata %1 %2")
                .arg(QDateTime::currentMSecsSinceEpoch())
                .arg(QCoreApplication::applicationPid()));
}

void RegistraFormProva() {
    QStringList nomi{QStringLiteral("frmProva")};
    for (const QString& n : qEnvironmentVariable("QUARVEL_FORME_PROVA").split(QLatin1Char(',')))
        if (!n.trimmed().isEmpty())
            nomi << n.trimmed();
    for (const QString& n : nomi)
        RegistraForm(n, [n]() -> FormDati* { return new FormProva(n); });
}

} // namespace quarvel::prova
