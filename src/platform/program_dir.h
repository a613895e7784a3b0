// Where the program keeps its working file, settings and catalogue, and which device a port number reaches.
#pragma once

#include <QString>

namespace mervo {

// The environment variable MERVO_HOME when set, otherwise the directory of the running executable.
QString programDirectory();

// The working file and the settings file inside a program directory.
QString workFilePath(const QString& programDir);
QString settingsFilePath(const QString& programDir);

// Port n (1..8) reaches the link COMn in the program directory when it exists, otherwise /dev/ttyS{n-1}.
QString devicePathForPort(int portNo, const QString& programDir);

}  // namespace mervo
