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

void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt)
{
    QString a;
    QString b;
    std::stable_sort(first, last, [&](qsizetype x, qsizetype y) {
        textAt(x, a);
        textAt(y, b);
        const int byCollation = collator.compare(a, b);
        return byCollation != 0 ? byCollation < 0 : a < b;
    });
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
