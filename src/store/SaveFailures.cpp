#include "store/SaveFailures.h"

QString SaveFailures::text(File file)
{
    switch (file) {
    case File::session:
        return QStringLiteral("세션을 저장하지 못했습니다. 저장 공간을 확인해 주세요.");
    case File::settings:
        return QStringLiteral("설정을 저장하지 못했습니다. 저장 공간을 확인해 주세요.");
    }
    return {};
}

bool SaveFailures::failing(File file) const
{
    return m_failing[int(file)];
}

QStringList SaveFailures::texts() const
{
    QStringList lines;
    for (File file : {File::session, File::settings}) {
        if (failing(file))
            lines.append(text(file));
    }
    return lines;
}

void SaveFailures::setFailing(File file, bool failing)
{
    if (m_failing[int(file)] == failing)
        return;
    m_failing[int(file)] = failing;
    emit changed();
}
