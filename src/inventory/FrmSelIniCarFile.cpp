#include "inventory/FrmSelIniCarFile.h"

#include "comune/Profilo.h"
#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarvel {

FrmSelIniCarFile::FrmSelIniCarFile(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("frmSelIniCarFile"));
    setWindowTitle(QStringLiteral("Selezione parametri per caricamento da file"));
    m_lista = new QListWidget(this);
    m_lista->setObjectName(QStringLiteral("LisParamIni"));
    m_comOk = new QPushButton(QStringLiteral("&Ok"), this);
    m_comOk->setObjectName(QStringLiteral("comOk"));
    m_comOk->setAutoDefault(false);
    m_comAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    m_comAnnulla->setObjectName(QStringLiteral("ComAnnulla"));
    m_comAnnulla->setAutoDefault(false);
    auto* v = new QVBoxLayout(this);
    v->addWidget(m_lista);
    auto* h = new QHBoxLayout;
    h->addStretch(1);
    h->addWidget(m_comOk);
    h->addWidget(m_comAnnulla);
    v->addLayout(h);
    resize(420, 300);
    connect(m_comOk, &QPushButton::clicked, this, &FrmSelIniCarFile::comOk_Click);
    connect(m_comAnnulla, &QPushButton::clicked, this, &FrmSelIniCarFile::ComAnnulla_Click);
    connect(m_lista, &QListWidget::itemDoubleClicked, this, [this] { comOk_Click(); });
    m_anteprima = new AnteprimaTasti(this, false, true);
    PreparaForm(this, FlagPrepara::NoAvviso);
    FinePreparaForm(this, 0);
}

FrmSelIniCarFile::~FrmSelIniCarFile() = default;

void FrmSelIniCarFile::setOsDaChi(const QString& v) {
    m_msDaChi = v;
    m_prefisso = v == QLatin1String("Bar") ? QStringLiteral("LettArtDafile")
                                           : QStringLiteral("LettMatrDafile");
}

bool FrmSelIniCarFile::mostra() {
    m_lista->clear();
    m_sezioni.clear();
    PrepLista(Sessione().FileIniPrincipale);
    PrepLista(Sessione().FileIniParametri);
    if (m_lista->count() == 0)
        return false;
    for (int i = 0; i < m_sezioni.size(); ++i)
        if (m_sezioni.at(i).compare(osLettArtDafile, Qt::CaseInsensitive) == 0) {
            m_lista->setCurrentRow(i);
            break;
        }
    return true;
}

void FrmSelIniCarFile::PrepLista(const QString& psFileIni) {
    if (psFileIni.isEmpty())
        return;
    // the names, NUL after each, read again in a larger buffer while they
    // do not fit
    int dimensione = 1024;
    QString buffer;
    int letti = profilo::NomiSezioniBuffer(psFileIni, buffer, dimensione);
    while (letti != 0 && letti >= dimensione - 2) {
        dimensione *= 2;
        letti = profilo::NomiSezioniBuffer(psFileIni, buffer, dimensione);
    }
    qsizetype inizio = 0;
    while (inizio < buffer.size()) {
        const qsizetype fine = buffer.indexOf(QChar(0), inizio);
        const QString nome = buffer.mid(inizio, fine < 0 ? -1 : fine - inizio);
        if (nome.isEmpty())
            break;
        inizio = fine < 0 ? buffer.size() : fine + 1;
        if (!nome.startsWith(m_prefisso, Qt::CaseInsensitive) ||
            m_sezioni.contains(nome, Qt::CaseInsensitive))
            continue;
        QString descrizione;
        const int trovato = Utilita().LeggiIniFile(nome, QStringLiteral("Descr"), QString(),
                                                   descrizione, psFileIni);
        m_lista->addItem(trovato ? descrizione : nome);
        m_sezioni << nome;
    }
}

void FrmSelIniCarFile::comOk_Click() {
    const int i = m_lista->currentRow();
    if (i < 0 || i >= m_sezioni.size())
        return;
    obOk = true;
    osLettArtDafile = m_sezioni.at(i);
    close();
}

void FrmSelIniCarFile::ComAnnulla_Click() {
    obOk = false;
    close();
}

void FrmSelIniCarFile::reject() {
    // Esc is the keyboard's own business (FiltroTasti drops it): the
    // dialog closes only by its buttons or its window.
}

void FrmSelIniCarFile::closeEvent(QCloseEvent* e) {
    // QDialog would ask reject(), which leaves the dialog open
    e->accept();
    hide();
    if (ofrmDett)
        QMetaObject::invokeMethod(ofrmDett.data(), "DopoSceIniLetFile", Qt::DirectConnection);
}

} // namespace quarvel
