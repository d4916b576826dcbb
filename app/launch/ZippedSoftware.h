#pragma once
// Zipped software: a catalogue entry that is a ".zip" archive is unpacked
// flat into the temporary folder through a fresh UnzipFiles object of
// Varnock, and the image to run is looked for there.

#include "UnpackGuard.h"
#include "core/Form1State.h"
#include "core/Prompt.h"

#include <filesystem>
#include <functional>
#include <string>

namespace tavrin {

class UnzipFilesObject;

// Gives a fresh UnzipFiles object for one extraction; throws VarnockError
// when the component library cannot be loaded or the object not created.
using CreateUnzipFiles = std::function<UnzipFilesObject()>;

// The program's factory: loads Varnock from `folder` (the application
// folder when empty) on first use, and makes `prompt` answer its questions
// (the password, overwriting a file) for every object it creates.
CreateUnzipFiles UnzipFilesFactory(Prompt& prompt, const std::filesystem::path& folder = {});

// Unpacks `archive` flat into `folder` through a fresh UnzipFiles object
// made by `createUnzipFiles`; "" when it did, else the reason: the
// unpacker's text, or why the object could not be made or raised an error.
std::string UnpackArchiveInto(const CreateUnzipFiles& createUnzipFiles, const std::string& archive,
                              const std::string& folder);

// Appends text to the main window's information box.
using AppendInfo = std::function<void(const std::string&)>;

// Unpacks f.sFullFilename into f.sTempDir, emptied first (the archive
// itself may lie there), and looks for the image to run: one named like the
// archive (".ssd", ".dsd", ".img", ".bbc"), then one built from ".inf"
// files, then any image in the unpacked tree. On success f.iZipped is 1 and
// f.sFullFilename, f.sFilename, f.sFilenameNoExt and f.sExt describe the
// image. Every message (the unpacker's text, what the builder left out, the
// search's two messages) goes through `prompt`; the caller shows the
// no-image message when f.iZipped stays 0. `showProgress` opens the window
// with Cancel for the unpack. False when the temporary folder cannot be
// made or emptied, the unpacker could not be created or raised an error,
// the archive was refused as too large or the user cancelled: the cause has
// been shown, nothing unpacked stays, and the launch must stop.
bool UnzipSoftware(Form1State& f, Prompt& prompt, const CreateUnzipFiles& createUnzipFiles,
                   const AppendInfo& appendInfo, const ShowUnpackProgress& showProgress = {});

// Takes f.sTempDir "\" f.sFilenameNoExt + sExt2 when that file exists.
void CheckProcessedZipFile(Form1State& f, const std::string& sExt2, const AppendInfo& appendInfo);

// The first image of the unpacked tree, in listing order.
bool FindImageInTempDir(Form1State& f, Prompt& prompt);

} // namespace tavrin
