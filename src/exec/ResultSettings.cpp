#include "ResultSettings.h"

#include "IniFile.h"
#include "SharedRoutines.h"

TResultPlacement TResultSettings::Read(const QString &name, const TResultPlacement &d) const
{
    TResultPlacement p;
    p.Left = m_ini.ReadInteger(name, QStringLiteral("Left"), d.Left);
    p.Top = m_ini.ReadInteger(name, QStringLiteral("Top"), d.Top);
    p.Width = m_ini.ReadInteger(name, QStringLiteral("Width"), d.Width);
    p.Height = m_ini.ReadInteger(name, QStringLiteral("Height"), d.Height);
    p.Tag = m_ini.ReadInteger(name, QStringLiteral("Tag"), 0);
    return p;
}

void TResultSettings::WindowClosed(const QString &name, const TResultPlacement &p)
{
    // One change of the file: the list read here is the one on disk, with the windows
    // another running copy closed.
    m_ini.Update([&] { WriteClosed(name, p); });
}

void TResultSettings::WriteClosed(const QString &name, const TResultPlacement &p)
{
    m_ini.WriteInteger(name, QStringLiteral("Left"), p.Left);
    m_ini.WriteInteger(name, QStringLiteral("Top"), p.Top);
    m_ini.WriteInteger(name, QStringLiteral("Width"), p.Width);
    m_ini.WriteInteger(name, QStringLiteral("Height"), p.Height);
    m_ini.WriteInteger(name, QStringLiteral("Tag"), 1);

    const QString config = QStringLiteral("Config");
    const QString key = QStringLiteral("WindowsList");
    QStringList list = Split(m_ini.ReadString(config, key), u',');
    list.removeAll(QString());
    if (!list.contains(name))
        list << name;
    while (list.size() > MaxWindows) {
        const QString oldest = list.takeFirst();
        try {
            m_ini.EraseSection(oldest);
        } catch (...) {
            // a section that cannot be erased now is only a few stale lines
        }
    }
    m_ini.WriteString(config, key, Join(list, u','));
}
