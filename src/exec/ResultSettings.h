#pragma once

#include <QString>

class TIniFile;

// Where a named result window was and how it was opened last, kept in the settings file:
// one section per window name, and [Config] WindowsList naming the remembered ones.
struct TResultPlacement
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Tag = 0;
};

class TResultSettings
{
public:
    static constexpr int MaxWindows = 15;

    explicit TResultSettings(TIniFile &ini)
        : m_ini(ini)
    {}

    // The placement remembered for the name; each value missing takes the default's.
    TResultPlacement Read(const QString &name, const TResultPlacement &defaults) const;
    // Remembers the closed window's place under its name (Tag 1) and the name in the list,
    // forgetting the oldest names beyond MaxWindows.
    void WindowClosed(const QString &name, const TResultPlacement &placement);

private:
    void WriteClosed(const QString &name, const TResultPlacement &placement);
    TIniFile &m_ini;
};
