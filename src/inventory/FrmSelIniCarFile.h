#pragma once
// frmSelIniCarFile ("Selezione parametri per caricamento da file"): the
// file-load parameter sets found in the two parameter files, one entry each
// (a set in both files is read from the main one), shown by their "Descr"
// or by their section name.  The operator makes one of them current for the
// form that opened the dialog; closing the dialog in any way calls that
// form's DopoSceIniLetFile.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace quarvel {

class AnteprimaTasti;

class FrmSelIniCarFile final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString osDaChi READ osDaChi WRITE setOsDaChi)
    Q_PROPERTY(int oiNoHelp MEMBER m_oiNoHelp)
public:
    explicit FrmSelIniCarFile(QWidget* genitore = nullptr);
    ~FrmSelIniCarFile() override;

    // "Bar" lists the sets "LettArtDafile...", any other value "LettMatrDafile...".
    QString osDaChi() const { return m_msDaChi; }
    void setOsDaChi(const QString& v);

    QString osKeySec;
    QString osLettArtDafile; // in: the current set; out: the set chosen
    bool obOk = false;
    QPointer<QWidget> ofrmDett; // has a DopoSceIniLetFile slot or invokable

    // Fills the list; true when at least one set was found.
    bool mostra();
    // Adds the sets of one parameter file.
    void PrepLista(const QString& psFileIni);

    QListWidget* LisParamIni() const { return m_lista; }
    QPushButton* comOk() const { return m_comOk; }
    QPushButton* ComAnnulla() const { return m_comAnnulla; }
    // The section names, in the order of the list.
    const QStringList& sezioni() const { return m_sezioni; }
    QString prefisso() const { return m_prefisso; }

    void comOk_Click();
    void ComAnnulla_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    QListWidget* m_lista = nullptr;
    QPushButton* m_comOk = nullptr;
    QPushButton* m_comAnnulla = nullptr;
    AnteprimaTasti* m_anteprima = nullptr;
    QString m_msDaChi;
    QString m_prefisso = QStringLiteral("LettArtDafile");
    QStringList m_sezioni;
    int m_oiNoHelp = 0;
};

} // namespace quarvel
