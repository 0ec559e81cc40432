#pragma once
// Article levels: the level groups of an article and the captions of its
// level boxes, the stored value of a typed level, and the decoding of a code
// field when the operator leaves it, with the lookup offered when the code
// is unknown.

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtGlobal>
#include <optional>

class QLabel;
class QLineEdit;
class QWidget;

namespace quarvel {

// The marker of a level the article does not have.
inline const QString NessunLivello = QStringLiteral("~ç~");

// Leading blanks cut from livello (in place); the result is it, or "~ç~"
// when empty.
QString ValoreLivello(QString& livello);

// The captions "Livello 1:" and "Livello 2:", replaced by the descriptions
// of the article's groups; numero := how many groups the article has (2
// when it has a second, whatever the first).  With level handling off
// ("Mag.GesTaglie" not "S"), an empty article or an unknown one, numero is
// left as the caller set it.  Trailing blanks are cut from articolo.
void LeggiGruppiLivello(QString& articolo, QLabel* didascalia1, QLabel* didascalia2,
                        qint16& numero);

// Shows the level boxes that apply (numero groups); with svuota > 0 the
// typed and stored values are emptied, or set to "~ç~" for a level the
// article does not have.  The value boxes themselves stay hidden.
void MostraLivelli(QLineEdit* valore1, QLineEdit* valore2, QLineEdit* digitato1,
                   QLineEdit* digitato2, QLabel* didascalia1, QLabel* didascalia2,
                   QWidget* pulsante1, QWidget* pulsante2, QLabel* descrizione1,
                   QLabel* descrizione2, qint16 numero, qint16 svuota);

// Decodes a code box into its label; -1 when the code is known.  An unknown
// code typed offers the lookup as the session's DecodHelpAbil and
// DecodHelpPersKey say (DecodificaConRicerca).  The values of the fields
// named in campi come back in it.
QVariant DecodificaCampo(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione,
                         const std::optional<QVariantList>& filtri = std::nullopt,
                         QVariantList* campi = nullptr);
QVariant DecodificaConRicerca(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione,
                              const std::optional<QVariantList>& filtri = std::nullopt,
                              QVariantList* campi = nullptr);

// The kept "NoDecInattivi", back to unread (tests).
void AzzeraNoDecInattivi();

} // namespace quarvel
