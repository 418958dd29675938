#pragma once

#include <QCollator>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <utility>

// The text orderings and the search match used by the store's lists. Equality of texts is
// sameText() (model/ValueSupport.h), which the records use too: canonically equivalent texts
// are equal, as comparePlain() also finds them.
namespace TextCompare {

// Ordering for names shown to people: by the user's locale, ignoring case, digits compared by
// their numeric value ("방 2" before "방 10").
QCollator &localizedCollator();

// Plain ordering: the canonical (NFC) forms compared by Unicode scalar value, case-sensitive and
// independent of the locale.
int comparePlain(const QString &a, const QString &b);

// True when `text` contains `query` ignoring case and accents, as a search field expects.
bool localizedContains(const QString &text, const QString &query);

// The form in which localizedContains() compares: localizedContains(t, q) is exactly
// searchForm(t).contains(searchForm(q)). A list searched again and again keeps the forms.
QString searchForm(const QString &text);

// The places of `texts` in localized order, equal texts in the order they come: each text's
// collation key is made once, where comparing the texts themselves would collate each of them
// some log n times over.
QList<qsizetype> localizedOrder(const QStringList &texts);

template<typename T, typename Key>
void sortLocalized(QList<T> &list, Key key)
{
    QCollator &collator = localizedCollator();
    // A short list is compared directly: making keys costs more than the comparisons it saves.
    if (list.size() < 64) {
        std::stable_sort(list.begin(), list.end(), [&](const T &a, const T &b) {
            return collator.compare(key(a), key(b)) < 0;
        });
        return;
    }
    QStringList texts;
    texts.reserve(list.size());
    for (const T &item : std::as_const(list))
        texts.append(key(item));
    QList<T> sorted;
    sorted.reserve(list.size());
    for (qsizetype at : localizedOrder(texts))
        sorted.append(std::move(list[at]));
    list = std::move(sorted);
}

template<typename T, typename Key>
void sortPlain(QList<T> &list, Key key)
{
    std::stable_sort(list.begin(), list.end(),
                     [&](const T &a, const T &b) { return comparePlain(key(a), key(b)) < 0; });
}

} // namespace TextCompare
