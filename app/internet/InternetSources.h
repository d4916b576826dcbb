#pragma once
// The five Internet archives the grid can show instead of the local
// catalogue, and the addresses they are fetched from. The addresses are
// configuration values in the section "Internet" of "bbc.ini"; none has a
// built-in default, because no host is known to serve those archives today.

#include <array>
#include <string>

namespace tavrin
{

struct Form1State;

inline constexpr const char* kInternetSection = "Internet";
// The reference catalogue of the sources, as a chosen source names it.
inline constexpr const char* kChosenInternetDatabase = "Data\\Internet.mdb";
// The key of the update server's address.
inline constexpr const char* kUpdateServerKey = "Form1.sUpdateServer";

struct InternetSource {
    const char* option;   // the dialog's option button
    const char* label;    // its caption
    const char* table;    // sDbTable: the source's table in the reference catalogue
    const char* siteName; // sInternetSiteName: shown in the download window
    const char* key;      // the "bbc.ini" key of its base address
};

inline constexpr std::array<InternetSource, 5> kInternetSources = {{
    {"Option1", "8 Bit Software", "8bs", "8 Bit Software", "Form1.sURL8bs"},
    {"Option2", "BBC Lives!", "tbl", "The BBC Lives!", "Form1.sURLtbl"},
    {"Option3", "Kovacs BBC Archive", "kov", "Kovacs BBC Archive", "Form1.sURLkov"},
    {"Option4", "Only the Best BBC Software", "otbbs", "Only the Best BBC Software",
     "Form1.sURLotbbs"},
    {"Option5", "Stairway to Hell", "swth", "The Stairway to Hell", "Form1.sURLswth"},
}};

// The base address of source `index` (0 to 4) as "bbc.ini" gives it, with
// surrounding blanks removed; empty when it is not set.
std::string SourceAddress(const Form1State& f, std::size_t index);
// The update server's address, without a trailing "/".
std::string UpdateServerAddress(const Form1State& f);

// The message for an address that is not set: which key of which file to set.
std::string MissingAddressMessage(const Form1State& f, const char* key, const std::string& what);

} // namespace tavrin
