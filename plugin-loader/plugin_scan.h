// Finding the effect plug-ins: the libraries named "Zarevo_*.so" in one folder,
// in byte-wise order of their paths, and the tab caption each one gets.
#pragma once

#include <string>
#include <vector>

/// The folder the running program lives in (from /proc/self/exe), without a
/// trailing "/"; empty when the link cannot be read.
std::string ProgramFolder();

/// Full paths of the entries of `folder` whose names match "Zarevo_*.so",
/// sorted by byte-wise strcmp (so "Zarevo_Z.so" comes before "Zarevo_a.so").
/// A folder that cannot be read gives an empty list.
std::vector<std::string> FindPluginFiles(const std::string& folder);

/// The tab caption of a plug-in: its file name without the folder, without
/// everything from the last "." on, and without the prefix "Zarevo_".
/// "/opt/z/Zarevo_original.so" gives "original".
std::string PluginCaption(const std::string& path);
