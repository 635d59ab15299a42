#pragma once

#include <cstdint>
#include <string>

// Every text the program reports, in one place: the core, the command line, the desktop program and the
// tests all take them from here. A text that ends in a blank is followed by a name or a path.

namespace vorpex {

// Opening an archive.
inline constexpr const char* kErrorOpeningFile = "Error opening file.";
inline constexpr const char* kUnknownFileType = "Unknown file type encountered.";

// Extraction: files.
inline constexpr const char* kCouldNotReadFile = "Could not read file ";
inline constexpr const char* kCouldNotCreateFile = "Could not create file ";
inline constexpr const char* kCouldNotWriteFile = "Could not write file ";
inline constexpr const char* kSkippedUnsafeName = "Skipped unsafe name ";
inline constexpr const char* kKeptExistingFile = "Kept existing file ";
// extract --convert: a picture or sound the decoders refuse is extracted as it is; the reason follows.
inline constexpr const char* kNotConverted = "Not converted, extracted as it is: ";
// The desktop program asks before it replaces a file that stood in the destination; %1 is the entry's path
// in the archive. Then the answers, as the buttons say them.
inline constexpr const char* kReplaceExistingFile = "There is already a file where %1 goes. Replace it?";
inline constexpr const char* kReplace = "Replace";
inline constexpr const char* kReplaceAll = "Replace All";
inline constexpr const char* kSkip = "Skip";
inline constexpr const char* kSkipAll = "Skip All";
inline constexpr const char* kCancelText = "Cancel";

// Extraction: folders. The folder tree's Extract says "make", the file list's "create".
inline constexpr const char* kCouldNotMakeDirectory = "Could not make directory ";
inline constexpr const char* kCouldNotCreateDirectory = "Could not create directory ";
inline constexpr const char* kCouldNotChangeToDirectory = "Could not change to directory ";

// Checking an archive: the reader's problems, then those of the catalogue as a whole (these four also name
// the problems of `list --json`, where no path follows).
inline constexpr const char* kUnknownRecordsSkipped = "Unknown file type encountered: ";
inline constexpr const char* kNestedTooDeep = "Folders nested deeper than ";
// After "1 list" or "N lists"; the second, when the file ends partway through a record, replaces the first.
inline constexpr const char* kListsCutShort = " cut short by the end of the file";
inline constexpr const char* kListsCutInsideRecord = " cut short: the file ends inside a record";
inline constexpr const char* kArchiveNotReadToEnd = "The archive could not be read to its end";
inline constexpr const char* kDataBeyondEnd = "Data beyond the end of the archive";
inline constexpr const char* kUnsafeName = "Unsafe name";
inline constexpr const char* kEmptyName = " (empty name)";
inline constexpr const char* kDuplicateName = "Duplicate name in one folder";
inline constexpr const char* kDecodedAlike = "Duplicate name in one folder after decoding: ";
inline constexpr const char* kNoProblemsFound = "No problems found.";
// A note, not a problem: bytes no record points at (dead space an edit left, or padding).
inline constexpr const char* kUnusedBytesNote =
    "Note: %1 bytes of the archive are not used by any entry or list.";

// Looking inside an entry.
inline constexpr const char* kPreviewPastEnd =
    "This file cannot be previewed: its data lies beyond the end of the archive.";
inline constexpr const char* kPreviewReadError =
    "This file cannot be previewed: the archive could not be read.";
inline constexpr const char* kPreviewNotOpen = "This file cannot be previewed: no archive is open.";
// Followed by the picture's size, "5700 x 5700 pixels.".
inline constexpr const char* kPreviewTooLarge = "This picture is too large to preview: ";
// Why a picture, palette or sound cannot be decoded.
inline constexpr const char* kMediaTruncated = "This file cannot be shown: its data ends early.";
inline constexpr const char* kMediaDamaged = "This file cannot be shown: its header is damaged.";
inline constexpr const char* kMediaUnsupported =
    "This file cannot be shown: its kind of data is not supported.";
inline constexpr const char* kMediaNoPalette = "This picture cannot be shown: its palette is missing.";
inline constexpr const char* kMediaNotPalette = "This file is not a palette: a palette holds 768 bytes.";
inline constexpr const char* kMediaSoundTooLong = "This sound is too long to preview.";
inline constexpr const char* kMediaFileTooLarge = "This file is too large to preview.";
inline constexpr const char* kMediaNotMidi = "This file is not a MIDI file.";
// How a decoded picture or sound is described: "320x200, 8-bit indexed", "22050 Hz, 8-bit, mono, 1.5 s".
inline constexpr const char* kMediaIndexed = "-bit indexed";
inline constexpr const char* kMediaTrueColour = "-bit true colour";
inline constexpr const char* kMediaMono = "mono";
inline constexpr const char* kMediaStereo = "stereo";
// The preview's sounds: the button, and why a sound cannot be played here.
inline constexpr const char* kSoundPlay = "Play";
inline constexpr const char* kSoundStop = "Stop";
inline constexpr const char* kSoundNoOutput = "No sound output device is available to play this sound.";
// Save As... of a previewed picture or sound, in today's formats; the file's path follows.
inline constexpr const char* kSaveAsNothing = "Only a previewed picture or sound can be saved as PNG or WAV.";
inline constexpr const char* kSavedAs = "Saved ";
// A MIDI file's summary, one line each; the track lines follow.
inline constexpr const char* kMidiHeading = "MIDI file, format ";
inline constexpr const char* kMidiTracks = "Tracks: ";
inline constexpr const char* kMidiDivision = "Ticks per quarter note: ";
inline constexpr const char* kMidiSmpte = "SMPTE frames per second: ";
inline constexpr const char* kMidiTempo = "Tempo: ";
inline constexpr const char* kMidiTempoChanges = " tempo changes";
inline constexpr const char* kMidiLength = "Length: ";
inline constexpr const char* kMidiTrack = "Track ";
inline constexpr const char* kMidiEvents = " events";
inline constexpr const char* kMidiTrackCut = " (cut short)";

// The command line.
inline constexpr const char* kNotInArchive = "Not in archive: ";
inline constexpr const char* kInterruptedText = "Interrupted";
inline constexpr const char* kCouldNotReadStdin = "Could not read standard input: ";
inline constexpr const char* kCouldNotWriteListing = "Could not write the listing: ";
inline constexpr const char* kCouldNotWriteReport = "Could not write the report: ";
inline constexpr const char* kCouldNotWriteStdout = "Could not write to standard output: ";
inline constexpr const char* kStdinPast4GiB = "more than 4 GiB, past what an archive can address";

// The command line's pack.
inline constexpr const char* kNoArchiveWritten = "No archive written.";
inline constexpr const char* kCouldNotWriteArchive = "Could not write the archive: ";
inline constexpr const char* kNameNotEncodable = "Name cannot be encoded in ";
inline constexpr const char* kNameTooLong = "Name longer than ";
inline constexpr const char* kNameNotSafe = "Name that cannot be extracted safely: ";
inline constexpr const char* kCouldNotOpenFolder = "Could not open folder ";
inline constexpr const char* kCouldNotReadFolder = "Could not read folder ";
inline constexpr const char* kCouldNotRead = "Could not read ";
inline constexpr const char* kCouldNotOpenFile = "Could not open file ";
inline constexpr const char* kSkippedSymbolicLink = "Skipped symbolic link ";
inline constexpr const char* kSkippedSpecialFile = "Skipped special file ";
inline constexpr const char* kFoldersNestTooDeep = "Folders nest deeper than ";
inline constexpr const char* kDataPast4GiB =
    "Data would lie past 4 GiB, beyond the reach of the archive's offsets: ";
inline constexpr const char* kFileChanged = "File changed while packing: ";
inline constexpr const char* kTooManyEntries = "The folder holds too many entries for one archive";
// With --skip-unfit, and without.
inline constexpr const char* kMoreNamesLeftOut = "... and %1 more names left out (--verbose names them all)";
inline constexpr const char* kMoreNamesRefused = "... and %1 more names refused (--verbose names them all)";

// The command line's add, remove, rename and update. The change lines (-n, -v) name an archive path.
inline constexpr const char* kChangeAdd = "add ";
inline constexpr const char* kChangeReplace = "replace ";
inline constexpr const char* kChangeRemove = "remove ";
inline constexpr const char* kChangeRename = "rename ";
inline constexpr const char* kKeptInArchive = "Kept, already in the archive: ";
inline constexpr const char* kArchiveNotChanged = "Archive not changed.";
inline constexpr const char* kArchiveDamaged =
    "The archive has problems that check reports (unknown records, cut or shared lists, nesting too deep); "
    "it is not changed: ";
inline constexpr const char* kArchiveReadOnly = "The archive may not be written: ";
inline constexpr const char* kArchiveChangedMeanwhile = "The archive changed on disk since it was read: ";
inline constexpr const char* kDataPastEnd = "Data lies past the end of the archive: ";
inline constexpr const char* kPathNotRelative = "Not a path below the folder (absolute, or with ..): ";
inline constexpr const char* kNotFileOrFolder = "Neither a regular file nor a folder: ";
inline constexpr const char* kFileFolderClash = "A file and a folder would share the path: ";
inline constexpr const char* kNameNotAllowed = "Name not allowed (empty, . or .., or holding / or \\): ";
inline constexpr const char* kNameTaken = "Name already taken in its folder: ";
inline constexpr const char* kTooManyInArchive = "The archive would hold too many entries";

// The command line's mount.
inline constexpr const char* kCouldNotMountOn = "Could not mount on ";
inline constexpr const char* kCouldNotStartFuse = "Could not start FUSE";
inline constexpr const char* kCouldNotStartMount = "Could not start the mount: ";
inline constexpr const char* kCouldNotUnmount = "Could not unmount ";
inline constexpr const char* kNotOurMount = "Not mounted by vorpex-cli: ";
inline constexpr const char* kCouldNotLeaveFolder = "Could not leave the current folder: ";

// The desktop program.
inline constexpr const char* kCaption = "Vorpex";
inline constexpr const char* kMoreMessages = "%1 more messages:"; // %1 is their count
inline constexpr const char* kOneMoreMessage = "1 more message:";
// The status bar after an extraction: %1 the files ("1 file" or "12 files"), %2 their size, %3 the
// destination folder.
inline constexpr const char* kOneFile = "1 file";
inline constexpr const char* kFiles = "%1 files";
inline constexpr const char* kExtractedTo = "Extracted %1, %2, to %3";
inline constexpr const char* kCancelledAfter = "Cancelled after writing %1, %2, to %3";
inline constexpr const char* kUnknownEncoding = "Unknown encoding ";
inline constexpr const char* kOpenManyFiles = "Open %1 files, each with its program?";
// Opening an entry with the desktop's program failed: the entry's path in the archive follows, then why.
inline constexpr const char* kNoAssociatedApplication =
    "There is no application associated\nwith the given filename extension.";
inline constexpr const char* kOpenerFailed = "The program for this kind of file could not open it.";
// No private folder to extract into for opening and dragging: the reasons follow, separated by "; ", each
// a folder with what is wrong with it (or the system's error).
inline constexpr const char* kNoPrivateFolder = "No private folder to extract into for opening or dragging: ";
inline constexpr const char* kNoBaseFolder = "neither $XDG_RUNTIME_DIR nor a cache folder is set";
inline constexpr const char* kBaseNotFolder = " is not a folder";
inline constexpr const char* kBaseIsLink = " is a symbolic link";
inline constexpr const char* kBaseNotOwned = " belongs to another user";
inline constexpr const char* kBaseShared = " may be written by other users";

// `text` with its "%1" replaced by `count`.
inline std::string withCount(const char* text, uint64_t count) {
    std::string line(text);
    line.replace(line.find("%1"), 2, std::to_string(count));
    return line;
}

// Editing the archive in the window. Texts with %1 take a name (or the code page) in its place.
inline constexpr const char* kEditNameNotValid = "Not a valid name for an archive entry: ";
inline constexpr const char* kEditNameNotEncodable =
    "The name cannot be written in the archive's code page (%1): ";
inline constexpr const char* kEditNameTooLong =
    "The name is longer than the 32 bytes an archive entry holds: ";
inline constexpr const char* kEditTooDeep = "Folders nest at most 10 levels deep; this would make 11: ";
inline constexpr const char* kEditPast4GiB = "The archive would grow past 4 GiB, its limit: ";
inline constexpr const char* kEditNotAdded = "Not a file or folder (a link or a device), so not added: ";
inline constexpr const char* kEditKindClash = "A file and a folder cannot share a name in one folder: ";
inline constexpr const char* kEditReplaceItem = "%1 is already in this folder. Replace it?";
inline constexpr const char* kEditSaveChanges = "Save changes to %1?";
inline constexpr const char* kEditSaveDamaged =
    "%1 is damaged: saving over it would lose what could not be read. Save it under another name?";
inline constexpr const char* kEditSaveReadOnly =
    "%1 cannot be replaced: it is read-only. Save it under another name?";
inline constexpr const char* kEditSaveChanged =
    "%1 was changed by another program since it was opened. Save it under another name?";
inline constexpr const char* kEditSaveRefused = "The archive was not saved, for what it holds: ";
inline constexpr const char* kCouldNotSave = "Could not save ";

} // namespace vorpex
