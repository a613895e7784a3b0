// Where the program keeps its working file, settings and catalogue, and which device a port number reaches.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/files.h"

namespace mervo {

// The motor catalogue's files, which the program directory holds.
extern const char kCategoryFileName[];   // "MT_fe.txt"
extern const char kModelFileName[];      // "bmindex.txt"
extern const char kNameplateFileName[];  // "MTALL.OBJ"
QStringList catalogueFileNames();

// The places the program directory is chosen from.
struct ProgramDirPlaces {
    QString home;      // MERVO_HOME; empty when unset
    QString exeDir;    // the running executable's directory
    QString dataHome;  // $XDG_DATA_HOME, or ~/.local/share
};

// MERVO_HOME when set. Otherwise the executable's directory when `writable` says so and it is no installed copy
// (one whose catalogue lies in the installed share folder rather than beside it): a build or an unpacked copy keeps
// everything together. Otherwise DATAHOME/mervo, created when missing, with each catalogue file it lacks copied in
// from beside the executable or from the installed share folder; a file already there is the operator's and stays.
QString chooseProgramDirectory(const ProgramDirPlaces& places, const std::function<bool(const QString&)>& writable);

// The program directory of this process: its environment, with a directory writable when the system says so.
QString programDirectory();

// The working file and the settings file inside a program directory.
QString workFilePath(const QString& programDir);
QString settingsFilePath(const QString& programDir);

// The link COMn in the program directory, whether it is there or not.
QString portLinkPath(int portNo, const QString& programDir);

// Port n (1..8) reaches the link COMn in the program directory when it exists, otherwise /dev/ttyS{n-1}.
QString devicePathForPort(int portNo, const QString& programDir);

// What stands at COMn in the program directory now: nothing, a link with its target as written there, or something
// else (a file, a folder), which the program never replaces.
struct PortLink {
    enum class Kind { None, Link, Other } kind = Kind::None;
    QString target;
};
PortLink readPortLink(int portNo, const QString& programDir);

// Removes the link COMn; anything else of that name is left as it is.
Status removePortLink(int portNo, const QString& programDir, FileSystem& fs = systemFileSystem());

// Whether a process this user may look into, this one among them, holds `device` open now (a receive reading
// it, another program). Processes of other users are not seen.
bool deviceHeldOpen(const QString& device);

// Points the link COMn in the program directory at `device`; a link already there is replaced in one step, so
// COMn never goes missing on the way. Anything else named COMn (a file, a folder) is not the program's to
// replace: it is refused and left as it is.
Status linkPortDevice(int portNo, const QString& device, const QString& programDir,
                      FileSystem& fs = systemFileSystem());

}  // namespace mervo
