#include "IniFile.h"

// Bytes are kept as they are: the values are paths in whatever encoding the
// file was written in.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <QSaveFile>
#include <QString>

#include <fstream>
#include <iterator>
#include <system_error>

namespace tavrin {

struct IniFile::Data {
    // CSimpleIniA matches sections and keys without regard to case.
    CSimpleIniA ini{/*isUtf8=*/false, /*multiKey=*/true, /*multiLine=*/false};
};

IniFile::IniFile(std::filesystem::path file) : file_(std::move(file)), d_(std::make_unique<Data>())
{
    d_->ini.SetSpaces(false);
    d_->ini.SetQuotes(true);
}

IniFile::~IniFile() = default;

bool IniFile::load(std::string* error)
{
    d_->ini.Reset();
    std::error_code ec;
    const auto status = std::filesystem::status(file_, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    if (ec || std::filesystem::is_directory(status)) {
        if (error)
            *error = "\"" + file_.string() + "\" is not a file that can be read";
        return false;
    }
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        if (error)
            *error = "\"" + file_.string() + "\" cannot be opened for reading";
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error)
            *error = "\"" + file_.string() + "\" cannot be read";
        return false;
    }
    if (d_->ini.LoadData(text) < 0) {
        if (error)
            *error = "\"" + file_.string() + "\" cannot be read as an initialisation file";
        return false;
    }
    return true;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const
{
    const std::string s(section);
    const std::string k(key);
    const char* value = d_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
    return CutIniValue(value ? std::string_view(value) : defaultValue);
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string s(section);
    const std::string k(key);
    const std::string v(value);
    d_->ini.SetValue(s.c_str(), k.c_str(), v.c_str(), nullptr, /*forceReplace=*/true);
}

bool IniFile::save(std::string* error) const
{
    std::string text;
    if (d_->ini.Save(text) < 0) {
        if (error)
            *error = "the settings cannot be put into words";
        return false;
    }
    // One blank line between sections, however often the file is saved.
    std::string tidy;
    tidy.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && tidy.size() >= 2 && tidy[tidy.size() - 1] == '\n' &&
            tidy[tidy.size() - 2] == '\n')
            continue;
        tidy += c;
    }
    text = std::move(tidy);
    // QSaveFile writes beside the file and renames, keeps the old file's
    // permissions, and refuses a file that is read-only.
    QSaveFile out(QString::fromStdString(file_.string()));
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString().toStdString();
        return false;
    }
    if (out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        if (error)
            *error = out.errorString().toStdString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        if (error)
            *error = out.errorString().toStdString();
        return false;
    }
    return true;
}

namespace {

// Length of the UTF-8 sequence starting at text[i], 0 when it is not one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4;
    else
        return 0;
    if (i + n > text.size())
        return 0;
    for (std::size_t j = 1; j < n; ++j) {
        if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80)
            return 0;
    }
    return n;
}

} // namespace

std::string CutIniValue(std::string_view value, std::size_t maxChars)
{
    // A value ends at its first NUL, as a C string would.
    value = value.substr(0, value.find('\0'));
    std::size_t end = 0;
    std::size_t chars = 0;
    while (end < value.size() && chars < maxChars) {
        const std::size_t n = utf8SequenceLength(value, end);
        if (n == 0) // not UTF-8: one byte is one character
            return std::string(value.substr(0, maxChars));
        end += n;
        ++chars;
    }
    // The rest must be UTF-8 too, or the text is taken as bytes.
    for (std::size_t i = end; i < value.size();) {
        const std::size_t n = utf8SequenceLength(value, i);
        if (n == 0)
            return std::string(value.substr(0, maxChars));
        i += n;
    }
    return std::string(value.substr(0, end));
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file)
{
    IniFile ini(file);
    if (!ini.load())
        return CutIniValue(defaultValue);
    return ini.GetString(section, key, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file,
                               std::string* error)
{
    IniFile ini(file);
    if (!ini.load(error))
        return false;
    ini.SetString(section, key, value);
    return ini.save(error);
}

} // namespace tavrin
