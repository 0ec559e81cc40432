#pragma once
// The printers of the system through CUPS: the queues with their device URIs
// (the ports), the default destination of the user (lpoptions: a default
// chosen by the user beats the server's), and of one queue its input slots
// (bins) and paper sizes.  The server is the one libcups finds (CUPS_SERVER,
// the client configuration); a failure reads as no printers.

#include <QString>
#include <QVector>

namespace quarvel::stampa::cups {

struct Coda {
    QString nome;
    QString porta; // the queue's device URI
    bool predefinita = false;
};

struct Voce {
    int codice = 0; // 1-based place in the queue's list
    QString nome;   // the keyword of the queue ("Tray1", "A4", ...)
};

QVector<Coda> Code();
// The user's default queue; empty when there is none or it is not installed.
QString Predefinita();
// The default queue named by the user or the server even when it is not
// installed (the "missing printer" of the callers).
QString PredefinitaDichiarata();
// Makes the queue the user's default (lpoptions); false when there is no
// such queue or the file cannot be written.
bool ImpostaPredefinita(const QString& nome);
// The queue's device URI; empty when there is no such queue.
QString Porta(const QString& nome);
QVector<Voce> Cassetti(const QString& nome);
QVector<Voce> Formati(const QString& nome);
// The queue's current (default) paper keyword.
QString FormatoAttuale(const QString& nome);

// Sends a file as it is (raw) to the queue; the job id, or 0 with the
// reason in errore.
int StampaGrezza(const QString& coda, const QString& file, const QString& titolo, QString* errore);

} // namespace quarvel::stampa::cups
