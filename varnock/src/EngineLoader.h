#pragma once
// Loads the unzip and zip engines, on first use, from the folder that holds
// libvarnock.so itself.

#include <varnock/UnzipApi.h>
#include <varnock/ZipApi.h>

#include <filesystem>

namespace varnock {

struct UnzipEngine {
    PFN_UzpVersion2 UzpVersion2;
    PFN_Wiz_SingleEntryUnzip Wiz_SingleEntryUnzip;
};

struct ZipEngine {
    PFN_ZpInit ZpInit;
    PFN_ZpSetOptions ZpSetOptions;
    PFN_ZpArchive ZpArchive;
};

// Both raise ComponentError 53 (the library file cannot be loaded) or 453
// (it lacks a function), with a description that names the file and the
// reason. A failure is not remembered: the next call tries again.
UnzipEngine LoadUnzipEngine();
ZipEngine LoadZipEngine();

// The folder that holds the loaded libvarnock.so.
std::filesystem::path ComponentFolder();

} // namespace varnock
