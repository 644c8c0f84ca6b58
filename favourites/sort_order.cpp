#include "favourites/sort_order.h"

#include <QCollatorSortKey>
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

std::vector<qsizetype> Cont_Sort(const QStringList &texts)
{
    const QCollator collator = sortCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(texts.size()));
    for (const QString &text : texts)
        keys.push_back(collator.sortKey(text));

    std::vector<qsizetype> order(std::size_t(texts.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int byCollation = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
        if (byCollation != 0)
            return byCollation < 0;
        return texts[a] < texts[b];
    });
    return order;
}
