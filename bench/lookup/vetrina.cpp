// lookup_vetrina: the article search window over the demo company, once with
// the article picture beside the list and once without, saved as pictures
// (for the documentation and to look at under Xvfb).
//
//   lookup_vetrina folder     writes folder/ricerca-articoli-immagine.png and
//                             folder/ricerca-articoli.png

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "lookup/ComponenteAiutoQt.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace quarvel;

namespace {

// A simple drawing of the article for the picture folder.
void Disegna(const QString& file, const QColor& colore, const QString& testo) {
    QImage img(240, 180, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colore);
    p.setPen(QPen(Qt::black, 2));
    p.drawRoundedRect(QRect(70, 20, 100, 40), 8, 8);
    p.drawRect(QRect(105, 60, 30, 90));
    p.setPen(Qt::black);
    p.drawText(QRect(0, 150, 240, 30), Qt::AlignCenter, testo);
    p.end();
    img.save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: lookup_vetrina cartella\n");
        return 2;
    }
    const QDir uscita(QString::fromLocal8Bit(argv[1]));
    dati::Registra();
    QTemporaryDir dir;
    banco::Banco dove;
    dove.file = dir.filePath(QStringLiteral("demo.db"));
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    banco::PreparaDitta(db, 300);
    Disegna(dir.filePath(QStringLiteral("art000001.png")), QColor(200, 200, 210),
            QStringLiteral("ART000001"));
    Disegna(dir.filePath(QStringLiteral("art000002.png")), QColor(230, 190, 80),
            QStringLiteral("ART000002"));
    QSqlQuery(db).exec(QStringLiteral("UPDATE Articoli SET Immagine = lower(Articolo) || '.png' "
                                      "WHERE Articolo IN ('ART000001', 'ART000002')"));

    lookup::ComponenteAiutoQt c;
    QWidget* principale = nullptr;
    QObject* condiviso = nullptr;
    c.InizializzaAiuto(principale, nullptr, condiviso, nullptr, QString(), db, 0x80000005, 0xFF,
                       QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
    auto scatta = [&](bool immagine, const QString& nome) {
        c.ImpostaOpzione(QStringLiteral("MostraImg"), 12, immagine);
        c.ImpostaOpzione(QStringLiteral("DoveMostraImg"), 12, QStringLiteral("D"));
        c.ImpostaOpzione(QStringLiteral("NomeColImg"), 12, QStringLiteral("Immagine"));
        c.ImpostaOpzione(QStringLiteral("DirImgArt"), 12, dir.path());
        c.ImpostaOpzione(QStringLiteral("ImgDimReali"), 12, true);
        c.FormAiuto()->setOvLeggiPar(QStringLiteral("MostraImg"), immagine);
        c.FormAiuto()->ogComlin()->setOvLeggiPar(QStringLiteral("MargDestra"), immagine ? 4000 : 0);
        QTimer::singleShot(0, [&, nome] {
            lookup::FinestraAiuto* f = c.finestra();
            while (!f->isVisible())
                QApplication::processEvents();
            QTest::keyClicks(f->ricerca(), QStringLiteral("art0000"));
            QTest::qWait(300);
            f->grab().save(uscita.filePath(nome));
            QTest::keyClick(f->ricerca(), Qt::Key_Escape);
        });
        QLineEdit box;
        QLabel lab;
        bool trovato = false;
        int tasto = 113;
        c.Aiuto(QStringLiteral("Articolo"), &box, &lab, tasto, nullptr, std::nullopt, trovato, 0,
                QString(), QString());
    };
    scatta(true, QStringLiteral("ricerca-articoli-immagine.png"));
    scatta(false, QStringLiteral("ricerca-articoli.png"));
    return 0;
}
