// The print on screen driven as the operator drives it: the print object
// draws a list of 2,000 rows page by page on the preview form and waits there;
// the operator's clicks are played by a timer while it waits.  Page keeping
// writes real files in a private temporary folder, which are checked on disk.

#include "ListaMemoria.h"
#include "print/OpzioniStampa.h"
#include "print/Stampa.h"
#include "printing/FrmVStaPar.h"
#include "printing/FrmVStampa.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarvel;

namespace {
using Passo = std::function<void(FrmVStampa*)>;

// What the operator saw at a moment: the page label, the status text and
// the arrows enabled.
struct Vista {
    QString pagina;
    QString messaggio;
    bool frecce[4] = {};
};
Vista Guarda(FrmVStampa* f) {
    Vista v{f->labPage()->text(), f->LabMsg(), {}};
    for (int i = 1; i <= 4; ++i)
        v.frecce[i - 1] = f->imaMuovi(i)->isEnabled();
    return v;
}
QByteArray Contenuto(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void Clic(FrmVStampa* f, int freccia) {
    // a disabled arrow takes no click: the handler is run as the form would
    if (f->imaMuovi(freccia)->isEnabled())
        QTest::mouseClick(f->imaMuovi(freccia), Qt::LeftButton);
    else
        f->ImaMuovi_Click(freccia);
}
} // namespace

class TstAnteprima : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void avantiSenzaMemorizzazione();
    void memorizzazione();
    void intervalloDaCinque();
    void stampaTerminata();
    void pagina12EFileCancellati();
    void uscitaRifiutataInStampa();
    void memorizzazioneImpossibile();
    void secondaStampaEStampaChiusa();
    void barreEZoom_data();
    void barreEZoom();
    void foglioTroppoLungo();
    void dialogoZoom();
    void paginePrivate();
    void pagineAbbandonate();

private:
    // Runs the print to the screen; the steps are played one at a time,
    // each while the print waits for the operator.  The pages drawn.
    qint64 Anteprima(const std::vector<Passo>& passi);
    QStringList FilePagine() const;

    QTemporaryDir m_dir;
    prova::ListaMemoria m_lista;
    std::unique_ptr<stampa::OpzioniStampa> m_opz;
    std::unique_ptr<stampa::Stampa> m_sta;
    QPointer<FrmVStampa> m_frm;
    int m_passiFatti = 0;
};

void TstAnteprima::initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    QCOMPARE(QDir::tempPath(), QDir(m_dir.path()).canonicalPath());
    InstallaUtilita();
    Sessione().FattoreStaVid = 0;
    m_lista.colonne_ = {{QStringLiteral("Cod"), QStringLiteral("Codice"), 1400, {}, true, 8},
                        {QStringLiteral("Descr"), QStringLiteral("Descrizione"), 4000, {}, true, 8},
                        {QStringLiteral("Qta"), QStringLiteral("Quantità"), 1400, {}, true, 5}};
    for (int i = 1; i <= 2000; ++i)
        m_lista.righe_.push_back(
            {{QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0')),
              QStringLiteral("Articolo %1").arg(i), i * 1.5},
             {QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0')),
              QStringLiteral("Articolo %1").arg(i), QString::number(i * 1.5, 'f', 2)}});
}

void TstAnteprima::init() {
    ImpostaStampaAttiva(0);
    m_opz = std::make_unique<stampa::OpzioniStampa>(QStringLiteral("Prova"));
    m_opz->oiStaVid = DestStampa::Video;
    m_opz->ofFatt = 1.0f;
    m_sta = std::make_unique<stampa::Stampa>();
    m_sta->setOgOpzSta(m_opz.get());
    m_frm = FinestraVStampa();
    m_frm->resize(900, 700);
    m_sta->setOfrmVStampa(m_frm);
    m_passiFatti = 0;
}

void TstAnteprima::cleanup() {
    ImpostaStampaAttiva(0);
    if (m_frm)
        m_frm->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTRY_VERIFY(m_frm.isNull());
    QVERIFY2(FilePagine().isEmpty(), qPrintable(FilePagine().join(QLatin1Char(' '))));
}

QStringList TstAnteprima::FilePagine() const {
    // the page files wherever they are under the temporary folder, and the
    // page folders themselves
    QStringList file;
    QDirIterator i(m_dir.path(),
                   {QStringLiteral("quarvel-video-*"), QStringLiteral("quarvel-pagine-*")},
                   QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (i.hasNext()) {
        i.next();
        if (i.fileInfo().isFile())
            file << i.fileName();
    }
    return file;
}

qint64 TstAnteprima::Anteprima(const std::vector<Passo>& passi) {
    QTimer t;
    t.setInterval(5);
    size_t k = 0;
    connect(&t, &QTimer::timeout, this, [&] {
        if (k < passi.size() && m_frm)
            passi[k++](m_frm);
        m_passiFatti = int(k);
    });
    t.start();
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    r.orientamento = 1;
    r.font = QFont(QStringLiteral("Arial"), 10);
    r.titolo = QStringLiteral("Articoli");
    r.ditta = QStringLiteral("Ditta di prova");
    const qint64 n = m_sta->StampaLista(m_lista, r);
    t.stop();
    return n;
}

void TstAnteprima::avantiSenzaMemorizzazione() {
    m_opz->oiMemVid = 0;
    std::vector<Vista> viste;
    const auto guarda = [&](FrmVStampa* f) { viste.push_back(Guarda(f)); };
    const qint64 n = Anteprima(
        {guarda, [](FrmVStampa* f) { Clic(f, 1); }, // nothing without keeping
         [](FrmVStampa* f) { Clic(f, 2); }, [](FrmVStampa* f) { Clic(f, 4); }, guarda,
         [](FrmVStampa* f) { Clic(f, 3); }, guarda, [](FrmVStampa* f) { Clic(f, 3); }, guarda,
         [](FrmVStampa* f) { Clic(f, 2); }, guarda, [](FrmVStampa* f) { f->ComEsci()->click(); }});
    QCOMPARE(n, 3);
    QCOMPARE(viste.size(), size_t(5));
    QCOMPARE(viste[0].pagina, QString("Pag.001"));
    QVERIFY(viste[0].messaggio.startsWith(QLatin1String("Pagina 1 di ")));
    // only the next arrow without page keeping
    QCOMPARE(viste[0].frecce[0], false);
    QCOMPARE(viste[0].frecce[1], false);
    QCOMPARE(viste[0].frecce[2], true);
    QCOMPARE(viste[0].frecce[3], false);
    QCOMPARE(viste[1].pagina, QString("Pag.001"));
    QCOMPARE(viste[2].pagina, QString("Pag.002"));
    QCOMPARE(viste[3].pagina, QString("Pag.003"));
    QCOMPARE(viste[4].pagina, QString("Pag.003")); // the previous arrow did nothing
    QVERIFY(FilePagine().isEmpty());               // nothing kept
    QCOMPARE(m_sta->oiUltPagSalv, qint16(0));
    // "&Esci" while the print ran: the form closes once the print is over
    QTRY_VERIFY(m_frm.isNull());
}

void TstAnteprima::memorizzazione() {
    m_opz->oiMemVid = 1;
    std::vector<Vista> viste;
    QImage pagina2, ricaricata2;
    qint16 ultimaDisegnata = 0;
    const auto guarda = [&](FrmVStampa* f) { viste.push_back(Guarda(f)); };
    const qint64 n = Anteprima({
        guarda,
        [](FrmVStampa* f) { Clic(f, 3); },
        [&](FrmVStampa* f) {
            pagina2 = f->PicSec()->Immagine().copy();
            Clic(f, 3);
        },
        guarda,                            // page 3, drawn
        [](FrmVStampa* f) { Clic(f, 2); }, // back to 2, from its file
        [&](FrmVStampa* f) {
            guarda(f);
            ricaricata2 = f->PicSec()->Immagine().copy();
            Clic(f, 1);
        },
        guarda, // page 1
        [](FrmVStampa* f) { Clic(f, 4); },
        guarda, // page 3 again
        [](FrmVStampa* f) { Clic(f, 1); },
        [](FrmVStampa* f) { Clic(f, 3); }, // to 2 from its file: nothing new drawn
        [&](FrmVStampa* f) {
            guarda(f);
            ultimaDisegnata = f->ogStampa()->oiUltPag;
        },
        [](FrmVStampa* f) { f->ComEsci()->click(); },
    });
    QCOMPARE(n, 3);
    QCOMPARE(viste[0].pagina, QString("Pag.001"));
    QCOMPARE(viste[0].frecce[0], true);
    QCOMPARE(viste[0].frecce[1], true);
    QCOMPARE(viste[0].frecce[2], true);
    QCOMPARE(viste[0].frecce[3], true);
    QCOMPARE(viste[1].pagina, QString("Pag.003"));
    QCOMPARE(viste[2].pagina, QString("Pag.002"));
    QCOMPARE(viste[3].pagina, QString("Pag.001"));
    QCOMPARE(viste[4].pagina, QString("Pag.003"));
    QCOMPARE(viste[5].pagina, QString("Pag.002"));
    QCOMPARE(ultimaDisegnata, qint16(3));
    // the page read back from its file is the page drawn
    QVERIFY(!pagina2.isNull());
    QCOMPARE(ricaricata2.size(), pagina2.size());
    QVERIFY(ricaricata2.convertToFormat(QImage::Format_RGB32) ==
            pagina2.convertToFormat(QImage::Format_RGB32));
    QTRY_VERIFY(m_frm.isNull());
}

void TstAnteprima::intervalloDaCinque() {
    m_opz->oiMemVid = 1;
    m_opz->setValore(QStringLiteral("PaginaDa"), 5);
    m_opz->setValore(QStringLiteral("PaginaA"), 9);
    std::vector<Vista> viste;
    const auto guarda = [&](FrmVStampa* f) { viste.push_back(Guarda(f)); };
    const qint64 n = Anteprima(
        {guarda, [](FrmVStampa* f) { Clic(f, 3); }, [](FrmVStampa* f) { Clic(f, 3); }, guarda,
         [](FrmVStampa* f) { Clic(f, 1); }, guarda, [](FrmVStampa* f) { Clic(f, 2); }, guarda,
         [](FrmVStampa* f) { Clic(f, 3); }, [](FrmVStampa* f) { Clic(f, 2); },
         [](FrmVStampa* f) { Clic(f, 2); }, guarda, [](FrmVStampa* f) { f->ComEsci()->click(); }});
    QCOMPARE(n, 3); // 5, 6 and 7
    QCOMPARE(viste[0].pagina, QString("Pag.005"));
    QCOMPARE(viste[0].messaggio, QString("Pagina 5 di 9"));
    QCOMPARE(viste[1].pagina, QString("Pag.007"));
    QCOMPARE(viste[2].pagina, QString("Pag.005")); // the first arrow: the range's first page
    QCOMPARE(viste[3].pagina, QString("Pag.005")); // no previous page before it
    QCOMPARE(viste[4].pagina, QString("Pag.005"));
    QTRY_VERIFY(m_frm.isNull());
}

void TstAnteprima::stampaTerminata() {
    m_opz->oiMemVid = 0;
    m_opz->setValore(QStringLiteral("PaginaA"), 2);
    const qint64 n = Anteprima({[](FrmVStampa* f) { Clic(f, 3); }});
    QCOMPARE(n, 2);
    // the print is over: the preview stays with its last page
    QCOMPARE(StampaAttiva(), qint16(0));
    QVERIFY(m_frm && m_frm->isVisible());
    QCOMPARE(m_frm->LabMsg(), QString("Stampa Terminata"));
    QCOMPARE(m_frm->labPage()->text(), QString("Pag.002"));
    QVERIFY(!m_frm->imaMuovi(3)->isEnabled());
    // the next arrow after the end leaves the page as it is
    m_frm->ImaMuovi_Click(3);
    QCOMPARE(m_frm->labPage()->text(), QString("Pag.002"));
    QCOMPARE(m_sta->oiPagCorr, qint16(2));
    QCOMPARE(m_sta->oiUltPag, qint16(2));
    // now "&Esci" unloads it at once
    m_frm->ComEsci()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTRY_VERIFY(m_frm.isNull());
}

void TstAnteprima::pagina12EFileCancellati() {
    m_opz->oiMemVid = 1;
    m_opz->setValore(QStringLiteral("PaginaA"), 14);
    std::vector<Passo> passi(12, [](FrmVStampa* f) { Clic(f, 3); });
    QString base, file12;
    bool esiste = false;
    QStringList presenti;
    passi.push_back([&](FrmVStampa* f) {
        base = f->msFilePagine();
        file12 = f->FilePagina(12);
        esiste = QFile::exists(file12);
        presenti = FilePagine();
    });
    passi.push_back([](FrmVStampa* f) { f->ComEsci()->click(); });
    QCOMPARE(Anteprima(passi), 13);
    // base name, the print's second part, minutes and seconds, ".NNN", in
    // the preview's own folder
    const QString nome = QFileInfo(base).fileName();
    QVERIFY(nome.startsWith(m_sta->osBasePagine + m_sta->ovBasePagine2.toString()));
    QCOMPARE(nome.size(), (m_sta->osBasePagine + m_sta->ovBasePagine2.toString()).size() + 4);
    QCOMPARE(file12, base + QStringLiteral(".012"));
    QVERIFY(esiste);
    QCOMPARE(presenti.size(), 12); // pages 1 to 12 kept, 13 on show
    QImage letta;
    QVERIFY(letta.load(file12));
    QVERIFY(!letta.isNull());
    // a file of the same base with another ending goes as well
    QFile altro(base + QStringLiteral(".tmp"));
    QVERIFY(altro.open(QIODevice::WriteOnly));
    altro.close();
    QTRY_VERIFY(m_frm.isNull());
    QVERIFY2(FilePagine().isEmpty(), qPrintable(FilePagine().join(QLatin1Char(' '))));
}

void TstAnteprima::uscitaRifiutataInStampa() {
    m_opz->oiMemVid = 1;
    MessaggiScriptati msg;
    bool apertaDopo = false;
    int file = -1;
    const qint64 n = Anteprima({[](FrmVStampa* f) { Clic(f, 3); },
                                [&](FrmVStampa* f) {
                                    f->close(); // the window's close while the print runs
                                    apertaDopo = f->isVisible();
                                    file = int(FilePagine().size());
                                },
                                [](FrmVStampa* f) { f->ComEsci()->click(); }});
    QCOMPARE(n, 2);
    QVERIFY(apertaDopo);
    QCOMPARE(file, 1); // page 1, kept when page 2 was asked for
    QCOMPARE(msg.testi(), QStringList{"Non si puo' uscire\r\nStampa ancora attiva"});
    QCOMPARE(msg.mostrati().front().titolo, QString("Visualizzazione Stampe"));
    QCOMPARE(msg.mostrati().front().stile & vbCritical, int(vbCritical));
    QTRY_VERIFY(m_frm.isNull());
}

void TstAnteprima::memorizzazioneImpossibile() {
    // the folder of the page files is gone when page 1 is to be kept: page
    // keeping goes off with its message, and the preview goes on page by page
    const QString cartella = m_dir.filePath(QStringLiteral("sparisce"));
    QVERIFY(QDir().mkpath(cartella));
    qputenv("TMPDIR", QFile::encodeName(cartella));
    m_opz->oiMemVid = 1;
    m_opz->setValore(QStringLiteral("PaginaA"), 3);
    MessaggiScriptati msg;
    std::vector<Vista> viste;
    bool memorizza = true;
    const qint64 n = Anteprima({[&](FrmVStampa* f) {
                                    viste.push_back(Guarda(f));
                                    QVERIFY(QDir(cartella).removeRecursively());
                                    Clic(f, 3);
                                },
                                [&](FrmVStampa* f) {
                                    viste.push_back(Guarda(f));
                                    memorizza = f->ogStampa()->obMemPag;
                                    Clic(f, 3);
                                }});
    qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    QCOMPARE(n, 3);
    QCOMPARE(msg.testi(), QStringList{"Non c'è abbastanza memoria per memorizzare le pagine:\r\n"
                                      "Provare con una dimensione di caratteri minore.\r\n"
                                      "MEMORIZZAZIONE DISABILITATA"});
    QVERIFY(!memorizza);
    QCOMPARE(viste.size(), size_t(2));
    QCOMPARE(viste[0].frecce[0], true);
    QCOMPARE(viste[1].pagina, QString("Pag.002"));
    QCOMPARE(viste[1].frecce[0], false);
    QCOMPARE(viste[1].frecce[1], false);
    QCOMPARE(viste[1].frecce[2], true);
    QCOMPARE(viste[1].frecce[3], false);
    QCOMPARE(m_frm->labPage()->text(), QString("Pag.003"));
}

void TstAnteprima::secondaStampaEStampaChiusa() {
    // two prints in the preview left open: the pages kept by the first go
    // when the second starts; then the print object goes (the form that
    // printed closes) and the preview stays, its arrows doing nothing
    m_opz->oiMemVid = 1;
    m_opz->setValore(QStringLiteral("PaginaA"), 3);
    QCOMPARE(Anteprima({[](FrmVStampa* f) { Clic(f, 3); }, [](FrmVStampa* f) { Clic(f, 3); }}), 3);
    Clic(m_frm, 1); // the print is over: back to page 1, page 3 kept on the way
    QCOMPARE(m_frm->labPage()->text(), QString("Pag.001"));
    const QString primaBase = m_frm->msFilePagine();
    QCOMPARE(FilePagine().size(), 3);
    QTest::qWait(1100); // another second: another base name
    m_opz->setValore(QStringLiteral("PaginaA"), 1);
    QCOMPARE(Anteprima({}), 1);
    QVERIFY(m_frm->msFilePagine() != primaBase);
    QVERIFY2(FilePagine().isEmpty(), qPrintable(FilePagine().join(QLatin1Char(' '))));
    m_sta.reset();
    QCOMPARE(m_frm->ogStampa(), nullptr);
    m_frm->ImaMuovi_Click(3);
    m_frm->ImaMuovi_Click(1);
    QCOMPARE(m_frm->labPage()->text(), QString("Pag.001"));
}

void TstAnteprima::barreEZoom_data() {
    QTest::addColumn<float>("zoom");
    QTest::addColumn<int>("orientamento");
    QTest::newRow("100 verticale") << 1.0f << 1;
    QTest::newRow("67 verticale") << 0.67f << 1;
    QTest::newRow("100 orizzontale") << 1.0f << 2;
    QTest::newRow("150 orizzontale") << 1.5f << 2;
}

void TstAnteprima::barreEZoom() {
    QFETCH(float, zoom);
    QFETCH(int, orientamento);
    m_opz->ofFatt = zoom;
    m_opz->setValore(QStringLiteral("PaginaA"), 1);
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    r.orientamento = qint16(orientamento);
    r.font = QFont(QStringLiteral("Arial"), 10);
    QCOMPARE(m_sta->StampaLista(m_lista, r), 1);
    const double dpi = m_frm->logicalDpiX() * double(zoom);
    const QSize pagina = m_frm->PicSec()->size();
    const QSize a4 = orientamento == 2 ? QSize(297, 210) : QSize(210, 297);
    QVERIFY(std::abs(pagina.width() - a4.width() / 25.4 * dpi) <= 1);
    QVERIFY(std::abs(pagina.height() - a4.height() / 25.4 * dpi) <= 1);
    const QSize vista = m_frm->PicPrinc()->size();
    const auto twip = [&](int px) { return int(std::lround(px * 1440.0 / m_frm->logicalDpiX())); };
    for (const auto& [barra, pag, vis] :
         {std::tuple{m_frm->vscPosVert(), pagina.height(), vista.height()},
          std::tuple{m_frm->hscPosOri(), pagina.width(), vista.width()}}) {
        QCOMPARE(barra->isEnabled(), pag > vis);
        QCOMPARE(barra->isVisibleTo(m_frm), pag > vis);
        if (pag > vis) {
            const int fuori = twip(pag - vis);
            QCOMPARE(barra->minimum(), -100);
            QCOMPARE(barra->maximum(), fuori + 100);
            QCOMPARE(barra->pageStep(), fuori / 10 + 1);
            QCOMPARE(barra->singleStep(), fuori / 100 + 1);
        }
    }
    // the page drawn is shown from its top left corner
    QCOMPARE(m_frm->hscPosOri()->value(), 0);
    QCOMPARE(m_frm->vscPosVert()->value(), 0);
    QCOMPARE(m_frm->PicSec()->pos(), QPoint(0, 0));
    // the bars move the page the other way
    if (m_frm->vscPosVert()->isEnabled()) {
        const int v = std::min(1440, m_frm->vscPosVert()->maximum());
        m_frm->vscPosVert()->setValue(v);
        QCOMPARE(m_frm->PicSec()->y(), -int(std::lround(v * m_frm->logicalDpiX() / 1440.0)));
        m_frm->vscPosVert()->setValue(-100);
        QVERIFY(m_frm->PicSec()->y() > 0);
    }
    // the arrows' pictures follow their state: greyed picture i + 4
    for (int i = 1; i <= 4; ++i) {
        const int atteso = m_frm->imaMuovi(i)->isEnabled() ? i : i + 4;
        QCOMPARE(m_frm->imaMuovi(i)->icon().pixmap(24, 24).toImage(),
                 m_frm->ImlFrecce(atteso).toImage());
    }
}

void TstAnteprima::foglioTroppoLungo() {
    // an A4 page at 300 % is taller than the bar's 16-bit range in twips
    MessaggiScriptati msg;
    m_opz->ofFatt = 3.0f;
    m_opz->setValore(QStringLiteral("PaginaA"), 1);
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    r.font = QFont(QStringLiteral("Arial"), 10);
    QCOMPARE(m_sta->StampaLista(m_lista, r), 1);
    QVERIFY(!msg.testi().isEmpty());
    QCOMPARE(msg.testi().front(), QString("La lunghezza del foglio può essere al massimo di "
                                          "32.666 mmm. (vedi parametri stampante selezionata)"));
    QCOMPARE(msg.mostrati().front().titolo, QString("Stampa a video"));
    QCOMPARE(m_frm->vscPosVert()->maximum(), 32767);
}

void TstAnteprima::dialogoZoom() {
    // the dialog on the options, through "Cambia": 1.0 with the preview
    // scale 1.25 opens at 80; a double click on the figure gives 67 with
    // page keeping; "OK" writes 0.67 times 1.25, rounded
    Sessione().FattoreStaVid = 1.25;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.ofFatt = 0;
    o.oiMemVid = 0;
    int aperto = -1;
    bool spuntaAperta = true;
    QString figura;
    double puntiProva = 0;
    QTimer::singleShot(50, this, [&] {
        auto* d = qobject_cast<FrmVStaPar*>(QApplication::activeModalWidget());
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QString("Grandezza visualizzazione stampe"));
        aperto = d->VsbProp()->value();
        spuntaAperta = d->CheMemVid()->isChecked();
        QTest::mouseDClick(d->LabProp(), Qt::LeftButton);
        figura = d->LabProp()->text();
        puntiProva = d->PicProva()->Carattere().pointSizeF();
        QTest::mouseClick(d->CmdOk(), Qt::LeftButton);
    });
    QVERIFY(CambiaOpzioniVideo(o));
    Sessione().FattoreStaVid = 0;
    QCOMPARE(aperto, 80);
    QVERIFY(!spuntaAperta);
    QCOMPARE(figura, QString("67"));
    QCOMPARE(puntiProva, 6.7);
    QCOMPARE(o.ofFatt, 0.84f);
    QCOMPARE(o.oiMemVid, qint16(1));
    QVERIFY(o.obFlagVideo);
}

void TstAnteprima::paginePrivate() {
    // Kept pages are the user's alone, in a folder nobody else can enter:
    // links planted under the names pages were once given lead nowhere, and
    // the folder goes when the preview closes.
    const QString vittima = m_dir.filePath(QStringLiteral("vittima"));
    {
        QFile f(vittima);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("non toccare");
    }
    // the names of the past: base name, process, minutes and seconds, page
    const QTime ora = QTime::currentTime();
    QStringList piantati;
    for (int s = 0; s < 5; ++s)
        for (int pagina = 1; pagina <= 2; ++pagina) {
            const QString n = QDir::tempPath() + QStringLiteral("/quarvel-video-%1%2.%3")
                                                     .arg(QCoreApplication::applicationPid())
                                                     .arg(ora.addSecs(s).toString("mmss"))
                                                     .arg(pagina, 3, 10, QLatin1Char('0'));
            QVERIFY(QFile::link(vittima, n));
            piantati << n;
        }
    m_opz->oiMemVid = 1;
    m_opz->setValore(QStringLiteral("PaginaA"), 3);
    QString cartella, pagina1;
    QFile::Permissions permessi;
    const qint64 n = Anteprima({[](FrmVStampa* f) { Clic(f, 3); },
                                [&](FrmVStampa* f) {
                                    pagina1 = f->FilePagina(1);
                                    cartella = QFileInfo(pagina1).absolutePath();
                                    permessi = QFileInfo(cartella).permissions();
                                    Clic(f, 3);
                                }});
    QCOMPARE(n, 3);
    QCOMPARE(Contenuto(vittima), QByteArray("non toccare"));
    for (const QString& p : piantati)
        QVERIFY(QFileInfo(p).isSymLink());
    QVERIFY(cartella != QDir::tempPath());
    QVERIFY(QFileInfo(cartella).fileName().startsWith(QStringLiteral("quarvel-pagine-")));
    QCOMPARE(int(permessi & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                             QFile::ReadOther | QFile::WriteOther | QFile::ExeOther)),
             0);
    QVERIFY(QFileInfo(pagina1).isFile());
    m_frm->close();
    QTRY_VERIFY(m_frm.isNull());
    QVERIFY(!QFileInfo::exists(cartella));
    for (const QString& p : piantati)
        QFile::remove(p);
}

void TstAnteprima::pagineAbbandonate() {
    // The page folders of a run that ended without closing its preview go;
    // those of a running program, of another user, a link, or another name
    // stay.
    const QString dove = m_dir.filePath(QStringLiteral("abbandonate"));
    QVERIFY(QDir().mkpath(dove));
    qint64 morto = 0;
    QVERIFY(QProcess::startDetached(QStringLiteral("true"), {}, QString(), &morto));
    QTRY_VERIFY(::kill(pid_t(morto), 0) != 0); // ended and gone
    QProcess vivo;
    vivo.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(vivo.waitForStarted());
    const qint64 assente = morto; // a process number no process has
    auto cartella = [&](const QString& nome, bool conPagina = true) {
        const QString c = dove + QLatin1Char('/') + nome;
        if (!QDir().mkpath(c))
            return c;
        if (conPagina) {
            QFile f(c + QStringLiteral("/quarvel-video-1.001"));
            if (f.open(QIODevice::WriteOnly))
                f.write("pagina");
        }
        return c;
    };
    const QString abbandonata = cartella(QStringLiteral("quarvel-pagine-%1-aB3dE9").arg(assente));
    const QString diVivo =
        cartella(QStringLiteral("quarvel-pagine-%1-Zz0011").arg(vivo.processId()));
    const QString altroNome = cartella(QStringLiteral("quarvel-pagine-%1").arg(assente));
    const QString fuori = cartella(QStringLiteral("fuori"));
    const QString link = dove + QStringLiteral("/quarvel-pagine-%1-LiNk00").arg(assente);
    QVERIFY(QFile::link(fuori, link));
    QString diAltri;
    if (::geteuid() == 0) {
        diAltri = cartella(QStringLiteral("quarvel-pagine-%1-0ther0").arg(assente));
        QCOMPARE(::chown(QFile::encodeName(diAltri).constData(), 65534, 65534), 0);
    }

    PulisciPagineAbbandonate(dove);
    QVERIFY(!QFileInfo::exists(abbandonata));
    QVERIFY(QFileInfo(diVivo + QStringLiteral("/quarvel-video-1.001")).isFile());
    QVERIFY(QFileInfo::exists(altroNome));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(fuori + QStringLiteral("/quarvel-video-1.001")).isFile());
    if (!diAltri.isEmpty())
        QVERIFY(QFileInfo::exists(diAltri));
    vivo.kill();
    vivo.waitForFinished();
    QDir(dove).removeRecursively();
}

QTEST_MAIN(TstAnteprima)
#include "tst_anteprima.moc"
