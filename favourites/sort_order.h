#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The order of the sorted container: the user's locale's case-insensitive alphabetical
// order of whole texts. In the C or POSIX locale a real collation is used all the same, so
// that accented letters sort with their base letters.
QCollator sortCollator();

// textAt writes the text at a position into the buffer it is given. A range whose texts are
// short altogether holds them while it is sorted; a longer one makes each text when comparing
// it, which keeps large sorts small in memory.
using TextAt = std::function<void(qsizetype position, QString &text)>;

// Sorts positions, given in ascending order, into ascending order of their texts. Texts that
// the collation finds equal (they differ only in case) are ordered by their exact
// characters, then by position, so the result does not depend on the order the host listed
// them in.
void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt);
// The same, holding the texts in buffers that the caller keeps from one sort to the next, so
// that many small sorts make few allocations when textAt keeps the capacity of the buffer.
void sortPositions(std::vector<qsizetype>::iterator first, std::vector<qsizetype>::iterator last,
                   const QCollator &collator, const TextAt &textAt, std::vector<QString> &texts);

// The positions of count texts in ascending order.
std::vector<qsizetype> Cont_Sort(qsizetype count, const TextAt &textAt);
std::vector<qsizetype> Cont_Sort(const QStringList &texts);
