// The file name choices of the print mode dialog, driven through Qt's own
// file dialog (offscreen) with real keys: the filter the spreadsheet version
// gives and the file format each filter stands for, the fixed-length file
// name, Esc leaving the options as they were; and F1 on every print window.

#include "desktop/ServiziSistema.h"
#include "print/OpzioniStampa.h"
#include "printing/FrmComlinStampa.h"
#include "printing/FrmSceltaStam.h"
#include "printing/FrmVStaPar.h"
#include "printing/FrmVStampa.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace quarvel;

namespace {
// What the file dialog showed.
struct Dialogo {
    QString titolo;
    QString cartella;
    QStringList filtri;
};

// While the button's click runs the file dialog: records it, picks the
// filter (1-based) with the arrow keys, types the name and presses Enter
// (an empty name: Esc), after going to the folder dove when one is given.
Dialogo Scegli(QPushButton* pulsante, int filtro, const QString& nome,
               const QString& dove = QString()) {
    Dialogo visto;
    QTimer::singleShot(0, pulsante, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        visto = {d->windowTitle(), d->directory().absolutePath(), d->nameFilters()};
        if (!dove.isEmpty())
            d->setDirectory(dove);
        if (nome.isEmpty()) {
            QTest::keyClick(d, Qt::Key_Escape);
            return;
        }
        auto* tipi = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(tipi);
        tipi->setFocus();
        for (int i = 1; i < filtro; ++i)
            QTest::keyClick(tipi, Qt::Key_Down);
        auto* testo = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(testo);
        testo->setFocus();
        testo->selectAll();
        QTest::keyClicks(testo, nome);
        QTest::keyClick(testo, Qt::Key_Return);
    });
    QTest::mouseClick(pulsante, Qt::LeftButton);
    return visto;
}
} // namespace

class TstFinestreFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cartellaIniziale();
    void nomeFile_data();
    void nomeFile();
    void nomeFileAnnullato();
    void nomeFisso();
    void opzioniVideo();
    void aiutoF1_data();
    void aiutoF1();

private:
    QTemporaryDir m_dir;
};

void TstFinestreFile::initTestCase() {
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).mkpath(QStringLiteral("client"));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_dir.filePath(QStringLiteral("client"))));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    InstallaUtilita();
    stampa::InstallaStampa();
    QDir(m_dir.path()).mkpath(QStringLiteral("stampe"));
}

void TstFinestreFile::cleanup() {
    ImpostaVersioneFoglioElettronico({});
}

void TstFinestreFile::cartellaIniziale() {
    // With no default folder in the options the file dialog starts in the
    // user's documents folder, not in the folder the program runs in; once
    // a file is chosen, the next dialogs start in its folder.
    const QString lavoro = m_dir.filePath(QStringLiteral("lavoro"));
    const QString altrove = m_dir.filePath(QStringLiteral("altrove"));
    QVERIFY(QDir().mkpath(lavoro));
    QVERIFY(QDir().mkpath(altrove));
    const QString prima = QDir::currentPath();
    QVERIFY(QDir::setCurrent(lavoro));
    const QString documenti = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(documenti.startsWith(m_dir.path()));
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = FormatoFile::Testo;
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QCOMPARE(Scegli(d.c<QPushButton>("ComOpz(2)"), 1, "lista.csv", altrove).cartella, documenti);
    QCOMPARE(o.osFileName, altrove + "/lista.csv");
    // the file and the fixed-length file, with a default folder that is no
    // folder
    for (const auto& [dest, pulsante] :
         {std::pair{DestStampa::File, "ComOpz(2)"}, std::pair{DestStampa::Fissa, "ComOpz(3)"}}) {
        stampa::OpzioniStampa altre(QStringLiteral("Prova"));
        altre.oiStaVid = dest;
        altre.osPathDefault = QStringLiteral("relativa");
        FrmSceltaStam d2;
        d2.setOgOpzSta(&altre);
        QVERIFY(d2.VisDecodOk());
        d2.show();
        QCOMPARE(Scegli(d2.c<QPushButton>(pulsante), 1, QString()).cartella, altrove);
    }
    QDir::setCurrent(prima);
}

void TstFinestreFile::nomeFile_data() {
    QTest::addColumn<int>("versione");
    QTest::addColumn<int>("filtro");
    QTest::addColumn<QStringList>("filtri");
    QTest::addColumn<int>("formato");
    const QStringList con12{"Formato Excel (*.xlsx)", "Compatibile Excel (*.csv *.txt)",
                            "Testo (*.txt)"};
    const QStringList con11{"Formato Excel (*.xls)", "Compatibile Excel (*.csv *.txt)",
                            "Testo (*.txt)"};
    const QStringList senza{"Compatibile Excel (*.csv *.txt)", "Testo (*.txt)"};
    QTest::newRow("12, cartella di lavoro") << 12 << 1 << con12 << int(FormatoFile::Excel);
    QTest::newRow("12, compatibile") << 12 << 2 << con12 << int(FormatoFile::CompatibileExcel);
    QTest::newRow("12, testo") << 12 << 3 << con12 << int(FormatoFile::Testo);
    QTest::newRow("11, cartella di lavoro") << 11 << 1 << con11 << int(FormatoFile::Excel);
    QTest::newRow("senza, compatibile") << -1 << 1 << senza << int(FormatoFile::CompatibileExcel);
    QTest::newRow("senza, testo") << -1 << 2 << senza << int(FormatoFile::Testo);
}

void TstFinestreFile::nomeFile() {
    QFETCH(int, versione);
    QFETCH(int, filtro);
    QFETCH(QStringList, filtri);
    QFETCH(int, formato);
    ImpostaVersioneFoglioElettronico([versione] { return versione; });
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = FormatoFile::Testo;
    o.osPathDefault = m_dir.filePath(QStringLiteral("stampe"));
    o.obFlagVideo = true;
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    const QString nome = QStringLiteral("lista.txt");
    const Dialogo visto = Scegli(d.c<QPushButton>("ComOpz(2)"), filtro, nome);
    QCOMPARE(visto.titolo, QString("Nome del file di stampa"));
    QCOMPARE(visto.cartella, o.osPathDefault);
    QCOMPARE(visto.filtri, filtri);
    QCOMPARE(o.osFileName, QDir(o.osPathDefault).filePath(nome));
    QCOMPARE(int(o.oiFileForm), formato);
    QVERIFY(!o.obFlagVideo);
    QCOMPARE(d.c<QLabel>("LabFileName")->text(), o.osFileName);
    QCOMPARE(d.c<QLabel>("LabFileForm")->text(), o.DescrFormato(o.oiFileForm));
}

void TstFinestreFile::nomeFileAnnullato() {
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::File;
    o.osFileName = QStringLiteral("/tmp/prima.csv");
    o.oiFileForm = FormatoFile::CompatibileExcel;
    o.osPathDefault = m_dir.filePath(QStringLiteral("stampe"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    const Dialogo visto = Scegli(d.c<QPushButton>("ComOpz(2)"), 1, QString());
    QVERIFY(!visto.filtri.isEmpty());
    QCOMPARE(o.osFileName, QString("/tmp/prima.csv"));
    QCOMPARE(o.oiFileForm, FormatoFile::CompatibileExcel);
}

void TstFinestreFile::nomeFisso() {
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::Fissa;
    o.osFisFileName = QStringLiteral("coda-grezza");
    o.obFisStampante = true;
    o.osPathDefault = m_dir.filePath(QStringLiteral("stampe"));
    o.obFlagVideo = true;
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    const Dialogo visto = Scegli(d.c<QPushButton>("ComOpz(3)"), 1, QStringLiteral("fissa.txt"));
    QCOMPARE(visto.titolo, QString("Nome del file di stampa"));
    QCOMPARE(visto.filtri, QStringList{"Testo (*.txt)"});
    QCOMPARE(visto.cartella, o.osPathDefault);
    QCOMPARE(o.osFisFileName, QDir(o.osPathDefault).filePath(QStringLiteral("fissa.txt")));
    QVERIFY(!o.obFisStampante);
    QVERIFY(!o.obFlagVideo);
    QCOMPARE(d.c<QLabel>("LabFileStampaFis")->text(), o.osFisFileName);
}

void TstFinestreFile::opzioniVideo() {
    // "Cambia" of the screen frame opens the zoom dialog on the options'
    // zoom; what the operator sets there comes back into the options and
    // the frame
    Sessione().FattoreStaVid = 0;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::Video;
    o.ofFatt = 0.5f;
    o.oiMemVid = 0;
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(d.c<QRadioButton>("OptStampaSu(1)")->isChecked());
    QCOMPARE(d.c<QLabel>("labFatt")->text(), QString("50"));
    QCOMPARE(d.c<QLabel>("LabMemVid")->text(), QString("No"));
    int aperto = -1;
    QTimer::singleShot(0, &d, [&] {
        auto* z = qobject_cast<FrmVStaPar*>(QApplication::activeModalWidget());
        QVERIFY(z);
        aperto = z->VsbProp()->value();
        z->VsbProp()->setValue(120);
        z->CheMemVid()->setFocus();
        QTest::keyClick(z->CheMemVid(), Qt::Key_Space);
        QTest::mouseClick(z->CmdOk(), Qt::LeftButton);
    });
    QTest::mouseClick(d.c<QPushButton>("ComOpz(1)"), Qt::LeftButton);
    QCOMPARE(aperto, 50);
    QCOMPARE(o.ofFatt, 1.2f);
    QCOMPARE(o.oiMemVid, qint16(1));
    QVERIFY(o.obFlagVideo);
    QCOMPARE(d.c<QLabel>("labFatt")->text(), QString("120"));
    QCOMPARE(d.c<QLabel>("LabMemVid")->text(), QString("Si"));
}

void TstFinestreFile::aiutoF1_data() {
    QTest::addColumn<QString>("finestra");
    QTest::newRow("modalità di stampa") << "FrmSceltaStam";
    QTest::newRow("stampa della lista") << "FrmComlinStampa";
    QTest::newRow("visualizzazione") << "FrmVStampa";
    QTest::newRow("grandezza") << "frmVStaPar";
}

void TstFinestreFile::aiutoF1() {
    QFETCH(QString, finestra);
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("quarvel.chm"))).open(QIODevice::WriteOnly);
    ImpostaFileAiuto(dir.filePath(QStringLiteral("quarvel.hlp")));
    QList<QUrl> aperti;
    ImpostaApritoreAiuto([&](const QUrl& u) { aperti << u; });
    std::unique_ptr<QWidget> w;
    if (finestra == QLatin1String("FrmSceltaStam"))
        w = std::make_unique<FrmSceltaStam>();
    else if (finestra == QLatin1String("FrmComlinStampa"))
        w = std::make_unique<FrmComlinStampa>();
    else if (finestra == QLatin1String("FrmVStampa"))
        w = std::make_unique<FrmVStampa>();
    else
        w = std::make_unique<FrmVStaPar>();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QWidget* fuoco = w->focusWidget() ? w->focusWidget() : w.get();
    QTest::keyClick(fuoco, Qt::Key_F1);
    ImpostaApritoreAiuto({});
    ImpostaFileAiuto(QString());
    QCOMPARE(aperti.size(), 1);
    QCOMPARE(aperti[0].fragment(), QString("88"));
}

QTEST_MAIN(TstFinestreFile)
#include "tst_finestrefile.moc"
