#include "model/HandOver.h"

#include "model/ValueSupport.h"

size_t qHash(const ReportDraft &value, size_t seed)
{
    return HashFeed(seed).add(value.id).add(value.userId).add(value.messageId).result();
}
