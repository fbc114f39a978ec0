#include "OrvelDefs.h"

namespace orvel {

QString PadId(const QString &id, int width)
{
    return id.size() >= width ? id : QString(width - id.size(), u'0') + id;
}

QString PlaceholderGuserId(int edition, const QString &userId)
{
    const QString id = PadId(userId, kUserIdWidth);
    return QLatin1String(edition == EditionMifare ? kMifarePlaceholderPrefix : kFelicaPlaceholderPrefix) + id;
}

bool IsPlaceholderGuserId(int edition, const QString &guserId)
{
    if (edition == EditionMifare)
        return guserId.size() == kMifareGuserIdWidth && guserId >= QLatin1String(kMifarePlaceholderFloor);
    return guserId.size() == kFelicaGuserIdWidth && guserId.startsWith(QLatin1String(kFelicaPlaceholderPrefix));
}

} // namespace orvel
