#pragma once

#include <string>

// Finding volume files on disk. The component spells volume names one way
// (.Z01, .ZIP); other tools write the same set in lower case (.z01, .zip).
// A volume is looked for under its exact name first; only when that does not
// exist is a name in the same folder that differs in ASCII case taken.

// The existing regular file that stands for Name: Name itself, else the
// first (in byte order) file of Name's folder whose name equals Name's
// ignoring ASCII case; "" when there is none.
std::string FindVolumeFile(const std::string& Name);

inline bool VolumeFileExists(const std::string& Name) { return !FindVolumeFile(Name).empty(); }
