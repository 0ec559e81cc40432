#pragma once
// A list laid out in pages on any paged device (a printer, a PDF writer):
// every page carries the company and the date, the list's caption, the
// columns' captions and its page number; the rows follow in the list's order,
// numbers on the right, texts cut to their column.  Columns keep the widths
// the form gave them (twips) and shrink together when the page is too
// narrow for them.  Pages are read from the list one at a time, so a long
// list takes no more memory than a page.

#include "suite/ListaLettura.h"

#include <QDate>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QVector>
#include <functional>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace quarvel::stampa {

struct Intestazione {
    QString titolo; // the list's caption
    QString ditta;  // the company
    QDate data;
};

class Impaginatore {
public:
    Impaginatore(QVector<ColonnaLettura> colonne, QVector<int> scelte, QFont font,
                 Intestazione intestazione);

    // Draws pages da to a (1-based; a below 1 or past the end: the last
    // page) on the device; before each page perPagina(page) is asked and a
    // false stops the print.  The pages drawn.
    int Disegna(QPagedPaintDevice& dispositivo, IListaLettura& lista, int da, int a,
                const std::function<bool(int)>& perPagina = {});
    // Lays the list out for the device's page (its size and resolution):
    // the pages there are.
    int Prepara(const QPaintDevice& dispositivo, IListaLettura& lista);
    // Draws page n (1-based) of the list as laid out by Prepara, with a
    // painter open on that device.
    void DisegnaPagina(QPainter& p, IListaLettura& lista, int n);
    // Rows on a page of the last device drawn on.
    int RighePerPagina() const { return m_righePagina; }
    int PagineTotali() const { return m_pagine; }

private:
    QVector<ColonnaLettura> m_colonne;
    QVector<int> m_scelte;
    QFont m_font;
    Intestazione m_int;
    int m_righePagina = 0;
    int m_pagine = 0;
    // the layout of Prepara
    const QPaintDevice* m_dev = nullptr;
    QRectF m_pagina;
    QFont m_grassetto;
    QFont m_titolo;
    QVector<double> m_larghezze;
    double m_riga = 0;
    double m_spazio = 0;
    double m_altezzaTitolo = 0;
    QString m_data;
};

} // namespace quarvel::stampa
