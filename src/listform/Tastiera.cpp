#include "listform/Tastiera.h"

#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextEdit>

namespace quarvel {

namespace testi_tastiera {
QString StringaDaCercare() {
    return QStringLiteral("Stringa da cercare");
}
QString SostituireCon() {
    return QStringLiteral("Sostituire con");
}
QString TestoNonTrovato() {
    return QStringLiteral("Testo non trovato");
}
} // namespace testi_tastiera

StatoTastiera& Tastiera() {
    static StatoTastiera s;
    return s;
}

void AzzeraTastiera() {
    Tastiera() = StatoTastiera();
}

namespace {

// A text box of one line or more, seen the same way.
class CasellaTesto {
public:
    explicit CasellaTesto(QWidget* w)
        : m_riga(qobject_cast<QLineEdit*>(w)), m_piana(qobject_cast<QPlainTextEdit*>(w)),
          m_ricca(qobject_cast<QTextEdit*>(w)) {}

    bool valida() const { return m_riga || m_piana || m_ricca; }

    QString testo() const {
        if (m_riga)
            return m_riga->text();
        if (m_piana)
            return m_piana->toPlainText();
        if (m_ricca)
            return m_ricca->toPlainText();
        return {};
    }
    int inizio() const {
        if (m_riga)
            return m_riga->hasSelectedText() ? m_riga->selectionStart() : m_riga->cursorPosition();
        return cursore().selectionStart();
    }
    int lunghezza() const {
        if (m_riga)
            return m_riga->hasSelectedText() ? int(m_riga->selectedText().size()) : 0;
        const QTextCursor c = cursore();
        return c.selectionEnd() - c.selectionStart();
    }
    QString selezione() const { return testo().mid(inizio(), lunghezza()); }
    void seleziona(int da, int n) {
        if (m_riga) {
            m_riga->setSelection(da, n);
            return;
        }
        QTextCursor c = cursore();
        c.setPosition(da);
        c.setPosition(da + n, QTextCursor::KeepAnchor);
        impostaCursore(c);
    }
    // The selection replaced by the text, which stays selected.
    void sostituisciSelezione(const QString& con) {
        const int da = inizio();
        if (m_riga) {
            const QString t = m_riga->text();
            m_riga->setText(t.left(da) + con + t.mid(da + lunghezza()));
        } else {
            QTextCursor c = cursore();
            c.insertText(con);
            impostaCursore(c);
        }
        seleziona(da, int(con.size()));
    }
    void impostaTesto(const QString& t) {
        if (m_riga)
            m_riga->setText(t);
        else if (m_piana)
            m_piana->setPlainText(t);
        else if (m_ricca)
            m_ricca->setPlainText(t);
    }

private:
    QTextCursor cursore() const {
        return m_piana ? m_piana->textCursor() : m_ricca ? m_ricca->textCursor() : QTextCursor();
    }
    void impostaCursore(const QTextCursor& c) {
        if (m_piana)
            m_piana->setTextCursor(c);
        else if (m_ricca)
            m_ricca->setTextCursor(c);
    }

    QLineEdit* m_riga;
    QPlainTextEdit* m_piana;
    QTextEdit* m_ricca;
};

Qt::CaseSensitivity ModoConfronto() {
    const QVariant& v = Tastiera().mgRicerca.vConfronto;
    return (v.isValid() && v.toInt() == 0) ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

// 0-based position of the occurrence, -1 when there is none.  Forward from
// da; backward in the text before da (the last occurrence there).
int Trova(const QString& testo, const QString& cosa, bool indietro, int da) {
    if (cosa.isEmpty())
        return -1;
    if (indietro) {
        const QString prima = testo.left(std::max(da, 0));
        return int(prima.lastIndexOf(cosa, -1, ModoConfronto()));
    }
    if (da > testo.size())
        return -1;
    return int(testo.indexOf(cosa, std::max(da, 0), ModoConfronto()));
}

// The control of the form that has the focus.
QWidget* ControlloAttivo(QWidget* form) {
    QWidget* f = form ? form->focusWidget() : nullptr;
    if (!f)
        f = QApplication::focusWidget();
    return f;
}

// The snippet bound to Ctrl (+Shift) and the key, as the menu holds it.
bool Frammento(int& KeyCode, int Shift, QWidget* form) {
    IMenuClient* menu = Sessione().MenuClient;
    if (!menu)
        return false;
    const int numero = Shift == vbCtrlMask ? KeyCode : -KeyCode;
    QString testo;
    try {
        testo = menu->InviaComando(QStringLiteral("TastiCtrl"), QStringLiteral("Tutti"), numero)
                    .toString();
    } catch (...) {
        return false;
    }
    if (Utilita().TestoInNumero(testo) == 1) {
        KeyCode = 0;
        return true;
    }
    const QString primo = testo.left(1);
    if (primo.compare(QLatin1String("D"), Qt::CaseInsensitive) != 0 &&
        primo.compare(QLatin1String("N"), Qt::CaseInsensitive) != 0)
        return false;
    const QString frammento = testo.mid(1).trimmed();
    QWidget* attivo = ControlloAttivo(form);
    if (attivo &&
        NomeEIndice(attivo).first.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0) {
        CasellaTesto c(attivo);
        if (c.valida()) {
            if (EMultiLinea(attivo))
                c.sostituisciSelezione(frammento);
            else
                c.impostaTesto(frammento);
        }
    }
    if (form) {
        form->activateWindow();
        if (attivo)
            attivo->setFocus();
    }
    KeyCode = 0;
    return true;
}

// A button that Enter presses: a push or tool button, enabled and shown
// (check and option boxes keep Enter as a step to the next control).
bool PulsanteDaPremere(QWidget* w) {
    auto* b = qobject_cast<QAbstractButton*>(w);
    if (!b || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
        return false;
    return b->isEnabled() && b->isVisible();
}

} // namespace

bool ETestoForm(const QWidget* w) {
    if (!w)
        return false;
    if (!qobject_cast<const QLineEdit*>(w) && !qobject_cast<const QPlainTextEdit*>(w) &&
        !qobject_cast<const QTextEdit*>(w))
        return false;
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p))
            return false;
    return true;
}

bool EMultiLinea(const QWidget* w) {
    return w && (qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w));
}

bool EGriglia(const QWidget* w) {
    for (const QWidget* p = w; p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView*>(p))
            return true;
    return false;
}

int CodiceTastoForm(const QKeyEvent* e) {
    if (!e)
        return 0;
    // the keypad's "." and "," are Tasto::DecimaleTastierino in the table
    if (e->key() == Qt::Key_Backslash)
        return Tasto::Confronto;
    return CodiceTasto(e->key(), e->modifiers());
}

int TastiForm(int& KeyCode, int Shift, QWidget* form, bool pbInvioInGriglia,
              bool pbControllaMultiLine) {
    StatoTastiera& t = Tastiera();
    {
        int shift = Shift;
        if (TastoAiuto(KeyCode, shift, form))
            return 1;
    }
    t.giUltimoTasto = qint16(KeyCode);
    t.giUltimoShift = qint16(Shift);

    if (Shift == vbCtrlMask || Shift == (vbCtrlMask | vbShiftMask)) {
        if (KeyCode != 0 && KeyCode != 16 && KeyCode != 17 && Frammento(KeyCode, Shift, form))
            return 1;
        return 0;
    }

    if (Shift == (vbCtrlMask | vbAltMask) || Shift == (vbCtrlMask | vbAltMask | vbShiftMask)) {
        if (KeyCode == Tasto::Confronto)
            t.mgRicerca.vConfronto = (Shift & vbShiftMask) ? 0 : 1;
        if (!t.mgRicerca.vConfronto.isValid())
            t.mgRicerca.vConfronto = 1;
        QWidget* attivo = ControlloAttivo(form);
        if (ETestoForm(attivo) && (KeyCode == Tasto::F || KeyCode == Tasto::S ||
                                   KeyCode == Tasto::PagSu || KeyCode == Tasto::PagGiu)) {
            try {
                CercaSostituisci(attivo, KeyCode, Shift);
            } catch (...) {
                // Find and replace in a text box is a keyboard service: a
                // failed search leaves the text as it was, with no message.
            }
            KeyCode = 0;
            return 1;
        }
        return 0;
    }

    if (KeyCode == Tasto::Invio && (Shift == 0 || Shift == vbShiftMask)) {
        try {
            QWidget* attivo = ControlloAttivo(form);
            t.gbInvioPassa = 0;
            // Enter on a button presses it, as Space does; the press comes
            // once the key has gone (the button may close its window).
            if (PulsanteDaPremere(attivo)) {
                QMetaObject::invokeMethod(static_cast<QAbstractButton*>(attivo),
                                          &QAbstractButton::click, Qt::QueuedConnection);
                KeyCode = 0;
                return 1;
            }
            if (pbControllaMultiLine && EMultiLinea(attivo)) {
                CasellaTesto c(attivo);
                if (c.lunghezza() != c.testo().size())
                    t.gbInvioPassa = -1;
            }
            if (t.gbInvioPassa == 0 && (pbInvioInGriglia || !EGriglia(attivo))) {
                SpostaFuoco(1, (Shift & vbShiftMask) ? 1 : 0, form);
                t.gbInvioPassa = 0;
                KeyCode = 0;
                return 1;
            }
        } catch (...) {
            // Enter that cannot move the focus stays an ordinary Enter for
            // the control, as if the form passed it on.
        }
    }
    return 0;
}

int FiltroTasti(int KeyAscii) {
    const StatoTastiera& t = Tastiera();
    if (KeyAscii == '.' &&
        Sessione().TastierinoVirgola.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) ==
            0 &&
        t.giUltimoTasto == Tasto::DecimaleTastierino && t.giUltimoShift == 0)
        return ',';
    if (KeyAscii == Tasto::Esc)
        return 0;
    if (KeyAscii == Tasto::Invio && t.gbInvioPassa != -1)
        return 0;
    return KeyAscii;
}

void CercaSostituisci(QWidget* controllo, int KeyCode, int Shift) {
    CasellaTesto c(controllo);
    if (!c.valida())
        return;
    RicercaTesto& r = Tastiera().mgRicerca;
    const bool conShift = Shift & vbShiftMask;
    const bool daCapo = KeyCode == Tasto::F || KeyCode == Tasto::S;
    if (daCapo) {
        const QString cerca = InputBox(testi_tastiera::StringaDaCercare(), {}, r.sCerca);
        if (cerca.isEmpty())
            return;
        r.sCerca = cerca;
    }
    if (r.sCerca.isEmpty())
        return;
    const bool sostituire =
        KeyCode == Tasto::S || ((KeyCode == Tasto::PagSu || KeyCode == Tasto::PagGiu) && conShift);
    if (KeyCode == Tasto::S) {
        const QString con = InputBox(testi_tastiera::SostituireCon(), {}, r.sSostituisci);
        if (con.isEmpty())
            return;
        r.sSostituisci = con;
    }

    bool indietro = daCapo ? conShift : KeyCode == Tasto::PagSu;
    bool sostituisciTrovato = sostituire;
    int da = 0;
    if (sostituire && c.lunghezza() > 0 &&
        c.selezione().compare(r.sCerca, Qt::CaseInsensitive) == 0) {
        // The occurrence already selected goes at once; the next one is
        // only found.
        c.sostituisciSelezione(r.sSostituisci);
        sostituisciTrovato = false;
        if (KeyCode == Tasto::S)
            da = indietro ? c.inizio() : c.inizio() + c.lunghezza();
        else
            da = indietro ? c.inizio() : c.inizio() + 1;
    } else if (daCapo) {
        da = indietro ? int(c.testo().size()) : 0;
    } else {
        da = indietro ? c.inizio() : c.inizio() + 1;
    }

    const QString testo = c.testo();
    const int pos = Trova(testo, r.sCerca, indietro, da);
    if (pos < 0) {
        MsgBox(testi_tastiera::TestoNonTrovato(), vbOKOnly);
        return;
    }
    c.seleziona(pos, int(r.sCerca.size()));
    if (sostituisciTrovato)
        c.sostituisciSelezione(r.sSostituisci);
}

// ---- Key preview ------------------------------------------------------------------------

AnteprimaTasti::AnteprimaTasti(QWidget* form, bool invioInGriglia, bool controllaMultiLinea)
    : QObject(form), m_form(form), m_invioInGriglia(invioInGriglia),
      m_controllaMultiLinea(controllaMultiLinea) {
    qApp->installEventFilter(this);
}

AnteprimaTasti::~AnteprimaTasti() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool AnteprimaTasti::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress || m_inoltro || !m_form)
        return false;
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->window() != m_form)
        return false;
    // Only the first receiver: a key that travels up to the parents is the
    // same key.
    QWidget* fuoco = QApplication::focusWidget();
    if (fuoco ? w != fuoco : w != m_form.data())
        return false;
    auto* ke = static_cast<QKeyEvent*>(e);
    QPointer<QWidget> bersaglio(w);

    int codice = CodiceTastoForm(ke);
    const int shift = MascheraShift(ke->modifiers());
    if (TastiForm(codice, shift, m_form, m_invioInGriglia, m_controllaMultiLinea) > 0)
        return true;
    if (dopoTasti && codice != 0 && dopoTasti(codice, shift))
        return true;
    if (codice == 0 && CodiceTastoForm(ke) != 0)
        return true;
    if (!bersaglio)
        return true;

    const QString testo = ke->text();
    if (testo.size() != 1 || (shift & (vbCtrlMask | vbAltMask)))
        return false;
    const int ascii = testo.at(0).unicode();
    const int tenuto = FiltroTasti(ascii);
    if (tenuto == ascii)
        return false;
    if (tenuto == 0)
        // Dropping the character matters where it would type; grids and
        // one-line boxes act on the key itself.
        return EMultiLinea(bersaglio);
    // Another character: the control receives that one instead.
    const int tasto = tenuto == ',' ? int(Qt::Key_Comma) : tenuto;
    QKeyEvent altro(QEvent::KeyPress, tasto, ke->modifiers() & ~Qt::KeypadModifier,
                    QString(QChar(tenuto)), ke->isAutoRepeat());
    m_inoltro = true;
    QApplication::sendEvent(bersaglio, &altro);
    m_inoltro = false;
    return true;
}

} // namespace quarvel
