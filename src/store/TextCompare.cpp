#include "store/TextCompare.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

namespace TextCompare {

QCollator &localizedCollator()
{
    static QCollator collator = [] {
        // The "C" locale (a bare LANG=C) makes QCollator fall back to plain code-unit order,
        // without numeric or case-insensitive comparison; English order stands in for it.
        QLocale locale = QLocale::system();
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(locale);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

QList<qsizetype> localizedOrder(const QStringList &texts)
{
    const QCollator &collator = localizedCollator();
    QList<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString &text : texts)
        keys.append(collator.sortKey(text));
    QList<qsizetype> order(texts.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys.at(a).compare(keys.at(b)) < 0; });
    return order;
}

int comparePlain(const QString &a, const QString &b)
{
    const QList<uint> x = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> y = b.normalized(QString::NormalizationForm_C).toUcs4();
    const auto [ix, iy] = std::mismatch(x.cbegin(), x.cend(), y.cbegin(), y.cend());
    if (ix == x.cend())
        return iy == y.cend() ? 0 : -1;
    if (iy == y.cend())
        return 1;
    return *ix < *iy ? -1 : 1;
}

// Case-folded, without combining marks, recomposed: so "É" matches "e" while a Hangul syllable
// stays one syllable ("하" does not match inside "한").
QString searchForm(const QString &text)
{
    // Plain ASCII and precomposed Hangul syllables, what names mostly are, have no marks to
    // drop and recompose as they were: only the case folding does anything to them.
    const bool plain = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() < 0x80 || (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3);
    });
    if (plain)
        return text.toCaseFolded();
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString kept;
    kept.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            kept.append(c);
    }
    return kept.normalized(QString::NormalizationForm_C).toCaseFolded();
}

bool localizedContains(const QString &text, const QString &query)
{
    return searchForm(text).contains(searchForm(query));
}

} // namespace TextCompare
