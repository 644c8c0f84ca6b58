#include "favourites/sort_order.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

QCollator sortCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
    collator.setNumericMode(false);
    return collator;
}

// Each text and its collation key are made once, for the positions of this range only; the
// callers sort one folder's rows at a time, which keeps the keys few.
void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt)
{
    struct Element {
        QCollatorSortKey cle;
        QString texte;
        qsizetype position;
    };
    std::vector<Element> elements;
    elements.reserve(std::size_t(last - first));
    QString texte;
    for (auto it = first; it != last; ++it) {
        textAt(*it, texte);
        elements.push_back({collator.sortKey(texte), texte, *it});
    }
    std::stable_sort(elements.begin(), elements.end(), [](const Element &a, const Element &b) {
        const int parCollation = a.cle.compare(b.cle);
        return parCollation != 0 ? parCollation < 0 : a.texte < b.texte;
    });
    for (const Element &element : elements)
        *first++ = element.position;
}

std::vector<qsizetype> Cont_Sort(qsizetype count, const TextAt &textAt)
{
    std::vector<qsizetype> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), qsizetype(0));
    sortPositions(order.begin(), order.end(), sortCollator(), textAt);
    return order;
}

std::vector<qsizetype> Cont_Sort(const QStringList &texts)
{
    return Cont_Sort(texts.size(), [&texts](qsizetype i, QString &text) { text = texts.at(i); });
}
