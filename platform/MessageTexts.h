#pragma once

// Every text the program reports, in one place: the core, the command line, the desktop program and the
// tests all take them from here. A text that ends in a blank is followed by a name or a path.

// Opening an archive.
inline constexpr const char* kErrorOpeningFile = "Error opening file.";
inline constexpr const char* kUnknownFileType = "Unknown file type encountered.";

// Extraction: files.
inline constexpr const char* kCouldNotFindFile = "Could not find file "; // followed by the name and "."
inline constexpr const char* kCouldNotReadFile = "Could not read file ";
inline constexpr const char* kCouldNotCreateFile = "Could not create file ";
inline constexpr const char* kCouldNotWriteFile = "Could not write file ";
inline constexpr const char* kSkippedUnsafeName = "Skipped unsafe name ";

// Extraction: folders. The folder tree's Extract says "make", the file list's "create".
inline constexpr const char* kCouldNotMakeDirectory = "Could not make directory ";
inline constexpr const char* kCouldNotCreateDirectory = "Could not create directory ";
inline constexpr const char* kCouldNotChangeToDirectory = "Could not change to directory ";

// The command line.
inline constexpr const char* kNotInArchive = "Not in archive: ";
inline constexpr const char* kInterruptedText = "Interrupted";
inline constexpr const char* kNoArchiveWritten = "No archive written.";
inline constexpr const char* kCouldNotWriteArchive = "Could not write the archive: ";
