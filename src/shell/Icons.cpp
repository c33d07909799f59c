#include "Icons.h"
#include "TreeLogic.h"

#include <array>

QIcon OrvaneIcon(const QString &name)
{
    QIcon icon;
    for (const char *size : {"16", "24"})
        icon.addFile(QStringLiteral(":/icons/%1/%2.png").arg(QLatin1String(size), name));
    return icon;
}

const QIcon &TreeIcon(int kind)
{
    static const std::array<QIcon, NodeKindCount> icons = [] {
        static const char *names[NodeKindCount]
            = {"alias",       "table",         "field",       "index",
               "primary-key", "primary-field", "index-field", "link"};
        std::array<QIcon, NodeKindCount> list;
        for (int i = 0; i < NodeKindCount; ++i)
            list[i] = OrvaneIcon(QString::fromLatin1(names[i]));
        return list;
    }();
    return icons[std::clamp(kind, 0, NodeKindCount - 1)];
}
