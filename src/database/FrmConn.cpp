#include "database/FrmConn.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>

// The pictures live in the library's resource file; a static library must
// register them itself.
static void CaricaImmaginiConnessione() {
    Q_INIT_RESOURCE(immagini);
}

namespace quarvel {

namespace {
FrmConn* istanza = nullptr;

QLabel* Immagine(QWidget* padre, const char* nome, const QString& risorsa, const QRect& r) {
    auto* l = new QLabel(padre);
    l->setObjectName(QLatin1String(nome));
    l->setPixmap(QPixmap(risorsa));
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(r);
    return l;
}

QLabel* Etichetta(QWidget* padre, const char* nome, const QRect& r) {
    auto* l = new QLabel(padre);
    l->setObjectName(QLatin1String(nome));
    l->setGeometry(r);
    return l;
}
} // namespace

FrmConn::FrmConn() : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    CaricaImmaginiConnessione();
    setObjectName(QStringLiteral("frmConn"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Connessione al database"));
    setFixedSize(Larghezza, Altezza);

    m_imgLogo = Immagine(this, "imgLogo", QStringLiteral(":/database/immagini/logo.png"),
                         QRect(20, 20, 96, 96));
    m_imgLogo->setVisible(false);

    m_labTitolo = Etichetta(this, "labTitolo", QRect(136, 24, 284, 36));
    QFont grande = m_labTitolo->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.6);
    grande.setBold(true);
    m_labTitolo->setFont(grande);
    m_labTitolo->setText(QStringLiteral("Quarvel"));

    m_labVersione = Etichetta(this, "labVersione", QRect(136, 66, 230, 22));
    m_LabDataVer = Etichetta(this, "LabDataVer", QRect(136, 90, 230, 22));

    m_imgOracle = Immagine(this, "imgOracle", QStringLiteral(":/database/immagini/server.png"),
                           QRect(372, 68, 48, 48));
    m_imgOracle->setVisible(false);
    m_imgAccess = Immagine(this, "imgAccess", QStringLiteral(":/database/immagini/engine.png"),
                           QRect(372, 68, 48, 48));
    m_imgAccess->setVisible(false);

    // Holds the name of the database being opened, not shown (a complete
    // ODBC text may carry a password), or the form being loaded, shown.
    m_txtNomeDb = new QLineEdit(this);
    m_txtNomeDb->setObjectName(QStringLiteral("txtNomeDb"));
    m_txtNomeDb->setReadOnly(true);
    m_txtNomeDb->setFocusPolicy(Qt::NoFocus);
    m_txtNomeDb->setGeometry(136, 100, 284, 24);
    m_txtNomeDb->setVisible(false);

    Centra();
}

FrmConn::~FrmConn() {
    if (istanza == this)
        istanza = nullptr;
}

void FrmConn::Centra() {
    QScreen* schermo = QGuiApplication::primaryScreen();
    if (!schermo)
        return;
    const QRect g = schermo->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
}

void FrmConn::MostraConnessione(const QString& caption, const QString& nomeDb, bool mostraTesto) {
    m_txtNomeDb->setVisible(mostraTesto);
    m_txtNomeDb->setText(nomeDb);
    m_txtNomeDb->setCursorPosition(0);
    show();
    setWindowTitle(caption);
    repaint();
    QCoreApplication::processEvents();
}

FrmConn* frmConn() {
    if (!istanza)
        istanza = new FrmConn();
    return istanza;
}

FrmConn* frmConnSeCaricata() {
    return istanza;
}

void ScaricaFrmConn() {
    if (FrmConn* f = istanza) {
        istanza = nullptr;
        f->hide();
        delete f;
    }
}

} // namespace quarvel
