#pragma once
// ".osc" files: oscilloscope records in the object archive. An int32 kind comes first: 1 for the
// whole set of eleven slots, 0 for the one record shown in the oscilloscope window; then the
// records, each in a fixed field order that differs from the order in memory, with the status
// and the trigger level packed into one int32.
//
// Reading goes into a fresh set that the caller takes over only when the whole file was good; a
// file of another kind, a short file or one with bytes after its last record is refused with a
// message. Saving replaces the old file only once the new one is complete.
#include "platform/Archive.h"
#include "scope/OscData.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace osc {

enum FileKind : int32_t { KindCurrent = 0, KindAllSlots = 1 };

struct OscFile {
    int32_t kind = KindAllSlots;
    std::vector<OSCData> records; // eleven for KindAllSlots (slots 0..10), one for KindCurrent
};

constexpr const char* kNoDataToSave = "No Osc data to save!";
constexpr const char* kFileFilter = "Data File(*.osc)";
constexpr const char* kFilePattern = "*.osc";
constexpr const char* kDefaultSuffix = "osc";

// The status (low three bits) and the trigger level (the rest) in one int32. Computed on unsigned
// values, so that negative levels pack without undefined behaviour.
int32_t PackStatusTrigger(int32_t status, int32_t trigLevel);
// status = value AND 7, level = value shifted right by 3 with its sign kept.
void UnpackStatusTrigger(int32_t packed, int32_t& status, int32_t& trigLevel);

void WriteRecord(archive::CArchiveWriter& ar, const OSCData& rec);
void ReadRecord(archive::CArchiveReader& ar, OSCData& rec);

// The file's bytes (kind, then its records; the record count must match the kind).
QByteArray ToBytes(const OscFile& file);
// Parses a whole file; nothing may follow the last record. `why` gets the fault on failure.
bool FromBytes(const QByteArray& bytes, OscFile& out, QString* why = nullptr);

// Reads `path`; `out` is untouched unless the whole file was good. `message` gets a one-line text
// for the user on failure.
bool Load(const QString& path, OscFile& out, QString* message = nullptr);
// Writes `path` safely; a failed save leaves the previous file as it was.
bool Save(const QString& path, const OscFile& file, QString* message = nullptr);

// The file forms of the two save commands.
OscFile AllSlotsFile(const OscSlots& set);
OscFile CurrentFile(const OSCData& record);
// "Save OSC Data" needs a valid stored record (slots 1..10); slot 0 does not count.
bool HasStoredRecord(const OscSlots& set);

// The name the save dialogs propose: "%d-%d-%d %d-%d-%d.osc" of the local time.
QString ProposedFileName(const QDateTime& now);

} // namespace osc
