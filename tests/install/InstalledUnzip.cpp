// Unzips an archive through Varnock found as tavrin finds it: beside this
// program, or else in the installed library folder. The install test puts
// a copy of this program beside the installed tavrin.
//
//   tavrin_installed_unzip ZIP FOLDER
// prints the library it loaded; exit status 0 when the archive was unpacked.

#include "launch/VarnockComponent.h"

#include <iostream>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: tavrin_installed_unzip ZIP FOLDER\n";
        return 2;
    }
    try {
        tavrin::VarnockLibrary library;
        std::cout << library.file().string() << '\n';
        tavrin::UnzipFilesObject unzip = library.createUnzipFiles();
        const int32_t result = unzip.Unzip(argv[1], argv[2]);
        if (result != 0) {
            std::cerr << "the unzip engine returned " << result << ": " << unzip.GetLastMessage() << '\n';
            return 1;
        }
        return 0;
    } catch (const tavrin::VarnockError& e) {
        std::cerr << e.source() << " " << e.number() << ": " << e.description() << '\n';
        return 1;
    }
}
