// Where the program keeps its working file, settings and catalogue, and which device a port number reaches.
#pragma once

#include <QString>

#include "platform/files.h"

namespace mervo {

// The environment variable MERVO_HOME when set, otherwise the directory of the running executable.
QString programDirectory();

// The working file and the settings file inside a program directory.
QString workFilePath(const QString& programDir);
QString settingsFilePath(const QString& programDir);

// The link COMn in the program directory, whether it is there or not.
QString portLinkPath(int portNo, const QString& programDir);

// Port n (1..8) reaches the link COMn in the program directory when it exists, otherwise /dev/ttyS{n-1}.
QString devicePathForPort(int portNo, const QString& programDir);

// Points the link COMn in the program directory at `device`; a link already there is replaced in one step, so
// COMn never goes missing on the way. Anything else named COMn (a file, a folder) is not the program's to
// replace: it is refused and left as it is.
Status linkPortDevice(int portNo, const QString& device, const QString& programDir,
                      FileSystem& fs = systemFileSystem());

}  // namespace mervo
