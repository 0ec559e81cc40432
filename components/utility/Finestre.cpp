// The utility operations on windows and controls.

#include "Utilita.h"

#include "Conversioni.h"
#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>

namespace quarvel {

namespace {

// Ends a nested loop when the watched widget hides, closes or goes away.
class AttesaChiusura : public QObject {
public:
    AttesaChiusura(QWidget* w, QEventLoop& loop) : m_loop(loop) {
        w->installEventFilter(this);
        connect(w, &QObject::destroyed, &m_loop, &QEventLoop::quit);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Hide || e->type() == QEvent::Close)
            QTimer::singleShot(0, &m_loop, &QEventLoop::quit);
        return false;
    }

private:
    QEventLoop& m_loop;
};

void SelezionaTutto(QWidget* w) {
    if (auto* le = qobject_cast<QLineEdit*>(w))
        le->selectAll();
    else if (auto* sb = qobject_cast<QAbstractSpinBox*>(w))
        sb->selectAll();
    else if (auto* cb = qobject_cast<QComboBox*>(w)) {
        if (cb->lineEdit())
            cb->lineEdit()->selectAll();
    } else if (auto* pt = qobject_cast<QPlainTextEdit*>(w))
        pt->selectAll();
    else if (auto* te = qobject_cast<QTextEdit*>(w))
        te->selectAll();
}

// The empty text of a line edit: "" or, with an input mask, the mask's
// literal characters alone ("//" for "99/99/9999").
bool LineaVuota(const QLineEdit* le) {
    if (le->text().trimmed().isEmpty())
        return true;
    if (le->inputMask().isEmpty())
        return false;
    QLineEdit vuota;
    vuota.setInputMask(le->inputMask());
    return le->text() == vuota.text();
}

// The control the operator sees for an inner line edit (spin box, combo).
QWidget* Esterno(QWidget* w) {
    if (auto* p = w->parentWidget())
        if (qobject_cast<QAbstractSpinBox*>(p) || qobject_cast<QComboBox*>(p))
            return p;
    return w;
}

bool Invalido(QWidget* w) {
    if (auto* sb = qobject_cast<QAbstractSpinBox*>(w))
        return !sb->text().trimmed().isEmpty() && !sb->hasAcceptableInput();
    if (auto* le = qobject_cast<QLineEdit*>(w)) {
        if (qobject_cast<QAbstractSpinBox*>(le->parentWidget()))
            return false; // its spin box answers
        return !LineaVuota(le) && !le->hasAcceptableInput();
    }
    return false;
}

} // namespace

bool UtilitaSuite::CiSonoFinestre(const QList<QWidget*>& finestre,
                                  const QWidget* principale) const {
    for (QWidget* w : finestre) {
        if (!w || w == principale || !w->isWindow() || !w->isVisible())
            continue;
        const Qt::WindowType t = w->windowType();
        if (t == Qt::Popup || t == Qt::ToolTip || t == Qt::SplashScreen)
            continue;
        return true;
    }
    return false;
}

int UtilitaSuite::MostraForm(QWidget* form, int, int, int, int) const {
    if (!form)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Form non impostata"),
                     QStringLiteral("MostraForm"));
    if (auto* d = qobject_cast<QDialog*>(form))
        return d->exec();
    // A plain window: shown application-modal, the call returns when it is
    // hidden, closed or destroyed.
    QPointer<QWidget> w(form);
    const Qt::WindowModality prima = form->windowModality();
    if (!form->isWindow())
        form->setWindowFlag(Qt::Window, true);
    form->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    AttesaChiusura attesa(form, loop);
    form->show();
    if (w && w->isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (w) {
        w->removeEventFilter(&attesa);
        if (!w->isVisible())
            w->setWindowModality(prima);
    }
    return 0;
}

bool UtilitaSuite::DaiFuoco(QWidget* controllo) const {
    if (!controllo || !controllo->isEnabled() || controllo->focusPolicy() == Qt::NoFocus)
        return false;
    if (!controllo->isVisibleTo(controllo->window()) ||
        (controllo->window()->isVisible() && !controllo->isVisible()))
        return false;
    controllo->setFocus(Qt::OtherFocusReason);
    return true;
}

void UtilitaSuite::PreparaTesto(QWidget* controllo) const {
    if (!controllo)
        return;
    SelezionaTutto(controllo);
    // A mouse click that brought the focus would put the cursor where it
    // fell: select again once the click is handled.
    QPointer<QWidget> w(controllo);
    QTimer::singleShot(0, controllo, [w] {
        if (w && w->hasFocus())
            SelezionaTutto(w);
    });
}

void UtilitaSuite::FormattaTesto(QWidget* controllo, const QString& maschera) const {
    QLineEdit* le = qobject_cast<QLineEdit*>(controllo);
    if (auto* cb = qobject_cast<QComboBox*>(controllo))
        le = cb->lineEdit();
    if (!le) {
        if (auto* pt = qobject_cast<QPlainTextEdit*>(controllo)) {
            const QString t = pt->toPlainText();
            if (t.trimmed() != t)
                pt->setPlainText(t.trimmed());
        }
        return;
    }
    QString t = le->text().trimmed();
    if (!maschera.isEmpty()) {
        const QLocale loc = utilita::LocaleOperatore();
        if (const auto n = utilita::LeggiNumero(t, loc))
            t = utilita::ApplicaMaschera(*n, maschera, loc);
    }
    if (t != le->text())
        le->setText(t);
}

QWidget* UtilitaSuite::ControllaCampi(QWidget* pannello) const {
    if (!pannello)
        return nullptr;
    // The focus chain of the window, from the panel on, gives the order the
    // operator tabs through; widgets outside the chain come after it.
    QList<QWidget*> ordine;
    QWidget* w = pannello;
    do {
        if (w != pannello && pannello->isAncestorOf(w) && !ordine.contains(w))
            ordine << w;
        w = w->nextInFocusChain();
    } while (w && w != pannello);
    for (QWidget* f : pannello->findChildren<QWidget*>())
        if (!ordine.contains(f))
            ordine << f;
    for (QWidget* f : ordine) {
        if (!f->isEnabled() || !Invalido(f))
            continue;
        return Esterno(f);
    }
    return nullptr;
}

QString UtilitaSuite::ScegliCartella(const QString& titolo, const QString& iniziale) const {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), titolo,
                                             PercorsoLocale(iniziale.trimmed()),
                                             QFileDialog::ShowDirsOnly);
}

} // namespace quarvel
