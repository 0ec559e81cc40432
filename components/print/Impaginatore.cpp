#include "Impaginatore.h"

#include "ScritturaFile.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quarvel::stampa {

Impaginatore::Impaginatore(QVector<ColonnaLettura> colonne, QVector<int> scelte, QFont font,
                           Intestazione intestazione)
    : m_colonne(std::move(colonne)), m_scelte(std::move(scelte)), m_font(std::move(font)),
      m_int(std::move(intestazione)) {}

int Impaginatore::Prepara(const QPaintDevice& dev, IListaLettura& lista) {
    m_dev = &dev;
    m_pagina = QRectF(0, 0, dev.width(), dev.height());
    const double dpi = dev.logicalDpiX();

    m_grassetto = m_font;
    m_grassetto.setBold(true);
    m_titolo = m_grassetto;
    m_titolo.setPointSizeF(m_font.pointSizeF() > 0 ? m_font.pointSizeF() + 2 : 12);
    const QFontMetricsF fm(m_font, &dev);
    const QFontMetricsF fmTitolo(m_titolo, &dev);
    m_riga = std::ceil(fm.height() * 1.15);
    m_spazio = fm.horizontalAdvance(QLatin1Char(' '));
    m_altezzaTitolo = fmTitolo.height() * 1.3;

    // Column widths in device units, shrunk together to fit the page.
    m_larghezze.clear();
    double totale = 0;
    for (int i : m_scelte) {
        m_larghezze.push_back(std::max(1, m_colonne[i].larghezza) / 1440.0 * dpi);
        totale += m_larghezze.back();
    }
    if (totale > m_pagina.width() && totale > 0)
        for (double& w : m_larghezze)
            w *= m_pagina.width() / totale;

    const double testa = m_riga + m_altezzaTitolo + m_riga * 1.3;
    const double piede = m_riga * 1.5;
    m_righePagina = std::max(1, int((m_pagina.height() - testa - piede) / m_riga));
    const qint64 righe = lista.totale();
    m_pagine = int(std::max<qint64>(1, (righe + m_righePagina - 1) / m_righePagina));
    m_data = QLocale().toString(m_int.data.isValid() ? m_int.data : QDate::currentDate(),
                                QStringLiteral("dd/MM/yyyy"));
    return m_pagine;
}

void Impaginatore::DisegnaPagina(QPainter& p, IListaLettura& lista, int n) {
    const QRectF& pagina = m_pagina;
    const QFontMetricsF fm(m_font, m_dev);
    const QFontMetricsF fmGrassetto(m_grassetto, m_dev);
    const double riga = m_riga;
    double y = 0;
    p.setFont(m_font);
    p.drawText(QRectF(0, y, pagina.width(), riga), Qt::AlignLeft | Qt::AlignVCenter, m_int.ditta);
    p.drawText(QRectF(0, y, pagina.width(), riga), Qt::AlignRight | Qt::AlignVCenter, m_data);
    y += riga;
    p.setFont(m_titolo);
    p.drawText(QRectF(0, y, pagina.width(), m_altezzaTitolo), Qt::AlignCenter, m_int.titolo);
    y += m_altezzaTitolo;
    p.setFont(m_grassetto);
    double x = 0;
    for (int k = 0; k < m_scelte.size(); ++k) {
        const ColonnaLettura& c = m_colonne[m_scelte[k]];
        const QRectF r(x, y, std::max(0.0, m_larghezze[k] - m_spazio), riga);
        p.drawText(r, (ColonnaNumerica(c) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                   fmGrassetto.elidedText(c.titolo, Qt::ElideRight, r.width()));
        x += m_larghezze[k];
    }
    y += riga * 1.3;
    p.drawLine(QPointF(0, y - riga * 0.2), QPointF(std::min(x, pagina.width()), y - riga * 0.2));
    p.setFont(m_font);
    const QVector<RigaLettura> righePagina =
        lista.righe(qint64(n - 1) * m_righePagina, m_righePagina);
    for (const RigaLettura& r : righePagina) {
        x = 0;
        for (int k = 0; k < m_scelte.size(); ++k) {
            const int i = m_scelte[k];
            const QRectF cella(x, y, std::max(0.0, m_larghezze[k] - m_spazio), riga);
            p.drawText(cella,
                       (ColonnaNumerica(m_colonne[i]) ? Qt::AlignRight : Qt::AlignLeft) |
                           Qt::AlignVCenter,
                       fm.elidedText(r.testi.value(i), Qt::ElideRight, cella.width()));
            x += m_larghezze[k];
        }
        y += riga;
    }
    p.drawText(QRectF(0, pagina.height() - riga, pagina.width(), riga), Qt::AlignCenter,
               QStringLiteral("Pagina %1").arg(n));
}

int Impaginatore::Disegna(QPagedPaintDevice& dev, IListaLettura& lista, int da, int a,
                          const std::function<bool(int)>& perPagina) {
    QPainter p;
    if (!p.begin(&dev))
        return 0;
    Prepara(dev, lista);
    const int primo = std::max(1, da);
    const int ultimo = (a < 1 || a > m_pagine) ? m_pagine : a;
    int disegnate = 0;
    for (int n = primo; n <= ultimo; ++n) {
        if (perPagina && !perPagina(n))
            break;
        if (disegnate > 0 && !dev.newPage())
            break;
        DisegnaPagina(p, lista, n);
        ++disegnate;
    }
    p.end();
    return disegnate;
}

} // namespace quarvel::stampa
