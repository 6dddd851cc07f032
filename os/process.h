// Process-wide settings both programs start with.
#pragma once

namespace quorvel::os {

// A write past the process's file size limit then fails like a full disk,
// and the save reports it, instead of the program being killed mid-save.
// (Windows sends no signal for it: there, this does nothing.)
void IgnoreFileSizeLimitSignal();

// Lets a program that answers on its standard streams be heard where it was
// started from: a Windows window program started from a console has no
// standard output or error of its own, and takes its console's for those it
// lacks. (Elsewhere the streams are always there: this does nothing.)
void ReachStartingConsole();

}  // namespace quorvel::os
