#include "DialogoMessaggi.h"

#include "FrmMsgCom.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace quarvel {

namespace {
QString Titolo(const QString& titolo) {
    return titolo.isEmpty() ? QGuiApplication::applicationDisplayName() : titolo;
}

QMessageBox::ButtonRole Ruolo(int risposta) {
    switch (risposta) {
    case vbOK:
    case vbYes:
    case vbRetry:
        return QMessageBox::AcceptRole;
    case vbCancel:
    case vbAbort:
        return QMessageBox::RejectRole;
    case vbNo:
        return QMessageBox::NoRole;
    default:
        return QMessageBox::ActionRole;
    }
}
} // namespace

QMessageBox* CreaMsgBox(const RichiestaMsgBox& r, QWidget* genitore) {
    auto* box = new QMessageBox(genitore);
    box->setObjectName(QStringLiteral("MsgBox"));
    box->setWindowTitle(Titolo(r.titolo));
    box->setTextFormat(Qt::PlainText);
    box->setText(QString(r.testo).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    switch (r.stile & 0x70) {
    case vbCritical:
        box->setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box->setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box->setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    const QStringList didascalie = PulsantiMsgBox(r.stile);
    const std::vector<int> risposte = RisposteMsgBox(r.stile);
    QList<QPushButton*> pulsanti;
    for (qsizetype i = 0; i < didascalie.size(); ++i) {
        const int risposta = risposte[static_cast<size_t>(i)];
        QPushButton* p = box->addButton(didascalie[i], Ruolo(risposta));
        p->setProperty("risposta", risposta);
        pulsanti << p;
        if (risposta == vbCancel || didascalie.size() == 1)
            box->setEscapeButton(p);
    }
    // The default button: the first, or the second or third the style asks for.
    const qsizetype predefinito = std::min<qsizetype>((r.stile >> 8) & 3, pulsanti.size() - 1);
    box->setDefaultButton(pulsanti.value(predefinito));
    return box;
}

int RispostaMsgBox(const QMessageBox& box, int stile) {
    if (const auto* p = box.clickedButton()) {
        const QVariant v = p->property("risposta");
        if (v.isValid())
            return v.toInt();
    }
    const std::vector<int> risposte = RisposteMsgBox(stile);
    for (int v : risposte)
        if (v == vbCancel)
            return vbCancel;
    return risposte.front();
}

int DialogoMessaggi::msgCom(const RichiestaMsgCom& r) {
    return FrmMsgCom::Esegui(r);
}

int DialogoMessaggi::msgBox(const RichiestaMsgBox& r) {
    QMessageBox* box = CreaMsgBox(r, QApplication::activeWindow());
    box->setWindowModality(Qt::ApplicationModal);
    QPointer<QMessageBox> guardia(box);
    box->exec();
    if (!guardia)
        return RispostaMsgBox(QMessageBox(), r.stile);
    const int risposta = RispostaMsgBox(*box, r.stile);
    delete box;
    return risposta;
}

QString DialogoMessaggi::inputBox(const RichiestaInput& r) {
    QInputDialog dialogo(QApplication::activeWindow());
    dialogo.setObjectName(QStringLiteral("InputBox"));
    dialogo.setWindowTitle(Titolo(r.titolo));
    dialogo.setLabelText(QString(r.prompt).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    dialogo.setTextValue(r.predefinito);
    dialogo.setOkButtonText(QStringLiteral("OK"));
    dialogo.setCancelButtonText(QStringLiteral("Annulla"));
    if (dialogo.exec() != QDialog::Accepted)
        return QString();
    return dialogo.textValue();
}

void InstallaDialogoMessaggi() {
    static DialogoMessaggi dialogo;
    ImpostaServizioMessaggi(&dialogo);
}

} // namespace quarvel
