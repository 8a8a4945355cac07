#include "settings/SettingsFile.h"

#include "settings/SafeSave.h"
#include "settings/Utf8File.h"

#include <cstdio>
#include <cstring>

namespace {

// The keyed fields in file order. u16 fields take a value as it is; flags
// take 1 for any value but 0.
struct KeyedField {
    const char* key;
    uint16_t DeviceStatus::*word;
    uint8_t DeviceStatus::*flag;
};

constexpr KeyedField Word(const char* key, uint16_t DeviceStatus::*field) {
    return {key, field, nullptr};
}
constexpr KeyedField Flag(const char* key, uint8_t DeviceStatus::*field) {
    return {key, nullptr, field};
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

std::string WithPath(const char* format, const std::string& path) {
    const int size = std::snprintf(nullptr, 0, format, path.c_str());
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, path.c_str());
    return text;
}

enum class Piece { Line, End, TooLong };

// Reads one line, ended by a line end or the end of the file, like fgets into
// a 100-byte buffer; a longer line is TooLong instead of going on as the next
// line. A CR LF pair reads as one LF, so files written on any platform read
// alike.
Piece ReadLine(FILE* file, std::string& line) {
    line.clear();
    for (;;) {
        int c = std::fgetc(file);
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        if (c == EOF) {
            return line.empty() ? Piece::End : Piece::Line;
        }
        if (c != '\n' && static_cast<int>(line.size()) == SettingsLineLimit) {
            return Piece::TooLong;
        }
        line += static_cast<char>(c);
        if (c == '\n') {
            return Piece::Line;
        }
    }
}

void StoreValue(DeviceStatus& status, const KeyedField& field, unsigned short value) {
    if (field.word) {
        status.*field.word = value;
    } else {
        status.*field.flag = value != 0 ? 1 : 0;
    }
}

} // namespace

SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings) {
    if (KindOfFile(path) == FileKind::Other) {
        return {SaveError::NotAFile, WithPath("Unable to open file \"%s\"", path)};
    }
    std::string content = std::string(SettingsVersion6) + "\r\n";
    // Every line written is shorter than a reader takes (snprintf cuts it).
    char line[64];
    static_assert(sizeof line <= SettingsLineLimit);
    for (const KeyedField& field : KeyedFields) {
        const unsigned short value = field.word ? settings.*field.word : settings.*field.flag;
        std::snprintf(line, sizeof line, "%hu %s\r\n", value, field.key);
        content += line;
    }
    switch (ReplaceFileContent(path, content)) {
    case SafeSaveError::None:
        return {};
    case SafeSaveError::CannotCreate:
        return {SaveError::CannotOpen, WithPath("Unable to open file \"%s\"", path)};
    case SafeSaveError::WriteFailed:
        break;
    }
    return {SaveError::WriteFailed, WithPath("Unable to write file \"%s\"", path)};
}

RecallResult RecallSettingsFile(const std::string& path, KeyboardSettings& settings) {
    RecallResult result;
    FILE* file =
        KindOfFile(path) == FileKind::Regular ? OpenUtf8File(path, "rb") : nullptr;
    if (!file) {
        result.error = RecallError::CannotOpen;
        result.message = WithPath("Unable to open file \"%s\"", path);
        return result;
    }

    int valueLinesToRead = KeyedFieldCount;
    int valueLinesRequired = KeyedFieldCount;
    std::string piece;
    for (int index = 0; index <= valueLinesToRead; ++index) {
        const Piece read = ReadLine(file, piece);
        if (read == Piece::TooLong) {
            result.error = RecallError::NotANumber;
            result.message = WithPath("Not a number in line of file \"%s\"", path);
            break;
        }
        if (read == Piece::End) {
            if (index > valueLinesRequired) {
                break; // an older version-6 file without the last line
            }
            result.error = RecallError::NotEnoughLines;
            result.message = WithPath("Not enough lines in file \"%s\"", path);
            break;
        }
        if (index == 0) {
            bool known = false;
            for (const auto& version : Versions) {
                if (piece.compare(0, std::strlen(version.versionLine), version.versionLine) == 0) {
                    valueLinesToRead = version.valueLines;
                    valueLinesRequired = version.valueLines;
                    if (version.valueLines == KeyedFieldCount) {
                        valueLinesRequired = Version6MinimumValueLines;
                    }
                    known = true;
                    break;
                }
            }
            if (!known) {
                result.error = RecallError::IncompatibleFormat;
                result.message =
                    WithPath("Incompatible format in saved file \"%s\"\nVersion String = \"",
                             path) +
                    piece + "\"";
                break;
            }
            continue;
        }
        unsigned short value = 0;
        if (std::sscanf(piece.c_str(), "%hu", &value) != 1) {
            result.error = RecallError::NotANumber;
            result.message = WithPath("Not a number in line of file \"%s\"", path);
            break;
        }
        StoreValue(settings, KeyedFields[index - 1], value);
        result.linesApplied = index;
    }
    std::fclose(file);
    return result;
}

void CopyFileFields(const DeviceStatus& from, int valueLines, DeviceStatus& onto) {
    for (int i = 0; i < valueLines && i < KeyedFieldCount; ++i) {
        const KeyedField& field = KeyedFields[i];
        if (field.word) {
            onto.*field.word = from.*field.word;
        } else {
            onto.*field.flag = from.*field.flag;
        }
    }
}
