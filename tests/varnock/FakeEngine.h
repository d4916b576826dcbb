#pragma once
// A recording stand-in for both engines (built as one library, copied
// beside a copy of libvarnock.so under both engine names). It keeps every
// record Varnock hands over, field by field, and plays a script of
// callback calls so that tests can check what Varnock answers.

#include <varnock/UnzipApi.h>
#include <varnock/ZipApi.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fake {

// One callback call the unzip side of the fake makes during
// Wiz_SingleEntryUnzip, in order.
struct Action {
    enum Kind { Print, List, Password, Replace, Service } kind = Print;
    std::string bytes;      // Print: the buffer; Replace: the file name
    uint32_t size = 0;      // Print: the size argument
    // List
    uint64_t ucsize = 0;
    uint16_t month = 0, day = 0, year = 0, hour = 0, minute = 0;
    std::string name;
    // Password: the buffer size
    int32_t bufferSize = 0;
};

struct Answer {
    int result = 0;             // the callback's return value
    std::string passwordBuffer; // Password: the buffer as Varnock left it (all bufferSize bytes)
};

struct State {
    // Unzip side.
    int unzipCalls = 0;
    int versionCalls = 0;
    std::array<unsigned char, sizeof(UzpVer2)> version{};
    DCL dcl{};
    std::string zipFN, extractDir;
    bool zipFNNull = false, extractDirNull = false;
    int32_t ifnc = -1, xfnc = -1;
    bool ifnvAllNull = false, xfnvAllNull = false;
    USERFUNCTIONS functions{};
    std::vector<Action> script;
    std::vector<Answer> answers;
    int unzipResult = 0;

    // Zip side, in call order ("ZpInit", "ZpSetOptions", "ZpArchive").
    std::vector<std::string> zipCalls;
    ZIPUSERFUNCTIONS zipFunctions{};
    ZPOPT zpopt{};
    std::optional<std::string> rootDir, date;
    int32_t argc = -1;
    std::string zipName;
    std::vector<std::optional<std::string>> names; // all 100 slots
    std::vector<std::string> zipPrints;            // texts sent through the print callback
    int archiveResult = 0;
};

} // namespace fake

extern "C" fake::State* FakeEngineState();
using PFN_FakeEngineState = fake::State* (*)();
