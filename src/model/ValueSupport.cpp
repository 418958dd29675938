#include "model/ValueSupport.h"

bool sameText(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool sameText(const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

size_t hashText(const QString &text, size_t seed)
{
    return qHash(text.normalized(QString::NormalizationForm_C), seed);
}
