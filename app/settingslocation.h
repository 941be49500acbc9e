#pragma once

#include <QString>

// Where the settings file "zephul.ini" lives. Beside the program when the program's folder can be
// written by the user: a program built or copied into a folder of one's own keeps its settings
// with it, as it always has (and always on Windows). An installed program's folder (/usr/bin)
// cannot be written, and a settings file there could never be saved; such a program keeps its
// settings in the user's configuration folder instead: zephul/ in $XDG_CONFIG_HOME when that is
// an absolute path, or in ~/.config. That folder is created by the first write, not here.
class SettingsLocation
{
public:
    static QString settingsPath(const QString &programFolder);
};
