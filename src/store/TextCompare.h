#pragma once

#include <QCollator>
#include <QList>
#include <QString>

#include <algorithm>

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

template<typename T, typename Key>
void sortLocalized(QList<T> &list, Key key)
{
    QCollator &collator = localizedCollator();
    std::stable_sort(list.begin(), list.end(),
                     [&](const T &a, const T &b) { return collator.compare(key(a), key(b)) < 0; });
}

template<typename T, typename Key>
void sortPlain(QList<T> &list, Key key)
{
    std::stable_sort(list.begin(), list.end(),
                     [&](const T &a, const T &b) { return comparePlain(key(a), key(b)) < 0; });
}

} // namespace TextCompare
