#pragma once

#include "model/ValueSupport.h"

#include <QString>

#include <optional>

// When a whole-value write of the store's observed state tells its observers: exactly when the
// two values differ. Two empty optionals are equal, records compare field by field, and texts
// by the records' rule: canonically equivalent texts are equal.
namespace ObservedValue {

template<typename T>
bool differs(const T &oldValue, const T &newValue)
{
    return !(oldValue == newValue);
}

inline bool differs(const QString &oldValue, const QString &newValue)
{
    return !sameText(oldValue, newValue);
}

inline bool differs(const std::optional<QString> &oldValue, const std::optional<QString> &newValue)
{
    return !sameText(oldValue, newValue);
}

} // namespace ObservedValue
