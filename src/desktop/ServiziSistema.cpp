#include "ServiziSistema.h"

#include "Scala.h"
#include "Schermo.h"
#include "suite/Errore.h"
#include "suite/Percorsi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMediaDevices>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcessEnvironment>
#include <QSoundEffect>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QtEndian>
#include <cmath>
#include <numbers>

namespace quarvel {

// ---- Sound ----------------------------------------------------------------------

RiproduttoreSuoni::~RiproduttoreSuoni() = default;

namespace {

constexpr int CampioniAlSecondo = 11025;

// The sound system: silent wherever there is no audio output.
class RiproduttoreSistema final : public RiproduttoreSuoni {
public:
    void beep() override { QApplication::beep(); }

    void file(const QString& percorso) override {
        const QString locale = PercorsoLocale(percorso);
        if (locale.isEmpty() || !QFileInfo(locale).isFile())
            return;
        if (QMediaDevices::audioOutputs().isEmpty())
            return;
        auto* effetto = new QSoundEffect(QCoreApplication::instance());
        QObject::connect(effetto, &QSoundEffect::statusChanged, effetto, [effetto] {
            if (effetto->status() == QSoundEffect::Error)
                effetto->deleteLater();
        });
        QObject::connect(effetto, &QSoundEffect::playingChanged, effetto, [effetto] {
            if (!effetto->isPlaying())
                effetto->deleteLater();
        });
        // A sound that never starts does not stay around for ever.
        QTimer::singleShot(10 * 60 * 1000, effetto, &QObject::deleteLater);
        effetto->setSource(QUrl::fromLocalFile(locale));
        effetto->play();
    }

    void tono(qint32 frequenza, qint32 durata) override {
        memoria(CreaWav(static_cast<float>(frequenza), durata));
    }

    void memoria(const QByteArray& wav) override {
        // The image is the one CreaWav builds: a 44-byte header and the samples.
        if (wav.size() < 44 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE" ||
            wav.mid(36, 4) != "data")
            return;
        const auto* d = reinterpret_cast<const uchar*>(wav.constData());
        const int canali = qFromLittleEndian<quint16>(d + 22);
        const int frequenza = static_cast<int>(qFromLittleEndian<quint32>(d + 24));
        const int bit = qFromLittleEndian<quint16>(d + 34);
        const qsizetype n =
            std::min<qsizetype>(qFromLittleEndian<quint32>(d + 40), wav.size() - 44);
        if (canali < 1 || frequenza < 1 || (bit != 8 && bit != 16) || n <= 0)
            return;
        const QAudioDevice uscita = QMediaDevices::defaultAudioOutput();
        if (uscita.isNull())
            return;

        QAudioFormat formato;
        formato.setSampleRate(frequenza);
        formato.setChannelCount(canali);
        formato.setSampleFormat(bit == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        QByteArray campioni = wav.mid(44, n);
        if (bit == 8 && !uscita.isFormatSupported(formato)) {
            // The same samples as 16-bit values.
            QByteArray larghi(campioni.size() * 2, Qt::Uninitialized);
            for (qsizetype i = 0; i < campioni.size(); ++i) {
                const qint16 v = static_cast<qint16>((static_cast<uchar>(campioni[i]) - 128) * 256);
                qToLittleEndian<qint16>(v, larghi.data() + 2 * i);
            }
            campioni = larghi;
            formato.setSampleFormat(QAudioFormat::Int16);
        }
        if (!uscita.isFormatSupported(formato))
            return;

        QBuffer sorgente(&campioni);
        sorgente.open(QIODevice::ReadOnly);
        QAudioSink sink(uscita, formato);
        QEventLoop attesa;
        QObject::connect(&sink, &QAudioSink::stateChanged, &attesa, [&attesa](QAudio::State s) {
            if (s == QAudio::IdleState || s == QAudio::StoppedState)
                attesa.quit();
        });
        sink.start(&sorgente);
        if (sink.error() != QAudio::NoError || sink.state() == QAudio::StoppedState)
            return;
        // The caller waits for the end of the sound; a device that never
        // reports it does not hold the program.
        const qint64 durata = formato.durationForBytes(campioni.size()) / 1000;
        QTimer::singleShot(static_cast<int>(durata) + 2000, &attesa, &QEventLoop::quit);
        attesa.exec(QEventLoop::ExcludeUserInputEvents);
        sink.stop();
    }
};

RiproduttoreSistema& Sistema() {
    static RiproduttoreSistema r;
    return r;
}
RiproduttoreSuoni* riproduttore = nullptr;

bool ENumerico(const QString& testo) {
    const QString t = testo.trimmed();
    if (t.isEmpty())
        return false;
    // The operator's format (the program's locale, Italian where the system
    // gives none) or the plain one.
    bool ok = false;
    QLocale().toDouble(t, &ok);
    if (!ok)
        QLocale::c().toDouble(t, &ok);
    if (!ok)
        QLocale(QLocale::Italian, QLocale::Italy).toDouble(t, &ok);
    return ok;
}

} // namespace

RiproduttoreSuoni& Riproduttore() {
    return riproduttore ? *riproduttore : Sistema();
}
void ImpostaRiproduttore(RiproduttoreSuoni* r) {
    riproduttore = r;
}

void Suona() {
    try {
        const QString come = Sessione().BeepCome;
        if (Utilita().EVuoto(come)) {
            Riproduttore().beep();
            return;
        }
        const qsizetype pv = come.indexOf(QLatin1Char(';'));
        const QString a = pv < 0 ? come : come.left(pv);
        QString b = pv < 0 ? QString() : come.mid(pv + 1);
        if (!ENumerico(a)) {
            Riproduttore().file(a.trimmed());
            return;
        }
        if (b.isEmpty())
            b = QStringLiteral("20");
        if (Utilita().TestoInNumero(a) > 0)
            Riproduttore().tono(Utilita().TestoInLungo(a), Utilita().TestoInLungo(b));
        else
            Riproduttore().memoria(CreaWav(Utilita().TestoInSingolo(a), Utilita().TestoInLungo(b)));
    } catch (...) {
        // The notice sound never disturbs the message it goes with.
    }
}

QByteArray CreaWav(float frequenza, qint32 durata) {
    const qint64 n =
        std::max<qint64>(0, std::llround(static_cast<double>(durata) * CampioniAlSecondo / 1000.0));
    QByteArray wav;
    wav.reserve(static_cast<qsizetype>(44 + n));
    auto lungo = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        wav.append(b, 4);
    };
    auto corto = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF", 4);
    lungo(static_cast<quint32>(n + 36));
    wav.append("WAVEfmt ", 8);
    lungo(16);
    corto(1);
    corto(1);
    lungo(CampioniAlSecondo);
    lungo(CampioniAlSecondo);
    corto(1);
    corto(8);
    wav.append("data", 4);
    lungo(static_cast<quint32>(n));
    const double f = static_cast<double>(frequenza);
    for (qint64 i = 0; i < n; ++i) {
        const double s =
            std::sin(2.0 * std::numbers::pi * f * static_cast<double>(i) / CampioniAlSecondo);
        // The crest of the wave (exactly 1) would be 256: the byte stops at 255.
        const int v = std::clamp(static_cast<int>(std::floor((s + 1.0) * 128.0)), 0, 255);
        wav.append(static_cast<char>(v));
    }
    return wav;
}

// ---- Terminal session -------------------------------------------------------

qint32 SessioneClient(QString& indirizzo, const QProcessEnvironment& ambiente,
                      const QString& fileSessione) {
    indirizzo.clear();
    QString ssh = ambiente.value(QStringLiteral("SSH_CLIENT")).trimmed();
    if (ssh.isEmpty())
        ssh = ambiente.value(QStringLiteral("SSH_CONNECTION")).trimmed();
    if (!ssh.isEmpty())
        indirizzo = ssh.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).trimmed();

    bool ok = false;
    const qint64 xdg = ambiente.value(QStringLiteral("XDG_SESSION_ID")).trimmed().toLongLong(&ok);
    if (ok && xdg > 0 && xdg <= std::numeric_limits<qint32>::max())
        return static_cast<qint32>(xdg);
    QFile f(fileSessione);
    if (!fileSessione.isEmpty() && f.open(QIODevice::ReadOnly)) {
        // The kernel writes 4294967295 for a process outside any login session.
        const qint64 id = QString::fromLatin1(f.readAll()).trimmed().toLongLong(&ok);
        if (ok && id > 0 && id <= std::numeric_limits<qint32>::max())
            return static_cast<qint32>(id);
    }
    return 0;
}

qint32 SessioneClient(QString& indirizzo) {
    return SessioneClient(indirizzo, QProcessEnvironment::systemEnvironment(),
                          QStringLiteral("/proc/self/sessionid"));
}

// ---- Help key ---------------------------------------------------------------------

namespace {
QString& FileAiutoApp() {
    static QString f;
    return f;
}
ApritoreAiuto& Apritore() {
    static ApritoreAiuto a;
    return a;
}
void Apri(const QUrl& url) {
    if (Apritore())
        Apritore()(url);
    else
        QDesktopServices::openUrl(url);
}
} // namespace

void ImpostaFileAiuto(const QString& file) {
    FileAiutoApp() = file;
}
QString FileAiuto() {
    return FileAiutoApp();
}
void ImpostaApritoreAiuto(ApritoreAiuto apritore) {
    Apritore() = std::move(apritore);
}

QString FileAiutoChm() {
    QString file = FileAiuto();
    if (file.isEmpty())
        return {};
    if (!file.endsWith(QLatin1String(".chm"), Qt::CaseInsensitive))
        file = file.left(std::max<qsizetype>(0, file.size() - 4)) + QStringLiteral(".chm");
    file = PercorsoLocale(file);
    if (!QFileInfo(file).isFile())
        return {};
    return file;
}

qint32 ContestoAiutoDi(const QWidget* w) {
    return w ? w->property("HelpContextID").toInt() : 0;
}

qint32 ContestoAiuto(const QWidget* controllo, const QWidget* finestra, qint32 contesto) {
    qint32 c = contesto;
    if (c < 0)
        c = ContestoAiutoDi(controllo);
    if (c >= 1)
        return c;
    for (const QWidget* p = controllo ? controllo->parentWidget() : nullptr; p && p != finestra;
         p = p->parentWidget()) {
        const qint32 v = ContestoAiutoDi(p);
        if (v > 0)
            return v;
    }
    return ContestoAiutoDi(finestra);
}

namespace {
// The control that stands for the focus widget: Qt's inner editors count as
// the control they belong to.
QWidget* ControlloDi(QWidget* w, const QWidget* finestra) {
    while (w && w != finestra && !EControllo(w))
        w = w->parentWidget();
    return w == finestra ? nullptr : w;
}
} // namespace

bool TastoAiuto(int& KeyCode, int& Shift, QWidget* finestra, qint32 contesto) {
    if (KeyCode != vbKeyF1)
        return false;
    try {
        const QString file = FileAiutoChm();
        if (file.isEmpty())
            return false;
        QUrl url = QUrl::fromLocalFile(file);
        if (Shift == vbCtrlMask) {
            Apri(url);
        } else if (Shift == vbAltMask) {
            url.setFragment(QStringLiteral("index"));
            Apri(url);
        } else {
            const QWidget* attivo =
                finestra ? ControlloDi(finestra->focusWidget(), finestra) : nullptr;
            const qint32 c = ContestoAiuto(attivo, finestra, contesto);
            url.setFragment(QString::number(c));
            Apri(url);
        }
    } catch (...) {
        return false;
    }
    KeyCode = 0;
    return true;
}

bool TastoAiuto(QKeyEvent* evento, QWidget* finestra, qint32 contesto) {
    if (!evento)
        return false;
    int codice = CodiceTasto(evento->key(), evento->modifiers());
    int shift = MascheraShift(evento->modifiers());
    if (!TastoAiuto(codice, shift, finestra, contesto))
        return false;
    evento->accept();
    return true;
}

// ---- Focus, selection, pointer -----------------------------------------------------

namespace {

// The window's controls in tab order: the focus chain.
QList<QWidget*> OrdineTab(QWidget* finestra) {
    QList<QWidget*> controlli;
    QWidget* w = finestra->nextInFocusChain();
    while (w && w != finestra) {
        if (w->window() == finestra && EControllo(w) && !controlli.contains(w))
            controlli << w;
        w = w->nextInFocusChain();
    }
    return controlli;
}

bool TabStop(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

bool Immagine(const QWidget* w) {
    const auto* l = qobject_cast<const QLabel*>(w);
    return l && !l->pixmap().isNull();
}

bool HaFuoco(const QWidget* finestra, const QWidget* c) {
    const QWidget* f = finestra->focusWidget();
    return f && (f == c || c->isAncestorOf(f) || c->focusProxy() == f);
}

} // namespace

bool SpostaFuoco(qint16 passo, std::optional<int> indietro, QWidget* finestra) {
    try {
        int p = passo;
        if (indietro)
            p = *indietro == 1 ? -std::abs(p) : std::abs(p);
        if (!finestra)
            finestra = QApplication::activeWindow();
        if (!finestra)
            return false;
        const QList<QWidget*> controlli = OrdineTab(finestra);
        QWidget* attivo = ControlloDi(finestra->focusWidget(), finestra);
        const int inizio = static_cast<int>(controlli.indexOf(attivo));
        if (inizio < 0)
            return false;
        int alto = -1;
        for (int i = 0; i < controlli.size(); ++i)
            if (TabStop(controlli[i]))
                alto = i;
        if (alto < 0)
            return false;
        const int giro = alto + 1;
        auto avvolgi = [giro](int t) { return ((t % giro) + giro) % giro; };
        int bersaglio = inizio + p;
        if (bersaglio > alto)
            bersaglio = bersaglio - alto - 1;
        else if (bersaglio < 0)
            bersaglio = alto + bersaglio + 1;
        bersaglio = avvolgi(bersaglio);
        const int direzione = p < 0 ? -1 : 1;
        // At most one full round; a start past the last tab stop is never
        // reached again, so the round is counted too.
        for (int passi = 0; passi <= giro; ++passi) {
            QWidget* c = controlli.value(bersaglio);
            if (c && TabStop(c) && !Immagine(c) && c->isEnabled() && c->isVisibleTo(finestra) &&
                c->focusPolicy() != Qt::NoFocus) {
                c->setFocus(Qt::TabFocusReason);
                if (HaFuoco(finestra, c))
                    return true;
            }
            bersaglio = avvolgi(bersaglio + direzione);
            if (bersaglio == inizio)
                return false;
        }
    } catch (...) {
        // Moving the focus is a service to the keyboard: a control that
        // fails leaves the focus where it is, as if no control took it.
    }
    return false;
}

void SelezionaTesto() {
    QWidget* w = QApplication::focusWidget();
    for (; w; w = w->parentWidget()) {
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setSelection(0, static_cast<int>(e->text().size()));
            return;
        }
        if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
            e->selectAll();
            return;
        }
        if (auto* e = qobject_cast<QTextEdit*>(w)) {
            e->selectAll();
            return;
        }
        if (auto* e = qobject_cast<QAbstractSpinBox*>(w)) {
            e->selectAll();
            return;
        }
        if (auto* e = qobject_cast<QComboBox*>(w)) {
            if (e->lineEdit())
                e->lineEdit()->selectAll();
            return;
        }
    }
}

namespace {
std::optional<Qt::CursorShape>& PuntatoreSalvato() {
    static std::optional<Qt::CursorShape> p;
    return p;
}
} // namespace

void Clessidra(bool acceso) {
    if (acceso) {
        const auto ora = PuntatoreSchermo();
        if (ora == Qt::WaitCursor)
            return;
        PuntatoreSalvato() = ora;
        ImpostaPuntatoreSchermo(Qt::WaitCursor);
    } else {
        ImpostaPuntatoreSchermo(PuntatoreSalvato());
    }
}

// ---- Modal dialogs and windows ------------------------------------------------------

namespace {

// Shows the window modally and returns when it is hidden or destroyed.
void EseguiModale(QWidget* finestra) {
    if (auto* d = qobject_cast<QDialog*>(finestra)) {
        d->exec();
        return;
    }
    QPointer<QWidget> guardia(finestra);
    finestra->setWindowModality(Qt::ApplicationModal);
    finestra->show();
    QEventLoop ciclo;
    class Fine : public QObject {
    public:
        explicit Fine(QEventLoop& c) : m_ciclo(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Hide || e->type() == QEvent::Close)
                QTimer::singleShot(0, &m_ciclo, &QEventLoop::quit);
            return false;
        }

    private:
        QEventLoop& m_ciclo;
    } fine(ciclo);
    finestra->installEventFilter(&fine);
    QObject::connect(finestra, &QObject::destroyed, &ciclo, &QEventLoop::quit);
    ciclo.exec();
    if (guardia)
        guardia->removeEventFilter(&fine);
}

} // namespace

void MostraModale(QWidget* finestra) {
    try {
        QPointer<QWidget> f(finestra);
        while (f) {
            f->setProperty("oiNoHelp", 1);
            EseguiModale(f);
            if (!f)
                return;
            if (f->property("oiNoHelp").toInt() >= 2)
                continue;
            f->setProperty("oiNoHelp", 0);
            return;
        }
    } catch (...) {
        // Re-showing the windows hidden for help is a courtesy: a window
        // that fails stays hidden and the others go on as they are.
    }
}

void NascondiModali() {
    const QWidgetList finestre = QApplication::topLevelWidgets();
    for (auto it = finestre.crbegin(); it != finestre.crend(); ++it) {
        try {
            QWidget* w = *it;
            if (w->isVisible() && w->property("oiNoHelp").toInt() > 0) {
                w->setProperty("oiNoHelp", 2);
                w->hide();
            }
        } catch (...) {
            // One window that cannot be hidden must not keep the others,
            // nor the help, from the screen.
        }
    }
}

void ApriAiutoCampo(QWidget* finestra, int indice, int codiceTasto, bool flag) {
    if (!finestra)
        return;
    const QString matrice = flag ? QStringLiteral("txtAppo") : QStringLiteral("txt");
    if (auto* campo = finestra->findChild<QWidget*>(matrice + QStringLiteral("(%1)").arg(indice)))
        campo->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    const QByteArray gestore = (matrice + QStringLiteral("_KeyUp")).toLatin1();
    QMetaObject::invokeMethod(finestra, gestore.constData(), Qt::DirectConnection,
                              Q_ARG(int, indice), Q_ARG(int, codiceTasto), Q_ARG(int, 0));
}

bool FormAperta(const QString& nome) {
    if (nome.isEmpty())
        return false;
    const QString cercato = nome.toUpper();
    const QWidgetList finestre = QApplication::topLevelWidgets();
    for (const QWidget* w : finestre)
        if (w->objectName().toUpper() == cercato)
            return true;
    return false;
}

QString ParteTesto(const QString& testo, const QString& separatore, int k) {
    if (k < 0)
        return {};
    if (separatore.isEmpty())
        return k == 0 ? testo : QString();
    const QStringList pezzi = testo.split(separatore);
    return k < pezzi.size() ? pezzi.at(k) : QString();
}

} // namespace quarvel
