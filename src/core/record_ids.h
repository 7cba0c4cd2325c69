// Ids of every configuration record the launcher reads, with their kinds.
// The builder names each of them; a test keeps the two lists in step.
//
// Records 30000 to 30999 are the launcher's own settings, beyond those that
// other tools write: only the builder's named keys write them (its [raw]
// tables refuse the range), and core/settings.h gives each its rule. They are
// text records. A duration is written as a whole number and one unit, "90s",
// "5m", "1h" or "1d", and a bare "0s" turns off a setting that can be off
// (core/duration.h); a size as a whole number and KB, MB or GB
// (core/byte_size.h). A new setting takes the next free id here, a line in
// kLauncherRecordIds, its rule in core/settings.h and its key in the
// builder's schema.
#pragma once
#include <cstdint>

namespace vexlo {
namespace record {

// Launcher settings.
constexpr int32_t kServiceName = 101;           // text
constexpr int32_t kPassErrorLog = 102;          // flag: hand the error log name to Java
constexpr int32_t kErrorLog = 103;              // text
constexpr int32_t kPassOutputLog = 104;         // flag: hand the output log name to Java
constexpr int32_t kOutputLog = 105;             // text
constexpr int32_t kAppendLogs = 106;            // flag, handed to Java as "true"/"false"
constexpr int32_t kLaunchMode = 107;            // integer
constexpr int32_t kClassPath = 121;             // ";" list of <type><required><location>
constexpr int32_t kMainClass = 122;             // text
constexpr int32_t kVmParameters = 123;          // text, split like a command line
constexpr int32_t kAppArguments = 124;          // text, split like a command line
constexpr int32_t kAllowJArguments = 125;       // flag
constexpr int32_t kMinimumJavaVersion = 126;    // text
constexpr int32_t kMaximumJavaVersion = 127;    // text
constexpr int32_t kSearchSequence = 128;        // ";" list of <letter><location>
constexpr int32_t kAllowPreRelease = 130;       // flag
constexpr int32_t kJdkRequired = 131;           // flag
constexpr int32_t kWorkingDirectory = 146;      // text
constexpr int32_t kServiceDependencies = 149;   // "," list
constexpr int32_t kPreferredVmType = 152;       // text, below 200 bytes
constexpr int32_t kGlobalSemaphore = 158;       // flag
constexpr int32_t kPreviousInstallations = 160; // text: registry value name

// Message catalogue: 1000 (box caption) to 1020.
constexpr int32_t kMessageCaption = 1000;
constexpr int32_t kFirstMessage = 1000;
constexpr int32_t kLastMessage = 1020;

// Launcher data.
constexpr int32_t kModeLetter = 2001;           // character
constexpr int32_t kIncludedFileCount = 2002;    // integer
constexpr int32_t kIncludedFileNames = 2003;    // ";" list

// Installation.
constexpr int32_t kInstallationDirectory = 10003;  // text, relative to the executable directory
constexpr int32_t kNativeLibraryDirectories = 10004;  // ";" list
constexpr int32_t kSingleInstance = 10005;      // flag

// Wide records.
constexpr int32_t kServiceDescription = 20017;  // wide text

// The launcher's own settings.
constexpr int32_t kFirstOwnRecord = 30000;
constexpr int32_t kLastOwnRecord = 30999;
constexpr int32_t kStopTimeout = 30000;         // duration: stop control to the child's forced end
constexpr int32_t kServiceLog = 30001;          // path of the service log; "" turns it off
constexpr int32_t kServiceLogMaxSize = 30002;   // size: the service log's limit
constexpr int32_t kServiceAccount = 30003;      // account the service runs as
constexpr int32_t kDelayedStart = 30004;        // "1": automatic start is delayed
constexpr int32_t kRecovery = 30005;            // lines: reset period, then the failure actions
constexpr int32_t kPreshutdownTimeout = 30006;  // duration: time given at machine shutdown, "0s" off
constexpr int32_t kStartCheck = 30007;          // duration: how long -start watches the new child, "0s" off
constexpr int32_t kServiceEnvironment = 30010;  // lines "NAME=value": the child's variables, expanded
constexpr int32_t kJavaStop = 30011;            // lines: class, method, then one argument a line
constexpr int32_t kLogRotation = 30012;         // "<size> <keep>": the Java side's logs roll over
inline bool IsOwnRecord(int32_t id) { return id >= kFirstOwnRecord && id <= kLastOwnRecord; }

// Every id above (the messages one by one), for tools that must know them all.
constexpr int32_t kLauncherRecordIds[] = {
    kServiceName, kPassErrorLog, kErrorLog, kPassOutputLog, kOutputLog, kAppendLogs, kLaunchMode,
    kClassPath, kMainClass, kVmParameters, kAppArguments, kAllowJArguments, kMinimumJavaVersion,
    kMaximumJavaVersion, kSearchSequence, kAllowPreRelease, kJdkRequired, kWorkingDirectory,
    kServiceDependencies, kPreferredVmType, kGlobalSemaphore, kPreviousInstallations,
    1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014,
    1015, 1016, 1017, 1018, 1019, 1020,
    kModeLetter, kIncludedFileCount, kIncludedFileNames, kInstallationDirectory,
    kNativeLibraryDirectories, kSingleInstance, kServiceDescription, kStopTimeout, kServiceLog, kServiceLogMaxSize,
    kServiceAccount, kDelayedStart, kRecovery, kPreshutdownTimeout, kStartCheck, kServiceEnvironment, kJavaStop,
    kLogRotation};

}  // namespace record
}  // namespace vexlo
