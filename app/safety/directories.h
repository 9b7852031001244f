// Which directory settings and file names name the same place on disk.
//
// A run's inputs, outputs and backups must be kept apart: an output written into the backup
// directory could take a backup's name (and a commit could never finish), a backup in the
// input directory would be converted again, and an output in the input directory would be the
// next run's input. These are configuration errors, found before anything is converted.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace varnex {

struct Settings;

// True when the directories `a` and `b` (each ending in a separator, or empty for the current
// directory) are one: the same text, or both there with the same device and inode.
bool SameDirectory(FileSystem& fs, const std::string& a, const std::string& b);

// True when the paths `a` and `b` would name one file: in the same directory, with names equal
// without regard to case (as they are on a file system that ignores case).
bool SameFileName(FileSystem& fs, const std::string& a, const std::string& b);

// The directory part of `path`, with its separator; empty when it has none.
std::string DirectoryOf(const std::string& path);

// What is wrong with the directory settings, as one Hungarian sentence naming the settings;
// nullopt when nothing. BackupPath must differ from InputPath and from every output directory;
// in input directory mode InputPath must be a directory this process can list, and no output
// directory may be InputPath.
std::optional<std::string> FindDirectoryConflict(FileSystem& fs, const Settings& settings,
                                                 bool inputDirectoryMode);

}  // namespace varnex
