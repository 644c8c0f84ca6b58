#include "favourites/sort_order.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

QCollator sortCollator()
{
    // The session's own order, whatever default locale a front has chosen for its texts.
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
    collator.setNumericMode(false);
    return collator;
}

namespace
{

// Up to this many characters, a range's texts are made once each and held while it is
// sorted; beyond it, each text is made again for every comparison, so that a range of long
// texts never holds them all.
constexpr qsizetype maxHeldCharacters = qsizetype(1) << 20;

bool before(const QCollator &collator, const QString &a, const QString &b)
{
    const int byCollation = collator.compare(a, b);
    return byCollation != 0 ? byCollation < 0 : a < b;
}

} // namespace

void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt)
{
    std::vector<QString> texts;
    sortPositions(first, last, collator, textAt, texts);
}

void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt, std::vector<QString> &texts)
{
    std::size_t count = 0;
    qsizetype held = 0;
    for (auto p = first; p != last && held <= maxHeldCharacters; ++p) {
        if (count == texts.size())
            texts.emplace_back();
        textAt(*p, texts[count]);
        held += texts[count++].size();
    }
    if (held <= maxHeldCharacters) {
        std::vector<std::size_t> order(count);
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            return before(collator, texts[x], texts[y]);
        });
        std::vector<qsizetype> sorted;
        sorted.reserve(order.size());
        for (const std::size_t i : order)
            sorted.push_back(first[std::ptrdiff_t(i)]);
        std::copy(sorted.begin(), sorted.end(), first);
        return;
    }
    std::vector<QString>().swap(texts);
    QString a;
    QString b;
    std::stable_sort(first, last, [&](qsizetype x, qsizetype y) {
        textAt(x, a);
        textAt(y, b);
        return before(collator, a, b);
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
