#pragma once

#include <QCollator>
#include <QStringList>

#include <vector>

// The order of the sorted container: the user's locale's case-insensitive alphabetical
// order of whole texts. In the C or POSIX locale a real collation is used all the same, so
// that accented letters sort with their base letters.
QCollator sortCollator();

// The positions of texts in ascending order. Texts that the collation finds equal (letter case
// aside, say) are ordered by their exact characters, so the result does not depend on the
// order in which they came; identical texts keep their order.
std::vector<qsizetype> Cont_Sort(const QStringList &texts);
