#include "ui/common/StoreTask.h"

#include "files/LogCategories.h"

namespace {

std::function<void()> &faultNotice()
{
    static std::function<void()> show;
    return show;
}

} // namespace

namespace StoreTask {

void setFaultNotice(std::function<void()> show)
{
    faultNotice() = std::move(show);
}

void detail::reportFault(const std::exception_ptr &fault)
{
    logFault(fault);
    if (faultNotice())
        faultNotice()();
}

} // namespace StoreTask
