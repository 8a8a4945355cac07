#include "settings/SettingsFile.h"

#include "settings/SafeSave.h"
#include "settings/Utf8File.h"
#include "settings/VisibleText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// The keyed fields in file order, each with the largest value it takes.
struct KeyedField {
    const char* key;
    uint16_t DeviceStatus::*word;
    uint8_t DeviceStatus::*flag;
    unsigned largest;
};

constexpr KeyedField Word(const char* key, uint16_t DeviceStatus::*field) {
    return {key, field, nullptr, LargestValue(field)};
}
constexpr KeyedField Flag(const char* key, uint8_t DeviceStatus::*field) {
    return {key, nullptr, field, LargestValue(field)};
}

constexpr KeyedField KeyedFields[] = {
    Word("LowThreshold", &DeviceStatus::LowThreshold),
    Word("HighThreshold", &DeviceStatus::HighThreshold),
    Word("IntervalTimer", &DeviceStatus::IntervalTimer),
    Word("AlarmTimer", &DeviceStatus::AlarmTimer),
    Word("CleanTimer", &DeviceStatus::CleanTimer),
    Word("KeystrokeAlarmTrigger", &DeviceStatus::KeystrokeAlarmTrigger),
    Flag("EnableTimer", &DeviceStatus::EnableTimer),
    Flag("EnableKeystroke", &DeviceStatus::EnableKeystroke),
    Flag("LedEnableStatus", &DeviceStatus::LedEnableStatus),
    Flag("BeeperEnableStatus", &DeviceStatus::BeeperEnableStatus),
    Flag("PowerOnWipe", &DeviceStatus::PowerOnWipe),
    Flag("DisableSensorLeft", &DeviceStatus::DisableSensorLeft),
    Flag("DisableSensorReft", &DeviceStatus::DisableSensorReft),
    Flag("DisableSensorPressure", &DeviceStatus::DisableSensorPressure),
    Flag("DisableSensor4", &DeviceStatus::DisableSensor4),
    Flag("DisableBacklight", &DeviceStatus::DisableBacklight),
    Flag("DisableConfig", &DeviceStatus::DisableConfig),
    Flag("DisableAutoSense", &DeviceStatus::DisableAutoSense),
    Flag("Ps2Keyboard", &DeviceStatus::Ps2Keyboard),
    Flag("EnableReEnumeration", &DeviceStatus::EnableReEnumeration),
};
constexpr int KeyedFieldCount = static_cast<int>(std::size(KeyedFields));

// Value lines each version carries.
constexpr struct {
    const char* versionLine;
    int valueLines;
} Versions[] = {{SettingsVersion4, 15}, {SettingsVersion5, 18}, {SettingsVersion6, 20}};

// Version-6 files written before the re-enumeration switch existed end after
// value line 19; they recall without complaint.
constexpr int Version6MinimumValueLines = 19;

std::string FileMessage(const char* what, const std::string& path) {
    return std::string(what) + " \"" + path + "\"";
}

std::string Quoted(std::string_view text) {
    return "\"" + VisibleText(text) + "\"";
}

// "WHAT in line N of file "PATH"", then the line as it reads and `why`.
std::string LineMessage(const std::string& what, int line, const std::string& path,
                        std::string_view text, const std::string& why = "") {
    const std::string number = std::to_string(line);
    return what + " in line " + number + " of file \"" + path + "\"\nLine " +
           number + " = " + Quoted(text) + why;
}

enum class Piece { Line, End, TooLong };

// Reads one line without its end (LF, CR LF or CR alone), or up to
// SettingsLineLimit characters of a longer line, which is TooLong instead of
// going on as the next line.
Piece ReadLine(FILE* file, std::string& line) {
    line.clear();
    int c = std::fgetc(file);
    if (c == EOF)
        return Piece::End;
    for (; c != EOF && c != '\n' && c != '\r'; c = std::fgetc(file)) {
        if (static_cast<int>(line.size()) == SettingsLineLimit)
            return Piece::TooLong;
        line += static_cast<char>(c);
    }
    if (c == '\r') {
        const int next = std::fgetc(file);
        if (next != '\n' && next != EOF)
            std::ungetc(next, file);
    }
    return Piece::Line;
}

// A UTF-8 byte-order mark, as editors put before the first line, is no part
// of it.
void SkipByteOrderMark(FILE* file) {
    constexpr char Mark[] = "\xEF\xBB\xBF";
    char start[sizeof Mark - 1] = {};
    if (std::fread(start, 1, sizeof start, file) != sizeof start ||
        std::memcmp(start, Mark, sizeof start) != 0)
        std::rewind(file);
}

constexpr std::string_view Blanks = " \t";
// Any number above this is too large for every field; reading stops growing
// there, so that no number wraps round to one that fits.
constexpr unsigned AboveEveryField = 0x10000;

// The value of one value line, read as `reading` says (RecallReading).
RecallError ReadValue(std::string_view line, const KeyedField& field, RecallReading reading,
                      unsigned& value) {
    std::size_t at = std::min(line.find_first_not_of(Blanks), line.size());
    bool negative = false;
    if (reading == RecallReading::ByPosition && at < line.size() &&
        (line[at] == '+' || line[at] == '-'))
        negative = line[at++] == '-';
    const std::size_t digits = at;
    value = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
        value = std::min(value * 10 + static_cast<unsigned>(line[at] - '0'), AboveEveryField);
    if (at == digits)
        return RecallError::NotANumber;
    if (reading == RecallReading::Exact) {
        if (at < line.size() && Blanks.find(line[at]) == std::string_view::npos)
            return RecallError::NotANumber;
        const std::size_t key = std::min(line.find_first_not_of(Blanks, at), line.size());
        const std::size_t keyEnd = std::min(line.find_first_of(Blanks, key), line.size());
        if (line.substr(key, keyEnd - key) != field.key ||
            line.find_first_not_of(Blanks, keyEnd) != std::string_view::npos)
            return RecallError::WrongKey;
    }
    // The window's reading takes a switch as on for any number but 0, as
    // older programs did.
    const bool fits = value <= field.largest || (reading == RecallReading::ByPosition && field.flag);
    return (negative && value != 0) || !fits ? RecallError::OutOfRange : RecallError::None;
}

unsigned LoadValue(const DeviceStatus& status, const KeyedField& field) {
    return field.word ? status.*field.word : status.*field.flag;
}

void StoreValue(DeviceStatus& status, const KeyedField& field, unsigned value) {
    if (field.word)
        status.*field.word = static_cast<uint16_t>(value);
    else
        status.*field.flag = value != 0 ? 1 : 0;
}

} // namespace

SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings) {
    if (KindOfFile(path) == FileKind::Other) {
        return {SaveError::NotAFile, FileMessage("Unable to open file", path)};
    }
    std::string content = std::string(SettingsVersion6) + "\r\n";
    for (const KeyedField& field : KeyedFields)
        content += std::to_string(LoadValue(settings, field)) + " " + field.key + "\r\n";
    switch (ReplaceFileContent(path, content)) {
    case SafeSaveError::None:
        return {};
    case SafeSaveError::CannotCreate:
        return {SaveError::CannotOpen, FileMessage("Unable to open file", path)};
    case SafeSaveError::WriteFailed:
        break;
    }
    return {SaveError::WriteFailed, FileMessage("Unable to write file", path)};
}

namespace {

// Reads the version line and the value lines of an open file into `settings`.
RecallResult ReadSettings(FILE* file, const std::string& path, KeyboardSettings& settings,
                          RecallReading reading) {
    RecallResult result;
    const auto fail = [&](RecallError error, std::string message) {
        result.error = error;
        result.message = std::move(message);
        return result;
    };
    SkipByteOrderMark(file);
    int valueLinesToRead = KeyedFieldCount;
    int valueLinesRequired = KeyedFieldCount;
    std::string text;
    for (int index = 0; index <= valueLinesToRead; ++index) {
        const int line = index + 1;
        const Piece read = ReadLine(file, text);
        if (read == Piece::TooLong)
            return fail(RecallError::LineTooLong,
                        LineMessage("More than " + std::to_string(SettingsLineLimit) + " characters", line, path, text));
        if (read == Piece::End) {
            if (index > valueLinesRequired)
                break; // an older version-6 file without the last line
            return fail(RecallError::NotEnoughLines, FileMessage("Not enough lines in file", path));
        }
        if (index == 0) {
            const auto version = std::find_if(std::begin(Versions), std::end(Versions), [&](auto& v) {
                return text.compare(0, std::strlen(v.versionLine), v.versionLine) == 0;
            });
            if (version == std::end(Versions))
                return fail(RecallError::IncompatibleFormat,
                            FileMessage("Incompatible format in saved file", path) +
                                "\nVersion String = " + Quoted(text));
            valueLinesToRead = version->valueLines;
            valueLinesRequired = valueLinesToRead == KeyedFieldCount ? Version6MinimumValueLines
                                                                     : valueLinesToRead;
            continue;
        }
        const KeyedField& field = KeyedFields[index - 1];
        unsigned value = 0;
        const RecallError error = ReadValue(text, field, reading, value);
        if (error == RecallError::OutOfRange)
            return fail(error, LineMessage("Value out of range", line, path, text,
                                           "; " + std::string(field.key) + " takes 0 to " +
                                               std::to_string(field.largest)));
        if (error == RecallError::WrongKey)
            return fail(error, LineMessage("Wrong key", line, path, text,
                                           "; line " + std::to_string(line) + " is for " +
                                               field.key));
        if (error != RecallError::None)
            return fail(error, LineMessage("Not a number", line, path, text));
        StoreValue(settings, field, value);
        result.linesApplied = index;
    }
    return result;
}

} // namespace

RecallResult RecallSettingsFile(const std::string& path, KeyboardSettings& settings,
                                RecallReading reading) {
    FILE* file = OpenRegularFile(path);
    if (!file) {
        RecallResult result;
        result.error = RecallError::CannotOpen;
        result.message = FileMessage("Unable to open file", path);
        return result;
    }
    RecallResult result = ReadSettings(file, path, settings, reading);
    std::fclose(file);
    return result;
}

void CopyFileFields(const DeviceStatus& from, int valueLines, DeviceStatus& onto) {
    for (int i = 0; i < valueLines && i < KeyedFieldCount; ++i)
        StoreValue(onto, KeyedFields[i], LoadValue(from, KeyedFields[i]));
}
